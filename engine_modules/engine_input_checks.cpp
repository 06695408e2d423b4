#include "engine_input_checks.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "engine_globals.h"

namespace {

// Pedigrees found by the first call of init_ped_loc_all (0 until then).
int foundPedigrees = 0;

void fail(const char* message) {
    std::fputs(message, stderr);
    std::exit(EXIT_FAILURE);
}

// The first integer of a line, leading white space skipped; false when the
// line does not start with one.
bool leadingInteger(const std::string& line, int* value) {
    const char* start = line.c_str();
    while (*start != '\0' && std::isspace(static_cast<unsigned char>(*start)))
        ++start;
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(start, &end, 10);
    if (end == start || errno == ERANGE || number < INT_MIN || number > INT_MAX)
        return false;
    *value = static_cast<int>(number);
    return true;
}

// Pedigree numbers in file order, one per run of lines with the same
// number; a leading pedigree 0 is not a pedigree.
std::vector<int> readPedigreeNumbers(std::ifstream& in) {
    std::vector<int> numbers;
    int previous = 0;
    std::string line;
    while (std::getline(in, line)) {
        int number = previous;
        if (leadingInteger(line, &number) && number != previous) {
            numbers.push_back(number);
            previous = number;
        }
    }
    return numbers;
}

std::vector<int> pedigreeNumbersOfEngineFile() {
    std::ifstream in("ipedfile.dat");
    if (!in)
        in.open("pedfile.dat");
    if (!in)
        fail("Error opening ipedfile.dat and pedfile.dat.\n");
    try {
        return readPedigreeNumbers(in);
    } catch (const std::bad_alloc&) {
        malloc_err("tmp_ped_list");
    }
}

void buildPedigreeIndex() {
    const std::vector<int> numbers = pedigreeNumbersOfEngineFile();
    if (numbers.empty())
        fail("foundped() found 0 pedigree's - wrong.\n");
    // The engine frees this array with free().
    pedidx2num = static_cast<int*>(std::calloc(numbers.size(), sizeof(int)));
    if (pedidx2num == nullptr)
        malloc_err("pedidx2num");
    std::copy(numbers.begin(), numbers.end(), pedidx2num);
    foundPedigrees = static_cast<int>(numbers.size());
}

}  // namespace

extern "C" int P_eof(FILE* file) {
    if (std::feof(file))
        return 1;
    if (file == stdin)
        return 0;  // looking ahead would block on a terminal
    const int ch = std::getc(file);
    if (ch == EOF)
        return 1;
    std::ungetc(ch, file);
    return 0;
}

extern "C" int P_eoln(FILE* file) {
    const int ch = std::getc(file);
    if (ch == EOF)
        return 1;
    std::ungetc(ch, file);
    return ch == '\n';
}

extern "C" void malloc_err(const char* what) {
    std::fprintf(stderr, "\nProblem with malloc, probably not enough space\n");
    std::fprintf(stderr, "Problem occurred when allocating %s\n", what);
    if (FILE* log = std::fopen("FASTLINK.err", "a")) {
        const std::time_t now = std::time(nullptr);
        std::fprintf(log, "\n%s", std::ctime(&now));
        std::fprintf(log, "\nProblem with malloc, probably not enough space\n");
        std::fprintf(log, "Problem occurred when allocating %s\n", what);
        std::fclose(log);
    }
    std::exit(EXIT_FAILURE);
}

extern "C" int check_constants(void) {
    int haplotypes = 1;
    for (int locus = 0; locus < mlocus; ++locus) {
        const int alleles = thislocus[locus]->nallele;
        std::printf("\nNumber of alleles at locus %d is %d", locus + 1, alleles);
        haplotypes *= alleles;
    }
    std::printf("\nThe number of haplotypes used is %d", haplotypes);
    std::printf("\n");
    return haplotypes;
}

extern "C" void init_ped_loc_all(void) {
    if (foundPedigrees == 0)
        buildPedigreeIndex();
    mymaxped = foundPedigrees;
    // A repeated call replaces the records of the previous one.
    std::free(ped_loc_all);
    // Zeroed as a whole: every entry starts absent with no renumbering and
    // no frequencies.
    ped_loc_all = static_cast<EnginePedigreeLocations*>(
        std::calloc(static_cast<std::size_t>(mymaxped), sizeof(EnginePedigreeLocations)));
    if (ped_loc_all == nullptr)
        malloc_err("ped_loc_all");
}

extern "C" int allele_downcode_check(void) {
    std::free(pedidx2num);
    pedidx2num = nullptr;
    return 0;
}
