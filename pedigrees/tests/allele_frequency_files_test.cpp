// Allele frequency files of the whole pedigree set and of the derived sets.
#include <string>
#include <vector>

#include "marker_info.h"
#include "marker_map.h"
#include "pedigree_builder.h"
#include "pedigrees.h"
#include "report_header.h"
#include "test_support.h"

using test_support::readText;

namespace {

const std::string HEADING =
    "Allele    All      Freq    Founders      Freq    Males      Freq    Females      Freq"
    "    New Allele\n";

// Founders 1 (male, 10/12) and 2 (female, 12/12), their son 3 (10/14); the
// second marker is typed by nobody.
void buildFamily(Pedigrees& store) {
    useMarkers(store, 2);
    addPersonOrFail(store, "1", "1", "0", "0", "1", {"10/12", ""});
    addPersonOrFail(store, "1", "2", "0", "0", "2", {"12/12", ""});
    addPersonOrFail(store, "1", "3", "1", "2", "1", {"10/14", ""});
    store.createMarkerInfo();
}

class AlleleFrequencyFilesTest : public test_support::TempDirTest {};

TEST_F(AlleleFrequencyFilesTest, WholeSetFileHasCountsFrequenciesAndNewNames) {
    Pedigrees store;
    buildFamily(store);
    store.writeFrequenciesFile("freq.info");
    // All: 2, 3, 1 of 6 copies; founders 1, 3, 0 of 4; males 2, 1, 1 of 4;
    // females 0, 2, 0 of 2.
    EXPECT_EQ(withFixedDate(readText("freq.info")),
              plainHeader(1, 3) + "Marker MARKER1\n" + HEADING +
                  "    10      2  0.333333           1  0.250000        2  0.500000          0"
                  "  0.000000             1\n"
                  "    12      3  0.500000           3  0.750000        1  0.250000          2"
                  "  1.000000             2\n"
                  "    14      1  0.166667           0  0.000000        1  0.250000          0"
                  "  0.000000             3\n"
                  "\n\n"
                  "Marker MARKER2\nNo alleles found\n\n\n");
    EXPECT_TRUE(store.frequencyText.str().empty());
}

TEST_F(AlleleFrequencyFilesTest, MarkersFollowTheByteOrderOfTheirIndices) {
    Pedigrees store;
    useMarkers(store, 12);
    addPersonOrFail(store, "1", "1", "0", "0", "1", std::vector<std::string>(12, "1/2"));
    store.createMarkerInfo();
    store.writeFrequenciesFile("freq.info");
    const std::string text = readText("freq.info");
    std::vector<std::string> order;
    for (auto at = text.find("Marker "); at != std::string::npos;
         at = text.find("Marker ", at + 1)) {
        order.push_back(text.substr(at + 7, text.find('\n', at) - at - 7));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"MARKER1", "MARKER2", "MARKER11", "MARKER12",
                                               "MARKER3", "MARKER4", "MARKER5", "MARKER6",
                                               "MARKER7", "MARKER8", "MARKER9", "MARKER10"}));
}

TEST_F(AlleleFrequencyFilesTest, RecordOutsideTheMapGetsNoSection) {
    Pedigrees store;
    useMarkers(store, 1);
    store.markerInfo->insert(new MarkerInfo("7"));
    store.writeFrequenciesFile("freq.info");
    EXPECT_EQ(withFixedDate(readText("freq.info")), plainHeader(0, 0));
}

TEST_F(AlleleFrequencyFilesTest, UnopenableFileReportsAndKeepsTheText) {
    Pedigrees store;
    buildFamily(store);
    store.frequencyText << "gathered so far";
    testing::internal::CaptureStdout();
    store.writeFrequenciesFile("no/such/freq.info");
    store.writeHrrFrequenciesFile("no/such/hrr.info", "0");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error: Unable to open no/such/freq.info for writing!\n"
              "Error: Unable to open no/such/hrr.info for writing!\n");
    EXPECT_EQ(store.frequencyText.str(), "gathered so far");
}

// A derived set of one trio pedigree (father 1/2, mother 3/4, child 1/3).
RBTree<Pedigree>* trioSet() {
    auto* set = new RBTree<Pedigree>(new Pedigree(), "set");
    addPersonOrFail(*set, "1", "1", "0", "0", "1", {"1/2"});
    addPersonOrFail(*set, "1", "2", "0", "0", "2", {"3/4"});
    addPersonOrFail(*set, "1", "3", "1", "2", "1", {"1/3"});
    return set;
}

const std::string TRIO_TABLE =
    HEADING +
    "     1      2  0.333333           1  0.250000        2  0.500000          0  0.000000"
    "             1\n"
    "     2      1  0.166667           1  0.250000        1  0.250000          0  0.000000"
    "             2\n"
    "     3      2  0.333333           1  0.250000        1  0.250000          1  0.500000"
    "             3\n"
    "     4      1  0.166667           1  0.250000        0  0.000000          1  0.500000"
    "             4\n"
    "\n\n";

// Which sets exist decides the set lines: HRR first, then sib pairs, then
// TDT.
struct SetLinesCase {
    const char* name;
    bool hrr;
    bool sibPair;
    bool tdt;
    std::string lines;
};

void PrintTo(const SetLinesCase& c, std::ostream* os) {
    *os << c.name;
}

class SetLinesTest : public AlleleFrequencyFilesTest,
                     public testing::WithParamInterface<SetLinesCase> {};

TEST_P(SetLinesTest, NameTheFirstSetThatExists) {
    Pedigrees store;
    useMarkers(store, 1);
    if (GetParam().hrr) {
        store.hrrPedigrees = trioSet();
    }
    if (GetParam().sibPair) {
        store.sibPairPedigrees = trioSet();
    }
    if (GetParam().tdt) {
        store.tdtPedigrees = trioSet();
    }
    // The records come from a set of their own, so every case has them.
    RBTree<Pedigree>* records = trioSet();
    store.createMarkerInfoPedigreeRecursion(records->root, store.hrrMarkerInfo);
    delete records;
    store.frequencyText << "HEAD\n";
    store.writeHrrFrequenciesFile("hrr.info", "0");
    EXPECT_EQ(readText("hrr.info"), "HEAD\nMarker MARKER1\n" + GetParam().lines + TRIO_TABLE);
}

INSTANTIATE_TEST_SUITE_P(
    Sets, SetLinesTest,
    testing::Values(
        SetLinesCase{"Hrr", true, true, true, "# hrr pedigrees   : 1\n# hrr persons     : 3\n"},
        SetLinesCase{"SibPairBeforeTdt", false, true, true,
                     "# sibpair pedigrees   : 1\n# sibpair persons     : 3\n"},
        SetLinesCase{"Tdt", false, false, true, "# tdt pedigrees   : 1\n# tdt persons     : 3\n"},
        SetLinesCase{"None", false, false, false, ""}),
    [](const testing::TestParamInfo<SetLinesCase>& info) { return info.param.name; });

TEST_F(AlleleFrequencyFilesTest, SetFileGathersTheSectionsOfEveryCall) {
    Pedigrees store;
    useMarkers(store, 3);
    store.tdtPedigrees = new RBTree<Pedigree>(new Pedigree(), "set");
    addPersonOrFail(*store.tdtPedigrees, "1", "1", "0", "0", "1", {"1/1", "", "2/2"});
    store.createMarkerInfoPedigreeRecursion(store.tdtPedigrees->root, store.tdtMarkerInfo);
    store.frequencyText << "HEAD\n";
    const std::string section0 =
        "Marker MARKER1\n# tdt pedigrees   : 1\n# tdt persons     : 1\n" + HEADING +
        "     1      2  1.000000           2  1.000000        2  1.000000          0  0.000000"
        "             1\n\n\n";
    store.writeTdtFrequenciesFile("tdt.info", "0");
    EXPECT_EQ(readText("tdt.info"), "HEAD\n" + section0);
    // A marker the set's records lack adds nothing; the file is rewritten
    // whole each time.
    store.writeTdtFrequenciesFile("tdt.info", "9");
    store.writeTdtFrequenciesFile("tdt.info", "2");
    const std::string both = "HEAD\n" + section0 +
                             "Marker MARKER3\n# tdt pedigrees   : 1\n# tdt persons     : 1\n" +
                             HEADING +
                             "     2      2  1.000000           2  1.000000        2  1.000000"
                             "          0  0.000000             1\n\n\n";
    EXPECT_EQ(readText("tdt.info"), both);
    EXPECT_EQ(store.frequencyText.str(), both);

    // The sib-pair writer reads its own records, which lack this marker.
    store.writeSibPairFrequenciesFile("sib.info", "0");
    EXPECT_EQ(readText("sib.info"), both);
}

}  // namespace
