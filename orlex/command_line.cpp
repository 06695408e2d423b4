// The command line of the linkage analysis program.
#include <tclap/CmdLine.h>

#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "orlex.h"
#include "utilities.h"

static const char* const version = "1.0.0";

// TCLAP lists the options in the reverse order of adding; they are added in
// the order that shows the input files first in its usage text.
bool Orlex::parse(int argc, char** argv) {
    try {
        TCLAP::CmdLine cmd("See ORLEX documentation for full information!", ' ', version);

        TCLAP::SwitchArg msPauseArg("", "mspause",
                                    "Microsoft command prompt 'PAUSE' after analysis", false);
        TCLAP::SwitchArg verboseArg("", "verbose", "Verbose output", false);
        TCLAP::SwitchArg quietArg("", "quiet", "Quiet mode", false);
        TCLAP::SwitchArg slowArg("", "slow", "Use slow FASTLINK (reduces memory usage)", false);
        TCLAP::SwitchArg statsArg("", "stats", "Various statistics", false);
        TCLAP::SwitchArg trimArg("", "trim", "remove non-informative persons/pedigrees", false);
        TCLAP::ValueArg<std::string> prefixArg("", "prefix", "prefix name", false, "",
                                               "prefix_name");
        TCLAP::ValueArg<int> stepsArg("", "steps",
                                      "Number of evaluation steps between markers in multipoint",
                                      false, 5, "int");
        TCLAP::ValueArg<int> windowArg("", "wsize", "Multipoint window size", false, 3, "int");
        TCLAP::SwitchArg curvesArg(
            "", "singlepointcurves",
            "Singlepoint lod score curves in PostScript (x-axis: theta, y-axis: lod score) ",
            false);
        TCLAP::SwitchArg byFamilyArg("", "byfamily", "Lod Score by family", false);
        TCLAP::ValueArg<std::string> freqArg("", "freq", "Frequency type <a,f,m,u>", false, "all",
                                             "a,f,m,u");
        TCLAP::ValueArg<std::string> phenotypeArg("", "phenotype", "phenotype name", false, "",
                                                  "phenotype_name");
        TCLAP::ValueArg<std::string> markerArg("", "marker", "marker name", false, "",
                                               "marker_name");
        TCLAP::ValueArg<std::string> onlyMarkersArg("", "onlymarkers", "Only markers file", false,
                                                    "file.txt", "file");
        TCLAP::SwitchArg hlodArg("", "hlod", "Heterogeneity analysis", false);
        TCLAP::SwitchArg hrrArg("", "hrrrand", "HRR analysis", false);
        TCLAP::SwitchArg sibpairArg("", "sibpair", "Sib pair linkage analysis", false);
        TCLAP::SwitchArg nuclearArg(
            "", "nuclear", "Component nuclear pedigree parametric linkage analysis", false);
        TCLAP::SwitchArg multipointArg("", "multipoint", "Parametric multipoint linkage analysis",
                                       false);
        TCLAP::SwitchArg singlepointArg("", "singlepoint",
                                        "Parametric singlepoint linkage analysis", false);
        TCLAP::SwitchArg xlinkedArg("", "xlinked", "X-linked data", false);
        TCLAP::SwitchArg liabArg("", "liab", "Pedigree file has liability class", false);
        TCLAP::SwitchArg postArg("", "post", "Pedigree file is in post-makeped format", false);
        TCLAP::ValueArg<std::string> phenArg("f", "phen", "Phenotype file", false, "orlex.phen",
                                             "file");
        TCLAP::ValueArg<std::string> modelArg("k", "model", "Model file", false, "orlex.model",
                                              "file");
        TCLAP::ValueArg<std::string> mapArg("m", "map", "Marker map file", false, "orlex.map",
                                            "file");
        TCLAP::ValueArg<std::string> datArg("d", "dat", "Linkage Locus file", false, "orlex.dat",
                                            "file");
        TCLAP::ValueArg<std::string> pedArg("p", "ped", "Pedigree file", false, "orlex.ped",
                                            "file");

        for (TCLAP::Arg* arg : std::initializer_list<TCLAP::Arg*>{
                 &msPauseArg,     &verboseArg, &quietArg,     &slowArg,    &statsArg,
                 &trimArg,        &prefixArg,  &stepsArg,     &windowArg,  &curvesArg,
                 &byFamilyArg,    &freqArg,    &phenotypeArg, &markerArg,  &onlyMarkersArg,
                 &hlodArg,        &hrrArg,     &sibpairArg,   &nuclearArg, &multipointArg,
                 &singlepointArg, &xlinkedArg, &liabArg,      &postArg,    &phenArg,
                 &modelArg,       &mapArg,     &datArg,       &pedArg}) {
            cmd.add(arg);
        }
        cmd.parse(argc, argv);

        msPause = msPauseArg.isSet();
        verbose = verboseArg.isSet();
        quiet = quietArg.isSet();
        slow = slowArg.isSet();
        statistics = statsArg.isSet();
        trim = trimArg.isSet();
        prefixGiven = prefixArg.isSet();
        if (prefixGiven) {
            outputPrefix = prefixArg.getValue();
        }
        if (stepsArg.isSet()) {
            steps = stepsArg.getValue();
        }
        if (windowArg.isSet()) {
            windowSize = windowArg.getValue();
        }
        singlepointCurves = curvesArg.isSet();
        byFamily = byFamilyArg.isSet();
        frequencyTypeGiven = freqArg.isSet();
        if (frequencyTypeGiven) {
            frequencyType = freqArg.getValue();
        }
        phenotypeName = phenotypeArg.getValue();
        markerName = markerArg.getValue();
        onlyMarkersGiven = onlyMarkersArg.isSet();
        if (onlyMarkersGiven) {
            onlyMarkersFile = onlyMarkersArg.getValue();
        }
        hlodAnalysis = hlodArg.isSet();
        hrrAnalysis = hrrArg.isSet();
        sibpairAnalysis = sibpairArg.isSet();
        nuclearAnalysis = nuclearArg.isSet();
        multipointAnalysis = multipointArg.isSet();
        singlepointAnalysis = singlepointArg.isSet();
        xlinked = xlinkedArg.isSet();
        liabilityClass = liabArg.isSet();
        postMakeped = postArg.isSet();
        affectionStatus = true;
        phenotypeFileGiven = phenArg.isSet();
        if (phenotypeFileGiven) {
            phenotypeFile = phenArg.getValue();
        }
        modelFileGiven = modelArg.isSet();
        if (modelFileGiven) {
            modelFile = modelArg.getValue();
        }
        mapFileGiven = mapArg.isSet();
        if (mapFileGiven) {
            mapFile = mapArg.getValue();
        }
        locusFileGiven = datArg.isSet();
        if (locusFileGiven) {
            locusFile = datArg.getValue();
        }
        pedigreeFileGiven = pedArg.isSet();
        if (pedigreeFileGiven) {
            pedigreeFile = pedArg.getValue();
        }
        std::vector<std::pair<std::string, std::string>> fileOptions;
        for (const TCLAP::ValueArg<std::string>* arg :
             {&pedArg, &mapArg, &phenArg, &modelArg, &datArg, &onlyMarkersArg}) {
            if (arg->isSet()) {
                fileOptions.emplace_back("--" + arg->getName(), arg->getValue());
            }
        }
        return checkFileNamesNotEmpty(fileOptions);
    } catch (const TCLAP::ArgException& e) {
        std::cerr << "error: " << e.error() << " for arg " << e.argId() << std::endl;
        return false;
    }
    return true;
}
