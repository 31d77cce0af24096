#include "fingerprint/Fingerprint.h"

#include <cstddef>
#include <memory>

#include "fingerprint/AnalysisConstants.h"
#include "fingerprint/Quantiser.h"
#include "fingerprint/SegmentAnalysis.h"

namespace quil {

namespace {

// The send side of one analysis: the result buffers, reused by every segment.
struct Sender {
    int32_t m;
    std::unique_ptr<uint8_t[]> codes;
    std::unique_ptr<double[]> distances;
    FingerprintSend send;
    void* sendContext;
};

int QuantiseAndSend(void* context, const Segment& segment) {
    Sender& sender = *static_cast<Sender*>(context);
    QuantiseSegment(segment.rows, sender.m, sender.codes.get(), sender.distances.get());
    return sender.send(sender.sendContext, sender.m, sender.codes.get(), sender.distances.get(),
                       segment.startFrame);
}

}  // namespace

int ComputeFingerprint(SampleSource& source, void* sendContext, FingerprintSend send,
                       const FingerprintOptions* options) {
    int32_t m = options ? options->candidates : 0;
    if (m == 0)
        m = 1;
    // Candidates beyond 255 or below 0 are a caller's fault: refused like a
    // wrong rate, before anything is allocated or read.
    if (m < 1 || m > kMaxCandidates || !send || source.sampleRate != kAnalysisRate)
        return -1;
    size_t entries = static_cast<size_t>(kSegmentRows) * static_cast<size_t>(m);
    Sender sender{m, std::make_unique<uint8_t[]>(entries), std::make_unique<double[]>(entries),
                  send, sendContext};
    return AnalyseSegments(source, &sender, QuantiseAndSend, options);
}

}  // namespace quil
