#include "server/Matcher.h"

#include <algorithm>
#include <cmath>

#include "server/MatchSession.h"

namespace quil {

Matcher::Matcher(FingerprintIndex index, const MatcherSettings& settings)
    : index_(std::move(index)), settings_(settings) {
    settings_.candidates = std::clamp(settings_.candidates, 1, 133);
    settings_.lookupRanks = std::clamp(settings_.lookupRanks, 1, std::min(8, settings_.candidates));
    const int32_t m = settings_.candidates;
    rankLog_.resize(static_cast<size_t>(m));
    for (int32_t k = 0; k < m; ++k) {
        double share = k < MatcherSettings::kRankTable
                           ? settings_.rankShare[k]
                           : settings_.tailShare / (m - MatcherSettings::kRankTable);
        rankLog_[static_cast<size_t>(k)] = std::log(share);
    }
    // At a random frame the code is none of the m candidates with about
    // this probability; a miss is scored against it.
    const double nullMiss = std::max(0.05, 1.0 - m / 256.0);
    missLog_ = std::log(settings_.missShare / nullMiss);
    for (int32_t code = 0; code < 256; ++code) {
        shareLog_[0][code] = std::log(index_.CodeShare(0, static_cast<uint8_t>(code)));
        shareLog_[1][code] = std::log(index_.CodeShare(1, static_cast<uint8_t>(code)));
    }
    // A chance hit is likelier among more frames: the bar rises with the
    // logarithm of the catalogue's size.
    const double frames = static_cast<double>(std::max<size_t>(index_.songFrames(), 1));
    threshold_ = settings_.threshold + settings_.thresholdPerLogFrame * std::log(frames);
}

std::unique_ptr<IdentifySession> Matcher::NewSession() const {
    return std::make_unique<MatchSession>(*this);
}

double Matcher::RowScore(int32_t rank, int32_t row, uint8_t code) const {
    if (rank >= settings_.candidates)
        return missLog_;
    double score = rankLog_[static_cast<size_t>(rank)] - shareLog_[row == 0 ? 0 : 1][code];
    return std::min(score, settings_.rowCap);
}

}  // namespace quil
