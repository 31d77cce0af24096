#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <strings.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/SettingsFiles.h"

namespace quil {
namespace {

int ConfigFolder(std::string& folder) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        folder = xdg;
        return 0;
    }
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd* entry = getpwuid(getuid());
        home = entry ? entry->pw_dir : nullptr;
    }
    if (!home || home[0] != '/')
        return ENOENT;
    folder = std::string(home) + "/.config";
    return 0;
}

// Creates every missing folder of `folder` (an absolute path); a part that
// exists must be a folder (or a link to one).
int MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string prefix = folder.substr(0, slash);
        if (mkdir(prefix.c_str(), 0700) != 0) {
            if (errno != EEXIST)
                return errno;
            struct stat info {};
            if (stat(prefix.c_str(), &info) != 0)
                return errno;
            if (!S_ISDIR(info.st_mode))
                return ENOTDIR;
        }
        if (slash == std::string::npos)
            return 0;
    }
}

// What comes between a file's name and the six characters mkostemp adds.
const char kTemporaryInfix[] = ".new-";

bool IsTemporaryOf(const std::string& entry, const std::string& name) {
    const std::string stem = name + kTemporaryInfix;
    if (entry.size() != stem.size() + 6 || entry.compare(0, stem.size(), stem) != 0)
        return false;
    for (size_t i = stem.size(); i < entry.size(); ++i) {
        const char c = entry[i];
        const bool alnum =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum)
            return false;
    }
    return true;
}

// Removes the regular files that a replacement of `name` in `folder` left
// behind when it was cut off. Only under the update lock: no other writer
// can have one in progress then.
void RemoveLeftovers(const std::string& folder, const std::string& name) {
    DIR* listing = opendir(folder.c_str());
    if (!listing)
        return;
    while (const dirent* entry = readdir(listing)) {
        const std::string entryName = entry->d_name;
        if (!IsTemporaryOf(entryName, name))
            continue;
        const std::string path = folder + "/" + entryName;
        struct stat info {};
        if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            unlink(path.c_str());
    }
    closedir(listing);
}

// An exclusive lock on a lock file beside the settings file, released on
// destruction. Locks taken by two opens conflict within one process too.
struct UpdateLock {
    int fd = -1;
    int error = 0;

    explicit UpdateLock(const std::string& path) {
        fd = open(path.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600);
        if (fd < 0) {
            error = errno;
            return;
        }
        struct stat info {};
        if (fstat(fd, &info) != 0) {
            error = errno;
            return;
        }
        if (!S_ISREG(info.st_mode)) {
            error = EINVAL;
            return;
        }
        // Another copy holds the lock only for one read and write; one that
        // holds it longer is stuck, and must not hold this one too.
        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::milliseconds(SettingsFiles::kLockWaitMs);
        while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) {
                error = errno;
                return;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                error = ETIMEDOUT;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~UpdateLock() {
        if (fd >= 0)
            close(fd);  // also releases the lock
    }
    UpdateLock(const UpdateLock&) = delete;
    UpdateLock& operator=(const UpdateLock&) = delete;
};

int WriteAll(int fd, const std::string& contents) {
    size_t done = 0;
    while (done < contents.size()) {
        const ssize_t n = write(fd, contents.data() + done, contents.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        done += static_cast<size_t>(n);
    }
    return 0;
}

}  // namespace

int SettingsFiles::PathForKey(const std::string& key, std::string& path) {
    std::vector<std::string> parts;
    bool first = true;
    size_t start = 0;
    while (start <= key.size()) {
        size_t end = key.find('\\', start);
        if (end == std::string::npos)
            end = key.size();
        std::string part = key.substr(start, end - start);
        start = end + 1;
        if (part.empty())
            continue;
        // Every key lives under SOFTWARE; the folder would only repeat it.
        const bool prefix = first && strcasecmp(part.c_str(), "SOFTWARE") == 0;
        first = false;
        if (prefix)
            continue;
        if (part == "." || part == ".." || part.find('\0') != std::string::npos)
            return EINVAL;
        for (char& c : part) {
            if (c == '/')
                c = '_';
        }
        parts.push_back(std::move(part));
    }
    if (parts.empty())
        return EINVAL;
    std::string folder;
    if (const int error = ConfigFolder(folder))
        return error;
    path = folder;
    for (const std::string& part : parts)
        path += "/" + part;
    path += ".reg";
    return 0;
}

int SettingsFiles::ReadFile(const std::string& path, size_t maxSize, std::vector<uint8_t>& bytes) {
    bytes.clear();
    // Without O_NONBLOCK, opening a FIFO would wait for a writer for ever;
    // only a regular file is read.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return errno;
    int error = 0;
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        error = errno;
    } else if (!S_ISREG(info.st_mode)) {
        error = EINVAL;
    } else {
        // Read one byte beyond the limit so that a file that grew since
        // fstat is still caught.
        bytes.resize(maxSize + 1);
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = read(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                error = errno;
                break;
            }
            if (n == 0)
                break;
            done += static_cast<size_t>(n);
        }
        bytes.resize(done);
        if (!error && done > maxSize)
            error = EFBIG;
    }
    close(fd);
    if (error)
        bytes.clear();
    return error;
}

int SettingsFiles::ReplaceFile(const std::string& path, const std::string& contents,
                               const std::function<int()>& beforeRename) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == path.size())
        return EINVAL;
    const std::string folder = path.substr(0, slash);
    if (const int error = MakeFolders(folder))
        return error;

    std::string temporary = path + kTemporaryInfix + "XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = WriteAll(fd, contents);
    if (!error && fsync(fd) != 0)
        error = errno;
    if (close(fd) != 0 && !error)
        error = errno;
    if (!error && beforeRename)
        error = beforeRename();
    if (!error && rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error) {
        unlink(temporary.c_str());
        return error;
    }
    // The rename is durable only once the folder's entry is on disk; a
    // failure here leaves the new file in place, so it is not reported.
    const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        fsync(folderFd);
        close(folderFd);
    }
    return 0;
}

int SettingsFiles::UpdateFile(const std::string& path, size_t maxSize, const Change& change,
                              const std::function<int()>& beforeRename) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == path.size())
        return EINVAL;
    const std::string folder = path.substr(0, slash);
    if (const int error = MakeFolders(folder))
        return error;
    const UpdateLock lock(path + ".lock");
    if (lock.error)
        return lock.error;
    std::vector<uint8_t> bytes;
    const int readError = ReadFile(path, maxSize, bytes);
    std::string contents;
    if (const int error = change(readError, bytes, contents))
        return error;
    RemoveLeftovers(folder, path.substr(slash + 1));
    return ReplaceFile(path, contents, beforeRename);
}

}  // namespace quil
