#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quil {

// Where settings keys live on this platform, and the file operations the
// settings store needs. Errors are the platform's error numbers (errno
// values), 0 for success.
class SettingsFiles {
  public:
    // The file of `key`, a backslash-separated key name such as
    // "SOFTWARE\\Harkbox Project\\Harkbox\\Settings": its parts below the
    // leading "SOFTWARE" become folders under the user's configuration
    // folder ($XDG_CONFIG_HOME when it is absolute, else ~/.config), the last
    // part the file name with ".reg" appended. A "/" inside a part becomes
    // "_"; empty parts are skipped; a part "." or ".." or a key without parts
    // is EINVAL; no home folder is ENOENT.
    static int PathForKey(const std::string& key, std::string& path);

    // Reads the whole regular file at `path` into `bytes`. EFBIG when it is
    // longer than `maxSize` bytes (then `bytes` is empty); EINVAL, without
    // waiting, for anything but a regular file (a FIFO, a device).
    static int ReadFile(const std::string& path, size_t maxSize, std::vector<uint8_t>& bytes);

    // Replaces the file at `path` with `contents` so that a reader sees either
    // the old file or the new one, also across a power loss: a temporary file
    // "<file>.new-XXXXXX" in the same folder is written and flushed to disk,
    // renamed over `path`, and the folder is flushed. Missing folders are
    // created (mode 0700); a part of the folder chain that is not a folder is
    // ENOTDIR. `beforeRename`, when given, runs once the temporary file is
    // complete; a non-zero answer abandons the replacement with that code (a
    // seam for tests that fail the write at its last step).
    static int ReplaceFile(const std::string& path, const std::string& contents,
                           const std::function<int()>& beforeRename = {});

    // Makes the new contents of a file from its current bytes: `readError`
    // is what ReadFile answered for it (`bytes` empty unless 0). Answers 0,
    // or an error that abandons the update.
    using Change =
        std::function<int(int readError, const std::vector<uint8_t>& bytes, std::string& contents)>;
    // Read, change and replace as one step against every other update of
    // the same file, also by other running copies of the program: under an
    // exclusive lock on "<path>.lock" (kept in place) the file is read as
    // ReadFile does (at most `maxSize` bytes), `change` makes the new
    // contents, temporary files that a write cut off earlier left behind
    // are removed, and the file is replaced as ReplaceFile does. A lock
    // held elsewhere for longer than kLockWaitMs ends the update with
    // ETIMEDOUT, so that no change is lost without a report.
    static int UpdateFile(const std::string& path, size_t maxSize, const Change& change,
                          const std::function<int()>& beforeRename = {});

    // The longest wait for another writer's lock (milliseconds).
    static constexpr int kLockWaitMs = 2000;
};

}  // namespace quil
