#include "server/MatchSession.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "fingerprint/AnalysisConstants.h"
#include "server/FrameSort.h"

namespace quil {

namespace {

constexpr uint8_t kAbsent = 255;
// A pair key this common says little and costs much: its frames are not
// taken as hypotheses, and only a sample of them is scored to count the
// segment's look-alikes.
constexpr size_t kMaxPostings = 4096;
constexpr size_t kLookAlikeSample = 512;
// Rows that must agree along two alignments for two songs to be taken as
// the same music (two releases, a remaster), as a share of the rows
// compared; unrelated songs agree in a few per cent. The songs are compared
// over their own codes, every kDuplicateStep hops up to kDuplicateReach
// hops (20 s) either side of what was heard, not over the segments heard:
// both alignments were chosen for agreeing with those, so unrelated songs
// agree there on half their rows. Rows whose code is more than
// kTellingShare of the catalogue's codes are not compared: the few
// codewords of near-still sound make up to a tenth of them each, and any
// two songs holding a chord agree on them.
constexpr double kDuplicateShare = 0.3;
constexpr int64_t kDuplicateReach = static_cast<int64_t>(20 * kAnalysisRate / kHopSize);
constexpr int64_t kDuplicateStep = 3;
constexpr double kTellingShare = 0.02;
// Shifts, in hops, at which a contender's background is measured: beyond
// the tolerance, within about a row's length or two of the alignment (a row
// averages 8 hops), where true music has moved on and held sound has not;
// not multiples of one another, so that a repeating beat lines up with few.
constexpr int32_t kBackgroundShifts[] = {-29, -17, -9, -4, 4, 9, 17, 29};
// A row counted by a contender's patient score can be heard again only by
// rows that start no earlier than a few hops before it, so it is forgotten
// once the segments have moved this many hops (12 s) past it: room enough
// for segments that arrive out of order.
constexpr int64_t kForgetHops = 4 * kRowSpacing * kSegmentRows;

}  // namespace

MatchSession::MatchSession(const Matcher& matcher)
    : matcher_(matcher),
      index_(matcher.index()),
      logFrames_(std::log(static_cast<double>(std::max<size_t>(index_.songFrames(), 1)))),
      bias_(matcher.settings().segmentBiasShare * logFrames_),
      patientBias_(matcher.settings().patientBiasShare * logFrames_) {}

int64_t MatchSession::Unwrap(uint16_t frame) {
    // Clients send the low 16 bits of their hop counter; segments arrive
    // roughly in order, so the nearest value to the last one is meant.
    if (!haveFrame_) {
        haveFrame_ = true;
        lastFrame_ = frame;
        return lastFrame_;
    }
    int64_t step = static_cast<int64_t>(frame) - (lastFrame_ & 0xFFFF);
    if (step > 32768)
        step -= 65536;
    else if (step < -32768)
        step += 65536;
    lastFrame_ += step;
    return lastFrame_;
}

double MatchSession::SegmentScore(const SegmentRanks& segment, int64_t globalFrame) const {
    SegmentCodes codes;
    if (!index_.CodesAt(globalFrame, codes))
        return -1e9;
    double score = 0;
    for (int32_t row = 0; row < 4; ++row)
        score += segment.rowScore[row][codes.rows[row]];
    // The sound may have reached the client through noise: the best of the
    // clean codes and the noisy tracks' codes at this frame.
    const SegmentCodes* noisy = index_.NoisyCodesAt(globalFrame);
    const int32_t tracks = std::min(index_.noisyTracks(), matcher_.settings().noisyTracks);
    for (int32_t t = 0; t < tracks; ++t) {
        double alternative = 0;
        for (int32_t row = 0; row < 4; ++row)
            alternative += segment.rowScore[row][noisy[t].rows[row]];
        score = std::max(score, alternative);
    }
    return score;
}

double MatchSession::RawScore(const SegmentRanks& segment, int64_t offset) const {
    const int32_t tolerance = matcher_.settings().tolerance;
    double best = -1e9;
    for (int32_t t = -tolerance; t <= tolerance; ++t)
        best = std::max(best, SegmentScore(segment, segment.frame + offset + t));
    return best;
}

double MatchSession::Surprising(const SegmentRanks& segment, double raw) const {
    // The best match of any segment anywhere is about ln(frames) surprising
    // by construction; the biases take that back.
    const int32_t bin = std::clamp(static_cast<int32_t>(raw / kScoreStep), 0, kScoreBins - 1);
    const double surprise = logFrames_ - std::log(std::max<double>(segment.lookAlikes[bin], 1.0));
    return std::min(raw, surprise);
}

double MatchSession::Evidence(const SegmentRanks& segment, double raw) const {
    if (raw <= bias_)
        return 0;
    return std::clamp(Surprising(segment, raw) - bias_, 0.0, matcher_.settings().segmentCap);
}

double MatchSession::Background(const SegmentRanks& segment, int64_t offset) const {
    constexpr size_t kShifts = std::size(kBackgroundShifts);
    double scores[kShifts];
    for (size_t i = 0; i < kShifts; ++i)
        scores[i] = Surprising(segment, RawScore(segment, offset + kBackgroundShifts[i]));
    std::nth_element(scores, scores + kShifts / 2, scores + kShifts);
    const double upper = scores[kShifts / 2];
    const double lower = *std::max_element(scores, scores + kShifts / 2);
    return (lower + upper) / 2;
}

double MatchSession::NewSoundShare(const SegmentRanks& segment,
                                   std::vector<int64_t>& counted) const {
    const MatcherSettings& settings = matcher_.settings();
    std::erase_if(counted, [&](int64_t start) { return start < segment.frame - kForgetHops; });
    double share = 0;
    for (int32_t row = 0; row < kSegmentRows; ++row) {
        const int64_t start = segment.frame + static_cast<int64_t>(kRowSpacing) * row;
        const bool repeated = std::any_of(counted.begin(), counted.end(), [&](int64_t other) {
            return std::abs(other - start) <= settings.patientRepeatReach;
        });
        if (repeated) {
            share += settings.patientRepeatShare;
        } else {
            share += 1;
            counted.push_back(start);
        }
    }
    return share / kSegmentRows;
}

void MatchSession::AddEvidence(const SegmentRanks& segment, Contender& contender) const {
    const MatcherSettings& settings = matcher_.settings();
    MatchCandidate& candidate = contender.candidate;
    const double raw = RawScore(segment, candidate.offset);
    candidate.score += Evidence(segment, raw);
    double bias = patientBias_;
    if (settings.patientBackground > 0)
        bias = std::max(bias, Background(segment, candidate.offset));
    double patient =
        std::clamp(Surprising(segment, raw) - bias, settings.patientFloor, settings.segmentCap);
    if (patient > 0)
        patient *= NewSoundShare(segment, contender.counted);
    candidate.patientScore += patient;
}

void MatchSession::Promote(int64_t offset) {
    const int32_t tolerance = matcher_.settings().tolerance;
    for (int64_t d = -tolerance; d <= tolerance; ++d)
        cells_[offset + d].promoted = true;
    // The song is the one at the alignment of the newest segment.
    const int32_t song = index_.SongAt(segments_.back()->frame + offset);
    if (song < 0)
        return;
    Contender contender{{song, offset, 0, 0}, {}};
    for (const auto& segment : segments_)
        AddEvidence(*segment, contender);
    contenders_.push_back(std::move(contender));
}

std::optional<SongAnswer> MatchSession::Add(const QuerySegment& query) {
    if (decided_ || query.candidates < 1 || !query.codes)
        return std::nullopt;
    const MatcherSettings& settings = matcher_.settings();
    const int32_t m = query.candidates;

    auto segment = std::make_unique<SegmentRanks>();
    segment->frame = Unwrap(query.startFrame);
    const int32_t lookups = std::min(m, settings.lookupRanks);
    for (int32_t row = 0; row < 4; ++row) {
        const uint8_t* candidates = query.codes + static_cast<size_t>(row) * static_cast<size_t>(m);
        uint8_t rank[256];
        std::memset(rank, kAbsent, sizeof(rank));
        for (int32_t j = 0; j < m; ++j) {
            if (rank[candidates[j]] == kAbsent)
                rank[candidates[j]] = static_cast<uint8_t>(std::min(j, settings.candidates));
        }
        for (int32_t code = 0; code < 256; ++code)
            segment->rowScore[row][code] =
                matcher_.RowScore(rank[code], row, static_cast<uint8_t>(code));
        for (int32_t j = 0; j < lookups; ++j)
            segment->top[row][j] = candidates[j];
    }

    SegmentRanks& current = *segment;
    std::memset(current.lookAlikes, 0, sizeof(current.lookAlikes));
    auto countLookAlike = [&](double raw, uint32_t weight) {
        if (raw >= 0)
            current.lookAlikes[std::min(static_cast<int32_t>(raw / kScoreStep), kScoreBins - 1)] +=
                weight;
    };
    std::vector<uint32_t> frames;
    for (int32_t pair = 0; pair < FingerprintIndex::kPairs; ++pair) {
        const int32_t a = FingerprintIndex::kPairRows[pair][0];
        const int32_t b = FingerprintIndex::kPairRows[pair][1];
        for (int32_t i = 0; i < lookups; ++i) {
            for (int32_t j = 0; j < lookups; ++j) {
                auto postings = index_.Postings(pair, current.top[a][i], current.top[b][j]);
                if (postings.size() > kMaxPostings) {
                    const size_t stride = postings.size() / kLookAlikeSample + 1;
                    for (size_t k = 0; k < postings.size(); k += stride)
                        countLookAlike(RawScore(current, postings[k] - current.frame),
                                       static_cast<uint32_t>(stride));
                    continue;
                }
                frames.insert(frames.end(), postings.begin(), postings.end());
            }
        }
    }
    std::vector<uint32_t> scratch;
    SortUniqueFrames(frames, scratch, index_.frameSpace());
    std::vector<int64_t> offsets(frames.size());
    for (size_t i = 0; i < frames.size(); ++i)
        offsets[i] = static_cast<int64_t>(frames[i]) - current.frame;

    std::vector<double> raw(offsets.size());
    for (size_t i = 0; i < offsets.size(); ++i) {
        raw[i] = RawScore(current, offsets[i]);
        countLookAlike(raw[i], 1);
    }
    for (int32_t bin = kScoreBins - 2; bin >= 0; --bin)
        current.lookAlikes[bin] += current.lookAlikes[bin + 1];

    // Existing contenders take this segment first; promotions below score
    // over all segments, this one included.
    for (Contender& contender : contenders_)
        AddEvidence(current, contender);
    segments_.push_back(std::move(segment));
    const int32_t index = static_cast<int32_t>(segments_.size()) - 1;

    for (size_t i = 0; i < offsets.size(); ++i) {
        const int64_t offset = offsets[i];
        const double contribution = Evidence(current, raw[i]);
        if (contribution <= 0)
            continue;
        for (int64_t d = -settings.tolerance; d <= settings.tolerance; ++d) {
            Cell& cell = cells_[offset + d];
            if (cell.lastSegment == index)
                continue;
            cell.lastSegment = index;
            cell.partial += contribution;
            if (!cell.promoted && cell.partial >= settings.promoteScore)
                Promote(offset + d);
        }
    }

    if (static_cast<int32_t>(contenders_.size()) > settings.maxContenders) {
        std::nth_element(contenders_.begin(), contenders_.begin() + settings.maxContenders,
                         contenders_.end(), [](const Contender& x, const Contender& y) {
                             return x.candidate.score > y.candidate.score;
                         });
        contenders_.resize(static_cast<size_t>(settings.maxContenders));
    }
    return Decide();
}

std::vector<MatchCandidate> MatchSession::Ranking(bool patient) const {
    auto scoreOf = [patient](const MatchCandidate& c) {
        return patient ? c.patientScore : c.score;
    };
    std::vector<MatchCandidate> best;
    for (const Contender& entry : contenders_) {
        const MatchCandidate& contender = entry.candidate;
        auto same = std::find_if(best.begin(), best.end(),
                                 [&](const MatchCandidate& c) { return c.song == contender.song; });
        if (same == best.end())
            best.push_back(contender);
        else if (scoreOf(contender) > scoreOf(*same))
            *same = contender;
    }
    std::sort(best.begin(), best.end(), [&](const MatchCandidate& x, const MatchCandidate& y) {
        return scoreOf(x) > scoreOf(y);
    });
    return best;
}

bool MatchSession::IsDuplicate(const MatchCandidate& leader, const MatchCandidate& other) const {
    const int32_t tolerance = matcher_.settings().tolerance;
    const auto mySong = static_cast<size_t>(leader.song);
    const auto theirSong = static_cast<size_t>(other.song);
    const int64_t first = std::max<int64_t>(
        segments_.front()->frame + leader.offset - kDuplicateReach, index_.base(mySong));
    const int64_t end = std::min<int64_t>(
        segments_.back()->frame + leader.offset + kDuplicateReach + 1, index_.end(mySong));
    const int64_t shift = other.offset - leader.offset;
    int32_t compared = 0;
    int32_t equal = 0;
    for (int64_t frame = first; frame < end; frame += kDuplicateStep) {
        SegmentCodes mine;
        if (!index_.CodesAt(frame, mine))
            continue;
        bool telling[4];
        int32_t tellingRows = 0;
        for (int32_t row = 0; row < 4; ++row) {
            telling[row] = index_.CodeShare(row, mine.rows[row]) <= kTellingShare;
            tellingRows += telling[row];
        }
        int32_t bestEqual = -1;
        for (int32_t t = -tolerance; t <= tolerance; ++t) {
            SegmentCodes theirs;
            const int64_t theirFrame = frame + shift + t;
            if (theirFrame < index_.base(theirSong) || theirFrame >= index_.end(theirSong) ||
                !index_.CodesAt(theirFrame, theirs))
                continue;
            int32_t same = 0;
            for (int32_t row = 0; row < 4; ++row)
                same += telling[row] && mine.rows[row] == theirs.rows[row];
            bestEqual = std::max(bestEqual, same);
        }
        if (bestEqual < 0)
            continue;  // beyond the other song's ends
        compared += tellingRows;
        equal += bestEqual;
    }
    return compared >= 8 && equal >= kDuplicateShare * compared;
}

const MatchCandidate* MatchSession::Leader(const std::vector<MatchCandidate>& ranking, bool patient,
                                           double threshold, double marginBase,
                                           double marginShare) const {
    auto scoreOf = [patient](const MatchCandidate& c) {
        return patient ? c.patientScore : c.score;
    };
    if (ranking.empty() || scoreOf(ranking[0]) < threshold)
        return nullptr;
    const MatchCandidate& leader = ranking[0];
    for (size_t i = 1; i < ranking.size(); ++i) {
        // A patient score sinks below zero; a sunk runner-up asks no more
        // than the base margin.
        const double other = std::max(scoreOf(ranking[i]), 0.0);
        if (scoreOf(leader) - scoreOf(ranking[i]) >= marginBase + marginShare * other)
            break;
        if (!IsDuplicate(leader, ranking[i]))
            return nullptr;
    }
    return &leader;
}

std::optional<SongAnswer> MatchSession::Decide() {
    const MatcherSettings& settings = matcher_.settings();
    const double quickMargin = settings.marginPerLogFrame * logFrames_;
    const double patientThreshold = settings.patientThresholdPerLogFrame * logFrames_;
    const double patientMargin = settings.patientMarginPerLogFrame * logFrames_;
    const std::vector<MatchCandidate> ranking = Ranking();
    const MatchCandidate* chosen =
        Leader(ranking, false, matcher_.Threshold(), quickMargin, settings.marginShare);
    std::vector<MatchCandidate> patientRanking;
    if (!chosen) {
        patientRanking = Ranking(true);
        chosen = Leader(patientRanking, true, patientThreshold, patientMargin,
                        settings.patientMarginShare);
    }
    if (!chosen && settings.jointShare < 1) {
        const double share = settings.jointShare;
        const MatchCandidate* quick = Leader(ranking, false, share * matcher_.Threshold(),
                                             share * quickMargin, share * settings.marginShare);
        // Only then the patient ranking, whose look at near duplicates costs.
        const MatchCandidate* patient =
            quick ? Leader(patientRanking, true, share * patientThreshold, share * patientMargin,
                           share * settings.patientMarginShare)
                  : nullptr;
        if (patient && quick->song == patient->song &&
            std::abs(quick->offset - patient->offset) <= settings.tolerance)
            chosen = quick;
    }
    if (!chosen)
        return std::nullopt;
    const MatchCandidate& leader = *chosen;
    decided_ = true;
    SongAnswer answer;
    answer.song = index_.song(static_cast<size_t>(leader.song));
    const int64_t songFrame = leader.offset - index_.base(static_cast<size_t>(leader.song));
    answer.offsetSeconds = static_cast<double>(songFrame) * kHopSize / kAnalysisRate;
    return answer;
}

}  // namespace quil
