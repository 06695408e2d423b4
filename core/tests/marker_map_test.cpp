#include "marker_map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>

#include "test_support.h"
#include "utilities.h"

namespace {

using test_support::writeText;

class MarkerMapTest : public test_support::TempDirTest {
  protected:
    // Reads the text as a map file and keeps what the reader printed.
    bool read(const std::string& text, bool plink = false) {
        writeText("map.txt", text);
        map.plinkFormat = plink;
        testing::internal::CaptureStdout();
        const bool ok = map.readMapFile("map.txt");
        printed = testing::internal::GetCapturedStdout();
        return ok;
    }

    MarkerMap map;
    std::string printed;
};

// Words other than Haldane and Kosambi are kept, read as Kosambi's, and
// said so.
TEST_F(MarkerMapTest, HeaderChoosesHaldaneOnlyForThatWord) {
    const struct {
        const char* header;
        const char* function;
        bool haldane;
        const char* warned;  // the function the warning names, or null
    } cases[] = {
        {"x KOSAMBI y", "kosambi", false, nullptr},
        {"x Haldane y", "haldane", true, nullptr},
        {"x HALDANE y", "haldane", true, nullptr},
        {"x kosambi_map y", "kosambi_map", false, "the map function kosambi_map"},
        {"x haldanes y", "haldanes", false, "the map function haldanes"},
        {"x cM y", "cm", false, "the map function cM"},
        {"CHROMOSOME", "", false, "no map function"},
    };
    for (const auto& c : cases) {
        MarkerMap fresh;
        writeText("map.txt", std::string(c.header) + "\n1 0 M1\n");
        testing::internal::CaptureStdout();
        EXPECT_TRUE(fresh.readMapFile("map.txt"));
        const std::string output = testing::internal::GetCapturedStdout();
        EXPECT_EQ(fresh.mapFunction, c.function) << c.header;
        EXPECT_EQ(fresh.isHaldane(), c.haldane) << c.header;
        const std::string warning =
            c.warned == nullptr
                ? ""
                : "Warning: The header of map file map.txt names " + std::string(c.warned) +
                      ", neither Haldane nor Kosambi: Kosambi's function is used\n";
        EXPECT_EQ(output, "Reading map file map.txt\n" + warning +
                              " M1 ...\n(Number of markers : 1)\n...done.\n")
            << c.header;
    }
}

// The header is the whole first line however many words it has: a fourth
// word does not become the first marker's chromosome.
TEST_F(MarkerMapTest, HeaderIsTheWholeFirstLine) {
    ASSERT_TRUE(read("CHROMOSOME KOSAMBI POSITION NAME extra\n2 0.0 D1S101\n2 10.5 D1S102\n"));
    EXPECT_EQ(map.getMarkerCount(), 2);
    EXPECT_EQ(map.getMarkerName("0"), "D1S101");
    EXPECT_EQ(map.getMarkerName("1"), "D1S102");
    EXPECT_EQ(map.getFullMarkerInfo("D1S102"), "2 D1S102 0 10.5");
    EXPECT_EQ(map.getMarkerWithName("0.0"), nullptr);
}

TEST_F(MarkerMapTest, PositionsThatAreNoNumbersAreErrors) {
    const struct {
        const char* text;
        bool plink;
        const char* error;
    } cases[] = {
        {"x haldane y\n1 0.0 M1\n1 ten M2\n", false,
         "Error: The position ten of marker M2 at line 3 of map file map.txt is not a number "
         "(field 2, centiMorgans)"},
        {"x haldane y\n1 12.5cM M1\n", false,
         "Error: The position 12.5cM of marker M1 at line 2 of map file map.txt is not a number "
         "(field 2, centiMorgans)"},
        {"1 rs1 0.5 100\n\n1 rs2 nan 200\n", true,
         "Error: The position nan of marker rs2 at line 3 of map file map.txt is not a number "
         "(field 3, centiMorgans)"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(read(c.text, c.plink)) << c.text;
        EXPECT_NE(printed.find(std::string("...failed\n") + c.error + "\n"), std::string::npos)
            << printed;
    }
}

TEST_F(MarkerMapTest, ReadsTheOwnLayout) {
    ASSERT_TRUE(read("x Haldane y\n1 0.0 M1\n1 12.5 M2\n"));
    EXPECT_EQ(printed, "Reading map file map.txt\n M1 M2 ...\n(Number of markers : 2)\n...done.\n");
    EXPECT_EQ(map.getMarkerCount(), 2);
    EXPECT_EQ(map.getNumberOfMarkers(), 2);
    EXPECT_EQ(map.getMarkerName("0"), "M1");
    EXPECT_EQ(map.getMarkerName("1"), "M2");
    const Marker* m2 = map.getMarker("1");
    ASSERT_NE(m2, nullptr);
    EXPECT_EQ(m2->getName(), "M2");
    EXPECT_EQ(m2->getIndex(), "1");
    EXPECT_EQ(m2->getChromosome(), "1");
    EXPECT_DOUBLE_EQ(m2->getPosition(), 12.5);
    EXPECT_EQ(map.getMarkerWithName("M1")->basePairPosition, "0");
    EXPECT_DOUBLE_EQ(map.getRecombinationFractionBetweenWithIndex("0", "1"),
                     0.5 * (1 - std::exp(-0.25)));
    EXPECT_EQ(map.getFullMarkerInfo("M2"), "1 M2 0 12.5");
}

TEST_F(MarkerMapTest, KosambiMapGivesKosambiFractions) {
    ASSERT_TRUE(read("x Kosambi y\n1 0.0 M1\n1 12.5 M2\n"));
    EXPECT_DOUBLE_EQ(map.getRecombinationFractionBetweenWithIndex("0", "1"), 0.5 * std::tanh(0.25));
}

TEST_F(MarkerMapTest, EchoesOnlyTheFirstFiveNames) {
    ASSERT_TRUE(read("a kosambi c\n1 1 A\n1 2 B\n1 3 C\n1 4 D\n1 5 E\n1 6 F\n1 7 G\n"));
    EXPECT_EQ(printed,
              "Reading map file map.txt\n A B C D E ...\n(Number of markers : 7)\n...done.\n");
    EXPECT_EQ(map.getMarkerName("6"), "G");
}

TEST_F(MarkerMapTest, ReadsThePlinkLayoutAsHaldane) {
    ASSERT_TRUE(read("1 rs1 0.5 12345\n2 rs2 105.25 999\n", true));
    EXPECT_EQ(printed,
              "Reading map file map.txt\n(Map file is in PLINK format)\n rs1 rs2 ...\n"
              "(Number of markers : 2)\n...done.\n");
    EXPECT_TRUE(map.isHaldane());
    const Marker* rs1 = map.getMarkerWithName("rs1");
    ASSERT_NE(rs1, nullptr);
    EXPECT_EQ(rs1->getChromosome(), "1");
    EXPECT_DOUBLE_EQ(rs1->getPosition(), 0.5);
    EXPECT_EQ(rs1->basePairPosition, "12345");
    EXPECT_EQ(map.getFullMarkerInfo("rs1"), "1 rs1 12345 0.5");
    EXPECT_EQ(map.getFullMarkerInfo("rs2"), "2 rs2 999 105.25");
}

TEST_F(MarkerMapTest, SkipsTheRestOfEveryLineWhateverItsLength) {
    const std::string longComment(30000, 'c');
    ASSERT_TRUE(read("x haldane y\n1 0 M1 a comment\n1 5 M2 " + longComment + "\n1 10 M3\n"));
    EXPECT_EQ(map.getMarkerCount(), 3);
    EXPECT_EQ(map.getMarkerName("2"), "M3");
    EXPECT_EQ(map.getMarkerWithName("c"), nullptr);
}

TEST_F(MarkerMapTest, CarriageReturnsDoNotStickToNames) {
    ASSERT_TRUE(read("x haldane y\r\n1 0 M1\r\n1 5 M2\r\n"));
    EXPECT_NE(map.getMarkerWithName("M2"), nullptr);
    EXPECT_EQ(map.getMarkerCount(), 2);
}

TEST_F(MarkerMapTest, EmptyFilesHoldNoMarkers) {
    for (const char* text : {"", "x haldane y\n", "x haldane y"}) {
        MarkerMap fresh;
        writeText("map.txt", text);
        testing::internal::CaptureStdout();
        EXPECT_TRUE(fresh.readMapFile("map.txt")) << text;
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "Reading map file map.txt\n ...\n(Number of markers : 0)\n...done.\n");
        EXPECT_EQ(fresh.getMarkerCount(), 0);
    }
}

TEST_F(MarkerMapTest, BadFilesFailWithTheirReason) {
    std::filesystem::create_directory("folder");
    const std::string longWord(longestInputWord + 1, '\0');
    const struct {
        const char* file;  // null: the text is written to map.txt
        std::string text;
        std::string tail;  // what follows the "Reading map file" line
    } cases[] = {
        {nullptr, "x haldane y\n1 0 M1\n1 5 M2\n1 9 M1\n",
         " M1 M2 M1...failed\nError: Duplicate marker at line: 4 markername: M1 of map file "
         "map.txt\n"},
        // Lines are counted as in the file, blank ones included.
        {nullptr, "x haldane y\r\n\n1 0 M1\r\n\n1 9 M1\r\n",
         " M1 M1...failed\nError: Duplicate marker at line: 5 markername: M1 of map file "
         "map.txt\n"},
        {nullptr, "x haldane y\n1 0 M1\n1",
         " M1...failed\nError: Map function is missing: no marker position at line 3 of map "
         "file map.txt\n"},
        {nullptr, "x haldane y\n1 5.0",
         "...failed\nError: Marker name is missing at line 2 of map file map.txt\n"},
        {nullptr, "x haldane y\n1 0 " + longWord + "\n",
         "...failed\nError: Map file map.txt: line 2 holds a word of more than 1048576 characters, "
         "longer than any real input\n"},
        {"missing.txt", "",
         "...failed\nError: Unable to open marker map file missing.txt for reading!\n"},
        {"folder", "", "...failed\nError: The map file folder is a directory, not a file\n"},
    };
    for (const auto& c : cases) {
        MarkerMap fresh;
        std::string file = "map.txt";
        if (c.file != nullptr) {
            file = c.file;
        } else {
            writeText(file, c.text);
        }
        testing::internal::CaptureStdout();
        EXPECT_FALSE(fresh.readMapFile(file)) << file;
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "Reading map file " + file + "\n" + c.tail);
        EXPECT_EQ(fresh.getMarkerCount(), 0);
    }
}

TEST_F(MarkerMapTest, GeneratesAnEvenlySpacedMap) {
    testing::internal::CaptureStdout();
    map.makeMarkerMap(3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Generating map file \n(Number of markers : 3)...done.\n");
    EXPECT_TRUE(map.isHaldane());
    EXPECT_EQ(map.getMarkerCount(), 3);
    const double positions[] = {1, 11, 21};
    for (int i = 0; i < 3; ++i) {
        const std::string index = std::to_string(i);
        const Marker* marker = map.getMarker(index);
        ASSERT_NE(marker, nullptr) << index;
        EXPECT_EQ(marker->getName(), "MARKER" + std::to_string(i + 1));
        EXPECT_EQ(marker->getIndex(), index);
        EXPECT_EQ(marker->getChromosome(), "1");
        EXPECT_DOUBLE_EQ(marker->getPosition(), positions[i]);
    }
    EXPECT_EQ(map.getMarkerName("2"), "MARKER3");
    EXPECT_DOUBLE_EQ(map.getGeneticDistanceBetween("MARKER1", "MARKER3"), 20.0);
}

TEST_F(MarkerMapTest, DistancesAreSignedAndUnknownNamesAreNamed) {
    ASSERT_TRUE(read("x haldane y\n1 10 A\n1 4.5 B\n"));
    EXPECT_DOUBLE_EQ(map.getGeneticDistanceBetween("A", "B"), -5.5);
    EXPECT_DOUBLE_EQ(map.getGeneticDistanceBetween("B", "A"), 5.5);
    const struct {
        const char* first;
        const char* second;
        const char* printed;
    } cases[] = {
        {"Z", "B", "marker1 is null"},
        {"A", "Z", "marker2 is null"},
        {"Y", "Z", "marker1 is nullmarker2 is null"},
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(map.getGeneticDistanceBetween(c.first, c.second), -1.0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.printed);
    }
}

TEST_F(MarkerMapTest, UnknownNamesAndIndexesFindNothing) {
    ASSERT_TRUE(read("x haldane y\n1 10 A\n"));
    EXPECT_EQ(map.getFullMarkerInfo("B"), "");
    EXPECT_EQ(map.getMarkerWithName("B"), nullptr);
    EXPECT_EQ(map.getMarkerName("1"), "");
    EXPECT_EQ(map.getMarker("1"), nullptr);
    EXPECT_EQ(map.getMarker("-1"), nullptr);
}

// d in Morgans: Haldane r = (1 - e^(-2d)) / 2, Kosambi r = tanh(2d) / 2.
TEST(MapFunctionTest, FollowTheirClosedForms) {
    const struct {
        double centiMorgans;
        double haldane;
        double kosambi;
    } cases[] = {
        {0.0, 0.0, 0.0},
        {10.0, 0.0906346235, 0.0986876601},
        {100.0, 0.4323323584, 0.4820137900},
        {1.0, (1 - std::exp(-0.02)) / 2, std::tanh(0.02) / 2},
        {-10.0, -0.1107013791, -0.0986876601},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(HaldaneCentiMorganToRecombinationFraction(c.centiMorgans), c.haldane, 1e-10)
            << c.centiMorgans;
        EXPECT_NEAR(KosambiCentiMorganToRecombinationFraction(c.centiMorgans), c.kosambi, 1e-10)
            << c.centiMorgans;
    }
}

TEST(MapFunctionTest, HugeDistancesGiveOneHalf) {
    for (const double d : {5000.0, 1e6, std::numeric_limits<double>::max()}) {
        EXPECT_EQ(HaldaneCentiMorganToRecombinationFraction(d), 0.5) << d;
        EXPECT_EQ(KosambiCentiMorganToRecombinationFraction(d), 0.5) << d;
    }
}

TEST(MapFunctionTest, InversesGiveTheDistancesBack) {
    EXPECT_NEAR(RecombinationFractionToHaldaneCentiMorgan(0.1), 11.1572, 1e-4);
    EXPECT_NEAR(RecombinationFractionToKosambiCentiMorgan(0.1), 10.1366, 1e-4);
    EXPECT_EQ(RecombinationFractionToHaldaneCentiMorgan(0.0), 0.0);
    EXPECT_EQ(RecombinationFractionToKosambiCentiMorgan(0.0), 0.0);
    for (const double d : {0.01, 1.0, 10.0, 37.5, 100.0, 250.0}) {
        EXPECT_NEAR(
            RecombinationFractionToHaldaneCentiMorgan(HaldaneCentiMorganToRecombinationFraction(d)),
            d, 1e-9 * d + 1e-12)
            << d;
        EXPECT_NEAR(
            RecombinationFractionToKosambiCentiMorgan(KosambiCentiMorganToRecombinationFraction(d)),
            d, 1e-9 * d + 1e-12)
            << d;
    }
    for (const double theta : {0.001, 0.1, 0.3, 0.49}) {
        EXPECT_NEAR(HaldaneCentiMorganToRecombinationFraction(
                        RecombinationFractionToHaldaneCentiMorgan(theta)),
                    theta, 1e-12);
        EXPECT_NEAR(KosambiCentiMorganToRecombinationFraction(
                        RecombinationFractionToKosambiCentiMorgan(theta)),
                    theta, 1e-12);
    }
    EXPECT_TRUE(std::isinf(RecombinationFractionToHaldaneCentiMorgan(0.5)));
    EXPECT_TRUE(std::isinf(RecombinationFractionToKosambiCentiMorgan(0.5)));
}

}  // namespace
