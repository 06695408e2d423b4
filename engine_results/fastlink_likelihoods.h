// What the likelihood engine reported for one evaluation point of a run.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "record_memory.h"

// The engine gives a pedigree that is impossible at a point (likelihood 0,
// as with a Mendelian error) ln L -1e20; no possible pedigree comes near.
constexpr double impossibleLnLikeBound = -1e19;
inline bool isImpossibleLnLike(double lnLike) {
    return lnLike <= impossibleLnLikeBound;
}
// What the by-family tables print, in place of a LOD, for a pedigree left
// out of a point.
constexpr const char* leftOutMark = "left out";

// One pedigree's engine result at one evaluation point.
class FastlinkLikelihood {
  public:
    // Inline: a reader adds one record per line of its file.
    FastlinkLikelihood(std::string_view pedigreeId, double lnLike, double log10Like,
                       double lodScore)
        : pedigreeId(pedigreeId), lnLike(lnLike), log10Like(log10Like), lodScore(lodScore) {}

    std::string getPedigreeId() const { return pedigreeId; }
    double getLnLike() const { return lnLike; }
    double getLodScore() const { return lodScore; }

    std::string pedigreeId;
    double lnLike;
    double log10Like;
    // As the reader computed it; the multipoint reader stores -99.0.
    double lodScore;
};

// One evaluation point (one recombination fraction of a two-point run, or
// one trait position of a multipoint run) with its per-pedigree records and
// the totals exactly as the engine printed them.
class FastlinkLikelihoods {
  public:
    // A multipoint point: theta and total LOD stay 1.0 unless a reader sets them.
    FastlinkLikelihoods();
    // A two-point point at theta; its reader sets the total LOD.
    explicit FastlinkLikelihoods(double theta);

    FastlinkLikelihoods(const FastlinkLikelihoods&) = delete;
    FastlinkLikelihoods& operator=(const FastlinkLikelihoods&) = delete;

    // Readers pass the id as it stands in the engine's file.
    void addLikelihood(std::string_view id, double ln, double log10, double lod) {
        records.emplace_back(id, ln, log10, lod);
    }
    // Room for this many records, for a reader that knows how many follow.
    void reserve(std::size_t count);
    // The record of the id (the one added last when the id came twice), or
    // null; it stays in place until the next record is added.
    const FastlinkLikelihood* getLikelihood(const std::string& id) const;
    // Pedigree ids in the order of the engine's file (an id added twice stands twice).
    std::vector<std::string> getPedigreeNames() const;
    double getRecombinationFraction() const { return recombinationFraction; }

    void setLnLikeTotal(double value) { lnLikeTotal = value; }
    void setLog10Total(double value) { log10Total = value; }
    void setMinus2LnLike(double value) { minus2LnLike = value; }
    void setLodScore(double value) { lodScore = value; }
    double getMinus2LnLike() const { return minus2LnLike; }
    double getLodScore() const { return lodScore; }

    // The pedigrees whose ln L is the engine's impossible value, in file order.
    std::vector<std::string> getImpossiblePedigrees() const;
    // Leaves the pedigrees out of the point: their records stay, but the ln,
    // log10 and -2 ln totals become those of the other records, so that one
    // impossible pedigree no longer swamps the evidence of the others.
    void leaveOut(const std::vector<std::string>& ids);
    bool isLeftOut(const std::string& id) const;
    const std::vector<std::string>& getLeftOutPedigrees() const { return leftOut; }
    // The sum of the LODs of the records not left out (two-point records
    // hold the engine's pedigree LODs).
    double keptLodScoreSum() const;

    double recombinationFraction;
    // "THETAS" of a multipoint point in locus order; empty for two-point points.
    std::vector<double> thetas;
    double lnLikeTotal = 0.0;
    double log10Total = 0.0;
    double minus2LnLike = 0.0;
    double lodScore;

  private:
    // Every record ever added, in one block rather than one allocation each:
    // a run reads hundreds of thousands of them, and keeps them to its end.
    std::vector<FastlinkLikelihood, RecordAllocator<FastlinkLikelihood>> records;
    // Position in records by pedigree id, built on the first look-up rather
    // than per record added: most points of a run are read and never looked
    // into. It covers the first `indexed` records.
    mutable std::unordered_map<std::string, std::size_t> index;
    mutable std::size_t indexed = 0;
    std::vector<std::string> leftOut;
};
