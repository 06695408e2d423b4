// The joint analysis's known-answer data set, shared by its end-to-end test
// and the optimiser bench, which runs the same engine inputs.
//
// Four families: an affected father 1/2 at both markers and an unaffected
// mother 2/2 at M1, alternately 1/1 and 2/2 at M2; four affected children.
// Every child got the father's M1 allele 1 (no recombinant in 16 meioses);
// two children of each family got his M2 allele 1 and two his allele 2.
// Ten cases and ten controls: at M1 allele 1 is enriched in the cases
// (1/1 six times, 1/2 four times) and rare in the controls (2/2 six times,
// 1/2 four times); at M2 both groups have 1/1, 2/2 three times each and
// 1/2 four times.
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace known_answer {

inline const std::string map = "CHROMOSOME haldane MARKER\n1 0.0 M1\n2 0.0 M2\n";

inline std::string families() {
    std::ostringstream ped;
    for (int f = 1; f <= 4; ++f) {
        const std::string mother = f % 2 == 1 ? "1" : "2";
        ped << f << " 1 0 0 3 0 0 1 1 2  1 2  1 2\n";
        ped << f << " 2 0 0 3 0 0 2 0 1  2 2  " << mother << " " << mother << "\n";
        for (int child = 3; child <= 6; ++child) {
            const int next = child < 6 ? child + 1 : 0;
            ped << f << " " << child << " 1 2 0 " << next << " " << next << " " << 1 + child % 2
                << " 0 2  1 2  " << (child <= 4 ? "1" : "2") << " " << mother << "\n";
        }
    }
    return ped.str();
}

// A genotype file of singletons named prefix0, prefix1, ... with the given
// M1 genotypes and the M2 genotypes above.
inline std::string singletons(const char* prefix, const std::vector<std::string>& m1) {
    const std::vector<std::string> m2 = {"1 1", "1 1", "1 1", "2 2", "2 2",
                                         "2 2", "1 2", "1 2", "1 2", "1 2"};
    std::ostringstream text;
    text << "2\n";
    for (std::size_t i = 0; i < m1.size(); ++i)
        text << prefix << i << " " << 1 + i % 2 << " " << m1[i] << " " << m2[i] << "\n";
    return text.str();
}

inline std::string cases() {
    return singletons("c", {"1 1", "1 1", "1 1", "1 1", "1 1", "1 1", "1 2", "1 2", "1 2", "1 2"});
}

inline std::string controls() {
    return singletons("k", {"2 2", "2 2", "2 2", "2 2", "2 2", "2 2", "1 2", "1 2", "1 2", "1 2"});
}

}  // namespace known_answer
