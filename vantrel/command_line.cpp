// The command line of the joint linkage and LD program.
#include <tclap/CmdLine.h>

#include <initializer_list>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "utilities.h"
#include "vantrel.h"
#include "version.h"

// TCLAP lists the options in the reverse order of adding: the input files
// come first in its usage text.
bool Vantrel::parse_cmdline_arguments(int argc, char** argv) {
    try {
        TCLAP::CmdLine cmd("See vantrel documentation for full information!", ' ', vantrelVersion);

        TCLAP::SwitchArg msPauseArg("", "mspause",
                                    "Microsoft command prompt 'PAUSE' after analysis", false);
        TCLAP::SwitchArg verboseArg("", "verbose", "Verbose output", false);
        std::vector<std::string> debugValues{"gt", "all", "cdl", "sv"};
        TCLAP::ValuesConstraint<std::string> debugConstraint(debugValues);
        TCLAP::ValueArg<std::string> debugArg("g", "debug", "Debug program", false, "gt",
                                              &debugConstraint);
        TCLAP::SwitchArg skipMendelArg("", "skipmendelerrors", "Skip markers with Mendel errors",
                                       false);
        TCLAP::SwitchArg loopBreakArg("", "forceloopbreak", "Force breaking of the loops", false);
        TCLAP::SwitchArg xlinkedArg("", "xlinked", "X-linked data", false);
        TCLAP::ValueArg<std::string> phenArg("", "phen", "Select specific phenotype", false,
                                             "DISEASE_LOCUS", "phenotype name");
        TCLAP::ValueArg<std::string> markerArg("", "marker", "Select specific marker", false, "foo",
                                               "marker name");
        TCLAP::SwitchArg allArg("", "all", "Dominant, Recessive and Model-based vantrel analysis",
                                false);
        TCLAP::SwitchArg modelArg("", "model", "Model-based vantrel analysis", false);
        TCLAP::SwitchArg recArg("", "rec", "Recessive vantrel analysis", false);
        TCLAP::SwitchArg domArg("", "dom", "Dominant vantrel analysis", false);
        TCLAP::ValueArg<std::string> prefixArg("", "prefix", "Output file name prefix", false,
                                               "vantrel", "name");
        TCLAP::SwitchArg ccLinkageArg("", "cclinkage", "Singleton file(s) are in LINKAGE format",
                                      false);
        TCLAP::SwitchArg liabArg("", "liabclass", "Pedigree file has liability class", false);
        TCLAP::SwitchArg postArg("", "post", "Pedigree file is in post-makeped format", false);
        TCLAP::SwitchArg plinkMapArg(
            "", "plinkmap", "Map file is in PLINK format (with four columns; chr,rs,cM,bp)", false);
        TCLAP::ValueArg<std::string> ccPhenArg("", "ccphen", "Cases and controls phenotype name",
                                               false, "DISEASE_LOCUS", "phenotype name");
        TCLAP::ValueArg<std::string> caseMapArg("", "casemap", "Cases marker map file", false,
                                                "cases.map", "map file");
        TCLAP::ValueArg<std::string> caseGtArg("", "casegt", "Cases genotype file", false,
                                               "cases.dat", "Cases gt file");
        TCLAP::ValueArg<std::string> controlMapArg("", "controlmap", "Controls marker map file",
                                                   false, "controls.map", "map file");
        TCLAP::ValueArg<std::string> controlGtArg("", "controlgt", "Controls genotype file", false,
                                                  "controls.dat", "Controls gt file");
        TCLAP::ValueArg<std::string> markerListArg("", "markerlist", "Marker list file", false,
                                                   "markers.txt", "file");
        TCLAP::ValueArg<std::string> phenotypeFileArg("f", "phenotypefile", "Phenotype file", false,
                                                      "vantrel.phen", "phenotype file");
        TCLAP::ValueArg<std::string> modelFileArg("k", "modelfile", "Model file", false,
                                                  "vantrel.model", "model file");
        TCLAP::ValueArg<std::string> mapFileArg("m", "mapfile", "Marker map file", false,
                                                "vantrel.map", "map file");
        TCLAP::ValueArg<std::string> dataFileArg("d", "datafile", "Linkage locus file", false,
                                                 "vantrel.dat", "data file");
        TCLAP::ValueArg<std::string> pedigreeFileArg("p", "pedigreefile", "Pedigree file", false,
                                                     "vantrel.ped", "pedigree file");

        for (TCLAP::Arg* arg : std::initializer_list<TCLAP::Arg*>{
                 &msPauseArg,    &verboseArg,   &debugArg,       &skipMendelArg,    &loopBreakArg,
                 &xlinkedArg,    &phenArg,      &markerArg,      &allArg,           &modelArg,
                 &recArg,        &domArg,       &prefixArg,      &ccLinkageArg,     &liabArg,
                 &postArg,       &plinkMapArg,  &ccPhenArg,      &caseMapArg,       &caseGtArg,
                 &controlMapArg, &controlGtArg, &markerListArg,  &phenotypeFileArg, &modelFileArg,
                 &mapFileArg,    &dataFileArg,  &pedigreeFileArg}) {
            cmd.add(arg);
        }
        cmd.parse(argc, argv);

        msPause = msPauseArg.getValue();
        verbose = verboseArg.getValue();
        forceLoopBreak = loopBreakArg.getValue();
        xlinked = xlinkedArg.getValue();
        linkageFormat = postArg.getValue();
        liabilityClass = liabArg.getValue();
        skipMendelErrors = skipMendelErrors || skipMendelArg.isSet();
        singletonLinkageFormat = singletonLinkageFormat || ccLinkageArg.isSet();
        plinkMapFormat = plinkMapFormat || plinkMapArg.isSet();

        if (allArg.isSet()) {
            dominantAnalysis = recessiveAnalysis = modelBasedAnalysis = true;
        } else {
            dominantAnalysis = domArg.getValue();
            recessiveAnalysis = recArg.getValue();
            modelBasedAnalysis = modelArg.getValue();
        }

        pedigreeFileName = pedigreeFileArg.getValue();
        linkageLocusFileName = dataFileArg.getValue();
        linkageLocusFileGiven = linkageLocusFileGiven || dataFileArg.isSet();
        phenotypeFileName = phenotypeFileArg.getValue();
        phenotypeFileGiven = phenotypeFileGiven || phenotypeFileArg.isSet();
        mapFileName = mapFileArg.getValue();
        mapFileGiven = mapFileGiven || mapFileArg.isSet();
        modelFileName = modelFileArg.getValue();
        modelFileGiven = modelFileGiven || modelFileArg.isSet();
        caseMapFileName = caseMapArg.getValue();
        caseGenotypeFileName = caseGtArg.getValue();
        caseFilesGiven = caseFilesGiven || caseGtArg.isSet();
        controlMapFileName = controlMapArg.getValue();
        controlGenotypeFileName = controlGtArg.getValue();
        controlFilesGiven = controlFilesGiven || controlGtArg.isSet();
        caseControlPhenotypeName = ccPhenArg.getValue();
        outputPrefix = prefixArg.getValue();
        markerName = markerArg.getValue();
        markerGiven = markerGiven || markerArg.isSet();
        phenotypeName = phenArg.getValue();
        phenotypeGiven = phenotypeGiven || phenArg.isSet();

        if (markerListArg.isSet()) {
            markerListFileName = markerListArg.getValue();
            markerListFileGiven = true;
        }
        if (debugArg.isSet()) {
            const std::string& debug = debugArg.getValue();
            debugGenotypes = debug == "gt" || debug == "all";
            debugCodominant = debug == "cdl" || debug == "all";
            debugStartValues = debug == "sv" || debug == "all";
        }
        useNomad = true;
        std::vector<std::pair<std::string, std::string>> fileOptions;
        for (const TCLAP::ValueArg<std::string>* arg :
             {&pedigreeFileArg, &dataFileArg, &phenotypeFileArg, &mapFileArg, &modelFileArg,
              &caseMapArg, &caseGtArg, &controlMapArg, &controlGtArg, &markerListArg}) {
            if (arg->isSet()) {
                fileOptions.emplace_back("--" + arg->getName(), arg->getValue());
            }
        }
        return checkFileNamesNotEmpty(fileOptions);
    } catch (const TCLAP::ArgException& e) {
        std::cerr << "error: " << e.error() << " for arg " << e.argId() << std::endl;
        return false;
    }
}
