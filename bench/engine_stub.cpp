// Stands in for the engine programs when only orlex's own work per marker is
// timed: started as "mlinkorlex" it copies the result file named by
// BENCH_OUTFILE to "outfile.dat"; under any other name it does nothing.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

int main(int, char** argv) {
    const std::string name = argv[0];
    if (name.size() < 10 || name.compare(name.size() - 10, 10, "mlinkorlex") != 0) {
        return 0;
    }
    const char* source = std::getenv("BENCH_OUTFILE");
    std::ifstream in(source != nullptr ? source : "");
    std::ofstream out("outfile.dat", std::ios::trunc);
    out << in.rdbuf();
    out.close();
    if (!in || !out) {
        std::cerr << "engine_stub: unable to copy BENCH_OUTFILE to outfile.dat\n";
        return 1;
    }
    return 0;
}
