#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <strings.h>
#include <cerrno>
#include <cstdlib>

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

// Creates every missing folder of `folder` (an absolute path).
int MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string prefix = folder.substr(0, slash);
        if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
        if (slash == std::string::npos)
            return 0;
    }
}

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
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
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

    std::string temporary = path + ".XXXXXX";
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

}  // namespace quil
