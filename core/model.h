// The disease (trait) model of an analysis: one affection-status locus with
// the disease allele frequency and the penetrances per liability class, and
// male penetrances when the model is X-linked.
#pragma once

#include <string>

#include "locus.h"

class Model {
  public:
    Model() = default;
    ~Model();
    // The model owns its locus: copying would delete it twice.
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    // Reads a model file: the sex-linked flag (0 or 1), the disease allele
    // frequency, the number of liability classes, then per class the three
    // penetrances (and the two male ones when X-linked). On a fault prints
    // "..failed" and the reason, keeps the model as it was and returns false.
    bool readModelFile(const std::string& fileName);
    // The default model: dominant, disease allele frequency 0.01,
    // penetrances 0.01, 0.9, 0.9.
    void makeModel();
    // Still owned by the model; null before a model is read or made.
    Locus* getLocus() const { return locus; }

    int sexLinked = 0;
    Locus* locus = nullptr;

    static constexpr const char* diseaseLocusId = "DISEASE_LOCUS_1";
};
