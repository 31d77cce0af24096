#pragma once

#include <memory>

#include "server/FingerprintIndex.h"
#include "server/MatcherSettings.h"
#include "server/SongIdentifier.h"

namespace quil {

// Names songs from the segments a client sends. Owns the catalogue's index
// and the tables derived from the settings; read-only after construction,
// so sessions on any number of threads may share it.
class Matcher : public SongIdentifier {
  public:
    Matcher(FingerprintIndex index, const MatcherSettings& settings);

    int32_t candidates() const override { return settings_.candidates; }
    std::unique_ptr<IdentifySession> NewSession() const override;

    const FingerprintIndex& index() const { return index_; }
    const MatcherSettings& settings() const { return settings_; }

    // Score of a row whose catalogue code sits at `rank` among the client's
    // candidates (rank >= m: not among them), for a code of catalogue
    // share `share`.
    double RowScore(int32_t rank, int32_t row, uint8_t code) const;
    // The score a song must reach before it can be named.
    double Threshold() const { return threshold_; }

  private:
    FingerprintIndex index_;
    MatcherSettings settings_;
    // ln of the true-match share of each rank, and of a miss.
    std::vector<double> rankLog_;
    double missLog_ = 0;
    double threshold_ = 0;
    // ln of every code's catalogue share, rows 0 and 1 to 3.
    double shareLog_[2][256] = {};
};

}  // namespace quil
