#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "server/Matcher.h"
#include "server/OffsetMap.h"

namespace quil {

// One hypothesis of a session: the song plays with its frame `offset`
// (global frame minus client frame), and its score so far.
struct MatchCandidate {
    int32_t song = -1;  // index in the catalogue's index
    int64_t offset = 0;
    double score = 0;
    double patientScore = 0;  // see MatcherSettings::patientBiasShare
};

// The live decision of one session. Each segment
// 1. looks up the catalogue frames that share a pair of its top-ranked row
//    codes, and adds its own score to the offsets they imply (with the
//    tolerance's neighbours);
// 2. an offset whose partial score passes the promotion mark becomes a
//    contender and is scored over every segment so far, and from then on
//    over each new one: evidence from segments whose pairs missed it counts
//    too;
// 3. the best contender's song is named when its score passes the
//    matcher's threshold and leads the best contender of every other song
//    by the margin, or when its patient score does so by the patient rule,
//    or when one hypothesis leads both rankings by a share of both rules'
//    bars; a song whose codes along its own alignment equal the leader's (a
//    duplicate recording) does not count as another song.
class MatchSession : public IdentifySession {
  public:
    explicit MatchSession(const Matcher& matcher);

    std::optional<SongAnswer> Add(const QuerySegment& segment) override;
    int32_t segments() const override { return static_cast<int32_t>(segments_.size()); }

    // The best contender of each song by score (or by patient score),
    // best first.
    std::vector<MatchCandidate> Ranking(bool patient = false) const;
    bool decided() const { return decided_; }

  private:
    static constexpr int32_t kScoreBins = 64;
    static constexpr double kScoreStep = 0.5;

    struct SegmentRanks {
        int64_t frame;  // client hop, unwrapped
        // Each row's score for each code: the evidence of the code's rank
        // among the client's candidates against its share in the catalogue.
        double rowScore[4][256];
        uint8_t top[4][8];  // the lookup candidates per row
        // How many catalogue frames reach each raw score: lookAlikes[b]
        // counts those scoring at least b x kScoreStep. A segment that many
        // catalogue frames match as well as this one says little.
        uint32_t lookAlikes[kScoreBins];
    };
    struct Cell {
        double partial = 0;
        int32_t lastSegment = -1;
        bool promoted = false;
    };
    struct Contender {
        MatchCandidate candidate;
        // Client hops at which the rows counted by the patient score start,
        // the recent ones (see NewSoundShare).
        std::vector<int64_t> counted;
    };

    int64_t Unwrap(uint16_t frame);
    // The segment's best raw score within the tolerance around `offset`.
    double RawScore(const SegmentRanks& segment, int64_t offset) const;
    // What a raw score adds to a hypothesis: the smaller of the raw score
    // and the surprise of it among the catalogue's frames (ln of frames
    // over look-alikes), less the bias, capped.
    double Evidence(const SegmentRanks& segment, double raw) const;
    // The smaller of the raw score and its surprise among the catalogue's
    // frames (ln of frames over look-alikes).
    double Surprising(const SegmentRanks& segment, double raw) const;
    // What the segment scores beside the alignment `offset`, where only
    // stationary sound agrees: the median of Surprising over a few shifts.
    double Background(const SegmentRanks& segment, int64_t offset) const;
    // Adds the segment's evidence at the contender's offset to both its
    // scores.
    void AddEvidence(const SegmentRanks& segment, Contender& contender) const;
    // The weight of the segment's patient evidence: the mean over its rows of
    // 1 for a row whose sound the contender has not counted yet, else
    // patientRepeatShare. Records the new rows in `counted`.
    double NewSoundShare(const SegmentRanks& segment, std::vector<int64_t>& counted) const;
    double SegmentScore(const SegmentRanks& segment, int64_t globalFrame) const;
    void Promote(int64_t offset);
    bool IsDuplicate(const MatchCandidate& leader, const MatchCandidate& other) const;
    // The ranking's leader when its score (or patient score) reaches
    // `threshold` and leads every other song that is not a duplicate of it
    // by marginBase + marginShare x that song's score; else null.
    const MatchCandidate* Leader(const std::vector<MatchCandidate>& ranking, bool patient,
                                 double threshold, double marginBase, double marginShare) const;
    std::optional<SongAnswer> Decide();

    const Matcher& matcher_;
    const FingerprintIndex& index_;
    double logFrames_ = 0;
    double bias_ = 0;
    double patientBias_ = 0;
    std::vector<std::unique_ptr<SegmentRanks>> segments_;
    OffsetMap<Cell> cells_;
    std::vector<Contender> contenders_;
    bool haveFrame_ = false;
    int64_t lastFrame_ = 0;
    bool decided_ = false;
};

}  // namespace quil
