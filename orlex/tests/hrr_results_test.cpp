// The result files of the haplotype-relative-risk analysis, written from
// records filled by hand: the text report's tables and the -log10(p-value)
// charts, every chart rendered with Ghostscript.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "hrr.h"
#include "marker_info.h"
#include "marker_map.h"
#include "pedigrees.h"
#include "test_support.h"
#include "utilities.h"

namespace {

using test_support::readText;
using test_support::renderPostScript;

struct PValues {
    double alleleRandomized;
    double alleleTheoretical;
    double genotypeRandomized;
    double genotypeTheoretical;
};

class HrrResultFiles : public test_support::TempDirTest {
  protected:
    void useMarkers(int count) {
        auto* map = new MarkerMap();
        testing::internal::CaptureStdout();
        map->makeMarkerMap(count);
        testing::internal::GetCapturedStdout();
        store.setMarkerMap(map);
    }

    // A biallelic record of the marker with the given index and p-values.
    HrrMarker& addRecord(const std::string& phenotype, int index, const PValues& p) {
        if (hrr.phenotypes.count(phenotype) == 0) {
            hrr.phenotypeNames.push_back(phenotype);
            hrr.phenotypes[phenotype] = std::make_unique<HrrPhenotype>(phenotype);
        }
        auto record = std::make_unique<HrrMarker>(IntToString(index), alleles);
        record->alleleRandomizedPValue = p.alleleRandomized;
        record->alleleTheoreticalPValue = p.alleleTheoretical;
        record->genotypeRandomizedPValue = p.genotypeRandomized;
        record->genotypeTheoreticalPValue = p.genotypeTheoretical;
        HrrMarker& kept = *record;
        hrr.phenotypes[phenotype]->addHrrMarker(IntToString(index), std::move(record));
        return kept;
    }

    bool write(const std::string& base = "x_hrr") {
        testing::internal::CaptureStdout();
        const bool written = hrr.writeGenotypeAndAlleleCounts(base);
        console = testing::internal::GetCapturedStdout();
        return written;
    }

    // The text of page n (from 1) of the chart file.
    static std::string page(const std::string& chart, int n) {
        const std::string start = "%%Page: " + IntToString(n) + " " + IntToString(n) + "\n";
        const size_t begin = chart.find(start);
        if (begin == std::string::npos) {
            return "";
        }
        return chart.substr(begin, chart.find("%%EndDocument", begin) - begin);
    }

    static int occurrences(const std::string& text, const std::string& part) {
        int count = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
            ++count;
        }
        return count;
    }

    Allele one{"1"};
    Allele two{"2"};
    std::vector<Allele*> alleles{&one, &two};
    Pedigrees store;
    Hrr hrr{&store};
    std::string console;
};

TEST_F(HrrResultFiles, ReportHasEveryGenotypeAndTheSeenAlleles) {
    useMarkers(2);
    HrrMarker& record = addRecord("DISEASE_LOCUS", 1, {0.5, 0.5, 0.5, 0.5});
    record.addCaseCountForGenotype("1/2");
    record.addCaseAlleleCount("1");
    record.addCaseAlleleCount("2");
    record.addControlCountForGenotype("2/2");
    record.addControlAlleleCount("2");
    record.addControlAlleleCount("2");
    record.genotypeLRT = 2.772589;
    record.alleleLRT = 1.5;
    hrr.phenotypeNames.push_back("EMPTY");
    hrr.phenotypes["EMPTY"] = std::make_unique<HrrPhenotype>("EMPTY");
    ASSERT_TRUE(write()) << console;
    EXPECT_EQ(console, "The Hrr Counts: x_hrr\nThe HRR Histograms:  x_hrr.ps\n");

    const std::string report = readText("x_hrr.out");
    EXPECT_EQ(report.rfind(Hrr::welcome() + "\n", 0), 0u);
    EXPECT_NE(report.find("HRR Pedigree statistics\n========================\n"
                          "  # pedigrees          : 0\n  # persons            : 0\n\n"
                          "Phenotype : DISEASE_LOCUS\n"
                          "Marker : MARKER2\n\n"
                          "Genotype Count\n"
                          "     Genotype         Case      Control\n"
                          "          1/1            0            0\n"
                          "          1/2            1            0\n"
                          "          2/2            0            1\n\n"
                          "Allele Count\n"
                          "       Allele         Case      Control\n"
                          "            1            1            0\n"
                          "            2            1            2\n\n"
                          "Genotype-Based LRT             : 2.772589\n"
                          "Allele-Based LRT               : 1.500000\n\n\n"
                          "Phenotype : EMPTY\n"),
              std::string::npos)
        << report;
    // The phenotype without markers has four pages without bars, left out.
    const std::string chart = readText("x_hrr.ps");
    EXPECT_NE(chart.find("%%Pages: 8\n"), std::string::npos);
    EXPECT_EQ(occurrences(chart, "%%Page: "), 4);
    EXPECT_TRUE(renderPostScript("x_hrr.ps"));
}

// More than 100 markers: pages of 50 bars, the last padded with empty slots
// "@120" to "@149", for each of the four kinds.
TEST_F(HrrResultFiles, MoreThanAHundredMarkersGoOnPagesOfFifty) {
    useMarkers(120);
    for (int index = 0; index < 120; ++index) {
        addRecord("DISEASE_LOCUS", index, {0.01, 0.02, 0.03, 0.04});
    }
    ASSERT_TRUE(write()) << console;
    const std::string chart = readText("x_hrr.ps");
    EXPECT_EQ(occurrences(chart, "%%Page: "), 12);
    EXPECT_EQ(occurrences(chart, " .7 fillbox"), 4 * 120);
    for (const int n : {1, 4, 7, 10}) {
        EXPECT_EQ(occurrences(page(chart, n), " .7 fillbox"), 50) << "page " << n;
        EXPECT_EQ(occurrences(page(chart, n + 2), " .7 fillbox"), 20) << "page " << n + 2;
    }
    EXPECT_NE(page(chart, 3).find("(MARKER120)show"), std::string::npos);
    EXPECT_EQ(chart.find("(@"), std::string::npos);
    EXPECT_NE(page(chart, 1).find("(-log10\\(p-value\\)    \\(Allele rand\\))show"),
              std::string::npos);
    EXPECT_NE(page(chart, 10).find("(-log10\\(p-value\\)    \\(Genotype theo\\))show"),
              std::string::npos);
    std::filesystem::create_directory("pages");
    EXPECT_TRUE(renderPostScript("x_hrr.ps", "pages"));
    EXPECT_EQ(test_support::renderedPageCount("pages"), 12);
}

// The top of the value axis and the tick step follow the phenotype's
// largest bar of the kind: 2.5 gives 3 by 0.5, 4.2 gives 5 by 1, exactly 3
// gives 4 by 0.5, and bars of p = 1 only give 3 by 0.1.
TEST_F(HrrResultFiles, AxisFollowsTheLargestBar) {
    useMarkers(1);
    addRecord("A", 0, {std::pow(10.0, -2.5), 1.0, 1.0, 1.0});
    addRecord("B", 0, {std::pow(10.0, -4.2), 1.0, 1.0, 1.0});
    addRecord("C", 0, {1e-3, 1.0, 1.0, 1.0});
    ASSERT_TRUE(write()) << console;
    const std::string chart = readText("x_hrr.ps");
    const auto tick = [](int position, const std::string& label) {
        return "10 scaleTimes " + IntToString(position) + " 725 moveto -90 rotate (" + label +
               ")show 90 rotate";
    };
    // A: 100 + 400 k 0.5 / 3, the last label at the top.
    EXPECT_NE(page(chart, 1).find(tick(166, "0.5")), std::string::npos);
    EXPECT_NE(page(chart, 1).find(tick(500, "3")), std::string::npos);
    EXPECT_NE(page(chart, 2).find(tick(113, "0.1")), std::string::npos);
    // B: 100 + 400 k / 5.
    EXPECT_NE(page(chart, 5).find(tick(180, "1")), std::string::npos);
    EXPECT_NE(page(chart, 5).find(tick(500, "5")), std::string::npos);
    // C: 100 + 400 k 0.5 / 4.
    EXPECT_NE(page(chart, 9).find(tick(150, "0.5")), std::string::npos);
    EXPECT_NE(page(chart, 9).find(tick(500, "4")), std::string::npos);
    EXPECT_TRUE(renderPostScript("x_hrr.ps"));
}

// A p-value of 0 is drawn at the test's resolution: 1 / 100,000 replicates
// (height 5); the chi-square tail's smallest value above 0 at one degree of
// freedom, 2 P(Z > 12) (about 32.45); at more, the smallest positive double.
TEST_F(HrrResultFiles, ZeroPValuesAreDrawnAtTheTestsResolution) {
    useMarkers(2);
    addRecord("DISEASE_LOCUS", 0, {0.0, 0.0, 0.0, 0.0});
    addRecord("DISEASE_LOCUS", 1, {1.0, 1.0, 1.0, 1.0});
    ASSERT_TRUE(write()) << console;
    const std::string chart = readText("x_hrr.ps");
    const auto barValue = [](const std::string& text, double value) {
        std::ostringstream label;
        label << "moveto (" << value << ")show";
        return text.find(label.str()) != std::string::npos;
    };
    EXPECT_TRUE(barValue(page(chart, 1), 5.0)) << page(chart, 1);
    EXPECT_TRUE(barValue(page(chart, 3), 5.0));
    EXPECT_TRUE(barValue(page(chart, 2), -std::log10(chipr(144.0, 1))));
    EXPECT_TRUE(barValue(page(chart, 4), -std::log10(std::numeric_limits<double>::denorm_min())));
    // The marker of p = 1 has a bar of length 0, labelled 0.
    EXPECT_NE(page(chart, 1).find("\n0 0 rlineto"), std::string::npos);
    EXPECT_TRUE(barValue(page(chart, 1), 0.0));
    EXPECT_EQ(chart.find("(-0)show"), std::string::npos);
    EXPECT_TRUE(renderPostScript("x_hrr.ps"));
}

// Each file is written whether or not the other can be; the failure is
// named and reported.
TEST_F(HrrResultFiles, AFileThatCannotBeWrittenLosesNotTheOther) {
    useMarkers(1);
    addRecord("DISEASE_LOCUS", 0, {0.5, 0.5, 0.5, 0.5});
    std::filesystem::create_directory("chart_hrr.ps");
    EXPECT_FALSE(write("chart_hrr"));
    EXPECT_NE(console.find("Error: Unable to write the chart file chart_hrr.ps\n"),
              std::string::npos)
        << console;
    EXPECT_NE(readText("chart_hrr.out").find("Marker : MARKER1"), std::string::npos);

    std::filesystem::create_directory("text_hrr.out");
    EXPECT_FALSE(write("text_hrr"));
    EXPECT_NE(console.find("Error: Unable to open text_hrr.out for writing\n"), std::string::npos)
        << console;
    EXPECT_TRUE(renderPostScript("text_hrr.ps"));

    // A device takes no whole file.
    std::filesystem::create_symlink("/dev/full", "full_hrr.out");
    EXPECT_FALSE(write("full_hrr"));
    EXPECT_NE(console.find("Error: Unable to open full_hrr.out for writing\n"), std::string::npos)
        << console;
}

}  // namespace
