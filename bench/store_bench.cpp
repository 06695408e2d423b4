// Times the pedigree store on one data set and prints one line per step:
// the step, its seconds, and the peak resident memory of the process so far.
//
//   store_bench plain PEDIGREE_FILE            a plain line-by-line read
//   store_bench store PEDIGREE_FILE MAP_FILE   the store's read and checks,
//       one "pedfile.dat" of every marker, and "pedfile.dat" of one marker
//       (the mean of several writes)
//   store_bench post PEDIGREE_FILE MAP_FILE    the read and checks of a
//       post-MAKEPED file, and the memory the store took
//   store_bench pre PEDIGREE_FILE MAP_FILE     the same for a pre-MAKEPED
//       file, converted on the way (makepedvant on the search path)
// The last two print "read SECONDS" and "store_bytes BYTES": the growth of
// the resident memory over the read. They use only what every build of the
// store has, so that one copy of this program times the store of any build.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <string>

#include "pedigrees.h"

static double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

template <typename Step>
static double seconds(Step step) {
    const auto start = std::chrono::steady_clock::now();
    step();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

static void report(const std::string& step, double time) {
    std::cerr << step << ' ' << time << ' ' << peakMegabytes() << std::endl;
}

// Reads every line and counts its words, as a floor for any reader.
static int plainRead(const std::string& fileName) {
    std::ifstream in(fileName);
    if (!in) {
        std::cerr << "store_bench: unable to read " << fileName << "\n";
        return 1;
    }
    long words = 0;
    const double time = seconds([&] {
        std::string line;
        while (std::getline(in, line)) {
            bool inWord = false;
            for (const char c : line) {
                const bool blank = c == ' ' || c == '\t';
                words += (!blank && !inWord) ? 1 : 0;
                inWord = !blank;
            }
        }
    });
    report("plain_read", time);
    return words > 0 ? 0 : 1;
}

static int storeSteps(const std::string& pedigreeFile, const std::string& mapFile) {
    auto* store = new Pedigrees();
    store->affectionStatusColumn = true;
    bool ok = true;
    const double read =
        seconds([&] { ok = store->readMapFile(mapFile) && store->readPedigreeFile(pedigreeFile); });
    if (!ok) {
        std::cerr << "store_bench: the store refused the data\n";
        return 1;
    }
    report("store_read_and_check", read);

    const double all = seconds([&] { ok = store->writePedigreeFile("pedfile.dat", {}, {}); });
    report("pedfile_all_markers", all);

    constexpr int repeats = 20;
    const double one = seconds([&] {
        for (int i = 0; i < repeats && ok; ++i) {
            ok = store->writePedigreeFile("pedfile.dat", {"DISEASE_LOCUS"}, {"0"});
        }
    });
    report("pedfile_one_marker", one / repeats);
    delete store;
    return ok ? 0 : 1;
}

// The resident memory of the process now.
static long long residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long long pages = 0;
    long long resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

static int readOnly(const std::string& format, const std::string& pedigreeFile,
                    const std::string& mapFile) {
    auto* store = new Pedigrees();
    store->affectionStatusColumn = true;
    store->linkageFormat = format == "post";
    if (!store->readMapFile(mapFile)) {
        std::cerr << "store_bench: the store refused the map\n";
        return 1;
    }
    const long long before = residentBytes();
    bool ok = true;
    const double time = seconds([&] {
        ok = format == "post" ? store->readPedigreeFile(pedigreeFile)
                              : store->readAndConvertPreToLinkage(pedigreeFile);
    });
    if (!ok) {
        std::cerr << "store_bench: the store refused the data\n";
        return 1;
    }
    std::cerr << "read " << time << "\nstore_bytes " << residentBytes() - before << std::endl;
    // Left to the end of the process, as the programs leave their store.
    static_cast<void>(store);
    return 0;
}

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "plain" && argc == 3) {
        return plainRead(argv[2]);
    }
    if (mode == "store" && argc == 4) {
        return storeSteps(argv[2], argv[3]);
    }
    if ((mode == "post" || mode == "pre") && argc == 4) {
        return readOnly(mode, argv[2], argv[3]);
    }
    std::cerr << "usage: store_bench plain PEDIGREE_FILE | store|post|pre PEDIGREE_FILE "
                 "MAP_FILE\n";
    return 2;
}
