#include "server/QueryReplay.h"

#include "fingerprint/AnalysisConstants.h"
#include "fingerprint/Fingerprint.h"

namespace quil {

namespace {

constexpr int kAnswered = -10;
constexpr int kTimeLimit = -8;

struct Replay {
    IdentifySession* session;
    const std::function<void(const IdentifySession&, int32_t)>* observe;
    ReplayResult result;
    int64_t hops = 0;
    int64_t hopLimit = 0;
};

double HopsToSeconds(int64_t hops) {
    return static_cast<double>(hops) * kHopSize / kAnalysisRate;
}

int Poll(void* context) {
    auto* replay = static_cast<Replay*>(context);
    if (replay->hops >= replay->hopLimit)
        return kTimeLimit;
    ++replay->hops;
    return 0;
}

int Send(void* context, int32_t m, const uint8_t* codes, const double*, int32_t startFrame) {
    auto* replay = static_cast<Replay*>(context);
    QuerySegment segment;
    segment.startFrame = static_cast<uint16_t>(startFrame & 0xFFFF);
    segment.candidates = m;
    segment.codes = codes;
    std::optional<SongAnswer> answer = replay->session->Add(segment);
    ++replay->result.segments;
    if (*replay->observe)
        (*replay->observe)(*replay->session, startFrame);
    if (!answer)
        return 0;
    replay->result.answer = std::move(answer);
    // The segment is sent in the hop after its last row, having read
    // kSegmentHops + 1 hops from its start.
    replay->result.seconds = HopsToSeconds(static_cast<int64_t>(startFrame) + kSegmentHops + 1);
    return kAnswered;
}

}  // namespace

ReplayResult ReplayQuery(SampleSource& source, const SongIdentifier& identifier,
                         double limitSeconds,
                         const std::function<void(const IdentifySession&, int32_t)>& observe) {
    std::unique_ptr<IdentifySession> session = identifier.NewSession();
    Replay replay{session.get(),
                  &observe,
                  {},
                  0,
                  static_cast<int64_t>(limitSeconds * kAnalysisRate / kHopSize)};
    FingerprintOptions options;
    options.candidates = identifier.candidates();
    options.poll = Poll;
    options.pollContext = &replay;
    ComputeFingerprint(source, &replay, Send, &options);
    if (!replay.result.answer)
        replay.result.seconds = HopsToSeconds(replay.hops);
    return replay.result;
}

}  // namespace quil
