#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "server/CatalogueStore.h"

namespace quil {

// Adds recordings to a catalogue: each file is hashed (a file already
// stored is skipped), decoded, analysed into its dense codes and stored in
// one transaction. Several files are analysed at once, one per thread; the
// store is used under one lock. A damaged or unreadable file is reported
// and skipped; the others go on.
class Indexer {
  public:
    enum class Outcome { kAdded, kSkipped, kFailed };
    // One line per file: its path, what happened, and a sentence (the song
    // as stored, or why it was skipped or failed). Called under a lock,
    // from any of the worker threads.
    using Report =
        std::function<void(const std::string& path, Outcome outcome, const std::string& text)>;

    struct Totals {
        int32_t added = 0;
        int32_t skipped = 0;
        int32_t failed = 0;
        double seconds = 0;  // of sound added
    };

    Indexer(CatalogueStore& store, int32_t threads);

    // The files to index: every path that is a file, and every sound file
    // (by extension) found under each path that is a folder, in name order.
    static std::vector<std::string> ExpandPaths(const std::vector<std::string>& paths,
                                                std::vector<std::string>& missing);

    // Indexes `files`; returns the totals once all threads are done.
    Totals Run(const std::vector<std::string>& files, const Report& report);

    // Title and artist for a file: its tags, else the file's name without
    // extension (title) and its folder's name (artist).
    static void NameSong(const std::string& path, const std::string& titleTag,
                         const std::string& artistTag, SongInfo& song);

  private:
    void IndexOne(const std::string& path, const Report& report);

    CatalogueStore& store_;
    int32_t threads_;
    std::mutex mutex_;  // the store, the totals and the report
    Totals totals_;
};

}  // namespace quil
