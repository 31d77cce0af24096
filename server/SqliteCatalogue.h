#pragma once

#include <string>

#include "server/CatalogueStore.h"

struct sqlite3;

namespace quil {

// The catalogue as one SQLite file in write-ahead-log mode. Each recording
// is one transaction, so an indexing run that is killed loses at most the
// recording in progress. Tables: `meta` (key, value: the format and the
// codebook checksum) and `songs` (title, artist, duration, content hash,
// path, hop count and the dense codes as one blob: codebook 0's codes by
// hop, then codebook 1's). One connection, used by one thread at a time.
class SqliteCatalogue : public CatalogueStore {
  public:
    static constexpr int kOpenFailed = -1;   // missing, unreadable or not a catalogue
    static constexpr int kQueryFailed = -2;  // a statement failed (disk full, locked, damaged)
    static constexpr int kDamaged = -3;      // a stored song's codes do not fit its hop count

    SqliteCatalogue() = default;
    ~SqliteCatalogue() override;
    SqliteCatalogue(const SqliteCatalogue&) = delete;
    SqliteCatalogue& operator=(const SqliteCatalogue&) = delete;

    // Opens the catalogue at `path`; with `create` a missing file is made
    // with empty tables, without it a missing file is an error.
    int Open(const std::string& path, bool create);

    std::string CodebookChecksum() override;
    int SetCodebookChecksum(const std::string& checksum) override;
    bool HasContent(const std::string& contentHash) override;
    int64_t AddSong(const SongInfo& song, const RecordingCodes& codes) override;
    int ForEachSong(const SongVisitor& visit) override;
    std::vector<SongInfo> Songs() override;
    const std::string& ErrorText() const override { return error_; }

  private:
    int Fail(int code, const std::string& what);
    int Execute(const char* sql);

    sqlite3* db_ = nullptr;
    std::string error_;
};

}  // namespace quil
