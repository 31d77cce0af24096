#include "server/FingerprintIndex.h"

#include <algorithm>

namespace quil {

namespace {

uint32_t KeyOf(int32_t pair, uint8_t first, uint8_t second) {
    return static_cast<uint32_t>(pair) << 16 | uint32_t{first} << 8 | second;
}

}  // namespace

void FingerprintIndex::AddSong(const SongInfo& song, const RecordingCodes& codes) {
    if (noisyTracks_ < 0)
        noisyTracks_ = static_cast<int32_t>(codes.noisy.size());
    const size_t tracks = static_cast<size_t>(noisyTracks_);
    if (!codes_.empty()) {
        codes_.resize(codes_.size() + kGap);
        noisyCodes_.resize(codes_.size() * tracks);
    }
    songs_.push_back(song);
    bases_.push_back(static_cast<uint32_t>(codes_.size()));
    const int32_t segments = codes.segments();
    for (int32_t f = 0; f < segments; ++f) {
        codes_.push_back(codes.At(f));
        for (size_t t = 0; t < tracks; ++t)
            noisyCodes_.push_back(t < codes.noisy.size() ? codes.NoisyAt(f, t) : codes.At(f));
    }
    ends_.push_back(static_cast<uint32_t>(codes_.size()));
    songFrames_ += static_cast<size_t>(segments);
}

void FingerprintIndex::Finish() {
    noisyTracks_ = std::max(noisyTracks_, 0);
    valid_.assign(codes_.size(), 0);
    for (size_t i = 0; i < songs_.size(); ++i)
        std::fill(valid_.begin() + bases_[i], valid_.begin() + ends_[i], 1);

    // Postings in two passes: count per key, then place, so that each key's
    // frames are contiguous and ascending.
    keyStart_.assign(kKeys + 1, 0);
    uint64_t counts[2][256] = {};
    for (size_t frame = 0; frame < codes_.size(); ++frame) {
        if (!valid_[frame])
            continue;
        const SegmentCodes& c = codes_[frame];
        for (int32_t pair = 0; pair < kPairs; ++pair)
            ++keyStart_[KeyOf(pair, c.rows[kPairRows[pair][0]], c.rows[kPairRows[pair][1]]) + 1];
        ++counts[0][c.rows[0]];
        for (int32_t row = 1; row < 4; ++row)
            ++counts[1][c.rows[row]];
    }
    for (uint32_t key = 0; key < kKeys; ++key)
        keyStart_[key + 1] += keyStart_[key];
    postings_.assign(keyStart_[kKeys], 0);
    std::vector<uint32_t> next(keyStart_.begin(), keyStart_.end() - 1);
    for (size_t frame = 0; frame < codes_.size(); ++frame) {
        if (!valid_[frame])
            continue;
        const SegmentCodes& c = codes_[frame];
        for (int32_t pair = 0; pair < kPairs; ++pair) {
            uint32_t key = KeyOf(pair, c.rows[kPairRows[pair][0]], c.rows[kPairRows[pair][1]]);
            postings_[next[key]++] = static_cast<uint32_t>(frame);
        }
    }

    const double frames = static_cast<double>(std::max<size_t>(songFrames_, 1));
    for (int32_t code = 0; code < 256; ++code) {
        share_[0][code] = (static_cast<double>(counts[0][code]) + 0.5) / frames;
        share_[1][code] = (static_cast<double>(counts[1][code]) / 3 + 0.5) / frames;
    }
}

int32_t FingerprintIndex::SongAt(int64_t frame) const {
    if (frame < 0 || frame >= static_cast<int64_t>(codes_.size()) || !valid_[frame])
        return -1;
    auto after = std::upper_bound(bases_.begin(), bases_.end(), static_cast<uint32_t>(frame));
    return static_cast<int32_t>(after - bases_.begin()) - 1;
}

std::span<const uint32_t> FingerprintIndex::Postings(int32_t pair, uint8_t first,
                                                     uint8_t second) const {
    if (keyStart_.empty())
        return {};
    uint32_t key = KeyOf(pair, first, second);
    return {postings_.data() + keyStart_[key], keyStart_[key + 1] - keyStart_[key]};
}

size_t FingerprintIndex::MemoryBytes() const {
    size_t bytes = (codes_.capacity() + noisyCodes_.capacity()) * sizeof(SegmentCodes) +
                   valid_.capacity() + keyStart_.capacity() * sizeof(uint32_t) +
                   postings_.capacity() * sizeof(uint32_t) +
                   (bases_.capacity() + ends_.capacity()) * sizeof(uint32_t);
    for (const SongInfo& song : songs_)
        bytes += sizeof(SongInfo) + song.title.capacity() + song.artist.capacity() +
                 song.contentHash.capacity() + song.path.capacity();
    return bytes;
}

}  // namespace quil
