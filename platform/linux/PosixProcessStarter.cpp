#include "platform/linux/PosixProcessStarter.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

extern char** environ;

namespace quil {

std::string PosixProcessStarter::FindProgram(const std::string& name) {
    if (const char* path = std::getenv("PATH"))
        return FindOnSearchPath(name, path);
    std::string fallback(confstr(_CS_PATH, nullptr, 0), '\0');
    if (!fallback.empty()) {
        confstr(_CS_PATH, fallback.data(), fallback.size());
        fallback.pop_back();  // the terminating zero
    }
    return FindOnSearchPath(name, fallback);
}

std::string PosixProcessStarter::FindOnSearchPath(const std::string& name,
                                                  const std::string& searchPath) {
    if (name.empty() || name.find('/') != std::string::npos)
        return {};
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(searchPath.find(':', start), searchPath.size());
        std::string folder = searchPath.substr(start, end - start);
        if (!folder.empty() && folder.front() == '/') {
            if (folder.back() != '/')
                folder += '/';
            const std::string candidate = folder + name;
            struct stat info {};
            if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
        }
        if (end == searchPath.size())
            return {};
        start = end + 1;
    }
}

int PosixProcessStarter::StartDetached(const std::vector<std::string>& argv) {
    if (argv.empty() || argv.front().empty())
        return EINVAL;
    // Everything the middle process needs is made before the fork: after it,
    // in a process with other threads, only posix_spawnp and _exit run.
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    posix_spawnattr_t attributes;
    if (const int error = posix_spawnattr_init(&attributes))
        return error;
    std::unique_ptr<posix_spawnattr_t, int (*)(posix_spawnattr_t*)> attributesGuard(
        &attributes, posix_spawnattr_destroy);
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);

    posix_spawn_file_actions_t actions;
    if (const int error = posix_spawn_file_actions_init(&actions))
        return error;
    std::unique_ptr<posix_spawn_file_actions_t, int (*)(posix_spawn_file_actions_t*)> actionsGuard(
        &actions, posix_spawn_file_actions_destroy);
    if (const int error = posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0))
        return error;
    // The window system's connection and the sound server's sockets stay ours.
    if (const int error = posix_spawn_file_actions_addclosefrom_np(&actions, 3))
        return error;

    const pid_t middle = fork();
    if (middle < 0)
        return errno;
    if (middle == 0) {
        pid_t program = 0;
        const int error =
            posix_spawnp(&program, args[0], &actions, &attributes, args.data(), environ);
        _exit(error & 0xFF);
    }
    int status = 0;
    pid_t reaped;
    do {
        reaped = waitpid(middle, &status, 0);
    } while (reaped < 0 && errno == EINTR);
    if (reaped < 0) {
        // With SIGCHLD ignored the system reaps the middle process itself;
        // its answer is lost then, and the start is taken as made.
        return errno == ECHILD ? 0 : errno;
    }
    if (!WIFEXITED(status))
        return ECHILD;
    return WEXITSTATUS(status);
}

std::unique_ptr<ProcessStarter> CreatePlatformProcessStarter() {
    return std::make_unique<PosixProcessStarter>();
}

}  // namespace quil
