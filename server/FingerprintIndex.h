#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "server/RecordingCodes.h"
#include "server/SongInfo.h"

namespace quil {

// The catalogue in memory: every song's dense segment codes laid end to end
// in one frame space, and an inverted index from pairs of row codes to the
// frames that carry them.
//
// Frame space: song i owns the global frames [base(i), base(i) + its
// segments), each holding the four codes of the segment starting at that
// hop of the song; songs are separated by kGap frames that belong to no
// song, so a window around a frame never reaches into the next song.
//
// Keys: for each of the six pairs of rows (a, b), a < b, the key
// (pair, code a, code b); 6 x 65 536 keys in all. Each frame is posted
// under its six keys.
//
// Built once (AddSong... then Finish), then read-only and shared by any
// number of threads.
class FingerprintIndex {
  public:
    static constexpr int32_t kPairs = 6;
    static constexpr int32_t kKeys = kPairs * 256 * 256;
    static constexpr uint32_t kGap = 8;
    // The rows of each pair, in key order.
    static constexpr int8_t kPairRows[kPairs][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};

    // Appends a song; its SongInfo is copied. Songs with no whole segment
    // are kept (for the web host's list) but own no frames.
    void AddSong(const SongInfo& song, const RecordingCodes& codes);
    // Builds the postings and the code frequencies; call once after the
    // last AddSong.
    void Finish();

    size_t songCount() const { return songs_.size(); }
    const SongInfo& song(size_t index) const { return songs_[index]; }
    const std::vector<SongInfo>& songs() const { return songs_; }
    // Frames that belong to songs (gaps excluded).
    size_t songFrames() const { return songFrames_; }
    // Size of the frame space, gaps included.
    uint32_t frameSpace() const { return static_cast<uint32_t>(codes_.size()); }

    // The song owning global `frame`, or -1 for a gap or beyond the end.
    int32_t SongAt(int64_t frame) const;
    // First global frame of song `index`.
    uint32_t base(size_t index) const { return bases_[index]; }
    // One past the last frame of song `index`.
    uint32_t end(size_t index) const { return ends_[index]; }
    // Codes of global `frame`; false for a gap or beyond the end.
    bool CodesAt(int64_t frame, SegmentCodes& codes) const {
        if (frame < 0 || frame >= static_cast<int64_t>(codes_.size()) ||
            !valid_[static_cast<size_t>(frame)])
            return false;
        codes = codes_[static_cast<size_t>(frame)];
        return true;
    }

    // Noisy tracks per frame (the same for every song; a song indexed
    // without them repeats its clean codes).
    int32_t noisyTracks() const { return noisyTracks_; }
    // The codes of `frame` on each noisy track, noisyTracks() of them;
    // only for a frame whose CodesAt is true.
    const SegmentCodes* NoisyCodesAt(int64_t frame) const {
        return noisyCodes_.data() + static_cast<size_t>(frame) * static_cast<size_t>(noisyTracks_);
    }

    // The frames posted under (pair, first code, second code), ascending.
    std::span<const uint32_t> Postings(int32_t pair, uint8_t first, uint8_t second) const;

    // Share of song frames whose row `row` holds `code` (rows 1 to 3 share
    // codebook 1 and one table), at least half a count over the frames so
    // that no code is taken as impossible.
    double CodeShare(int32_t row, uint8_t code) const { return share_[row == 0 ? 0 : 1][code]; }

    // Bytes held in memory by the index.
    size_t MemoryBytes() const;

  private:
    std::vector<SongInfo> songs_;
    std::vector<uint32_t> bases_;
    std::vector<uint32_t> ends_;  // one past each song's last frame
    // Four codes per frame; gap frames hold zeros and are not valid.
    std::vector<SegmentCodes> codes_;
    std::vector<uint8_t> valid_;
    std::vector<SegmentCodes> noisyCodes_;  // noisyTracks_ per frame
    int32_t noisyTracks_ = -1;              // set by the first song
    std::vector<uint32_t> keyStart_;        // kKeys + 1 offsets into postings_
    std::vector<uint32_t> postings_;
    double share_[2][256] = {};
    size_t songFrames_ = 0;
};

}  // namespace quil
