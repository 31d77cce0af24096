#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "server/RecordingCodes.h"
#include "server/SongInfo.h"

namespace quil {

// Where the catalogue's recordings are kept: what is known of each song and
// its dense codes, and the checksum of the codebooks they were made with.
// The matcher's index is built from it at start; a catalogue beyond one
// machine's memory will put another store behind this interface. Results
// are 0 or a negative code, with a sentence for people in ErrorText().
class CatalogueStore {
  public:
    // Visits one song; answer false to stop the walk.
    using SongVisitor = std::function<bool(const SongInfo& song, const RecordingCodes& codes)>;

    virtual ~CatalogueStore() = default;

    // The codebook checksum the stored codes were made with; empty while
    // the catalogue holds none.
    virtual std::string CodebookChecksum() = 0;
    virtual int SetCodebookChecksum(const std::string& checksum) = 0;

    // Whether a recording with this content hash is stored.
    virtual bool HasContent(const std::string& contentHash) = 0;
    // Stores one recording as a whole or not at all; `song.id` is assigned
    // by the store and returned (> 0), or a negative code.
    virtual int64_t AddSong(const SongInfo& song, const RecordingCodes& codes) = 0;
    // Every song in order of ids, with its codes.
    virtual int ForEachSong(const SongVisitor& visit) = 0;
    // Every song without its codes, in order of ids.
    virtual std::vector<SongInfo> Songs() = 0;

    virtual const std::string& ErrorText() const = 0;
};

}  // namespace quil
