#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

// Programs that the tests of whole programs start, watch and end.
namespace quil::test {

// Where `program` is found along PATH; empty when it is not.
inline std::string FindProgram(const std::string& program) {
    const char* path = getenv("PATH");
    std::istringstream folders(path ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (access((folder + "/" + program).c_str(), X_OK) == 0)
            return folder + "/" + program;
    }
    return {};
}

// One program run as a child with this process's environment plus `extra`
// ("NAME=value" entries replace variables of the same name). Its standard
// output and error are appended to the file `log`, or without one read
// through pipes into `out` and `err`. `keepFd`, when not -1, is handed to
// the child as file descriptor 3. Every wait is bounded; the destructor
// ends what still runs: SIGTERM, then SIGKILL after two seconds.
class ChildProcess {
  public:
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& extra = {}, const std::string& log = {},
                 int keepFd = -1) {
        std::vector<std::string> environment;
        for (char** entry = environ; *entry; ++entry) {
            const std::string variable = *entry;
            const std::string name = variable.substr(0, variable.find('=') + 1);
            bool replaced = false;
            for (const std::string& e : extra)
                replaced = replaced || e.rfind(name, 0) == 0;
            if (!replaced)
                environment.push_back(variable);
        }
        environment.insert(environment.end(), extra.begin(), extra.end());
        std::vector<std::string> words{program};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> envp, argv;
        for (std::string& variable : environment)
            envp.push_back(variable.data());
        for (std::string& word : words)
            argv.push_back(word.data());
        envp.push_back(nullptr);
        argv.push_back(nullptr);

        int outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!log.empty()) {
            posix_spawn_file_actions_addopen(&actions, 1, log.c_str(),
                                             O_WRONLY | O_CREAT | O_APPEND, 0644);
            posix_spawn_file_actions_adddup2(&actions, 1, 2);
        } else if (pipe2(outPipe, O_CLOEXEC) == 0 && pipe2(errPipe, O_CLOEXEC) == 0) {
            posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
            posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
        }
        if (keepFd >= 0)
            posix_spawn_file_actions_adddup2(&actions, keepFd, 3);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        for (int* ends : {outPipe, errPipe}) {
            if (ends[1] >= 0)
                close(ends[1]);
            if (ends[0] >= 0)
                fcntl(ends[0], F_SETFL, O_NONBLOCK);
        }
        out_ = outPipe[0];
        err_ = errPipe[0];
    }
    ~ChildProcess() {
        Stop();
        close(out_);
        close(err_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }

    bool Running() {
        int status = 0;
        if (pid_ > 0 && status_ < 0 && waitpid(pid_, &status, WNOHANG) == pid_)
            status_ = status;
        return pid_ > 0 && status_ < 0;
    }

    void Signal(int signal) {
        if (Running())
            kill(pid_, signal);
    }

    // Waits (at most `seconds`) until standard output or error holds
    // `text`; false on time-out or when the process ended first.
    bool WaitFor(const std::string& text, bool onError = false, double seconds = 30) {
        const auto deadline = Deadline(seconds);
        while (Running() && std::chrono::steady_clock::now() < deadline &&
               (onError ? err : out).find(text) == std::string::npos) {
            Drain();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        Drain();
        return (onError ? err : out).find(text) != std::string::npos;
    }

    // Waits for the end (at most `seconds`, then kills): the exit status, or
    // -1 when it had to be killed or ended by a signal.
    int Wait(double seconds = 60) {
        const auto deadline = Deadline(seconds);
        while (Running() && std::chrono::steady_clock::now() < deadline) {
            Drain();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (Running()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            status_ = 0x7f00;  // not an exit
        }
        Drain();
        return status_ >= 0 && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }

    // SIGTERM, and SIGKILL two seconds later: the exit status as Wait's.
    int Stop() {
        Signal(SIGTERM);
        return Wait(2);
    }

    std::string out;
    std::string err;

  private:
    static std::chrono::steady_clock::time_point Deadline(double seconds) {
        return std::chrono::steady_clock::now() +
               std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000));
    }
    void Drain() {
        char buffer[4096];
        ssize_t n;
        while (out_ >= 0 && (n = read(out_, buffer, sizeof buffer)) > 0)
            out.append(buffer, static_cast<size_t>(n));
        while (err_ >= 0 && (n = read(err_, buffer, sizeof buffer)) > 0)
            err.append(buffer, static_cast<size_t>(n));
    }

    pid_t pid_ = -1;
    int status_ = -1;  // waitpid's status once ended
    int out_ = -1;
    int err_ = -1;
};

// Runs `program` to its end (at most a minute); the exit status (-1 for none).
inline int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      std::string* out = nullptr, std::string* err = nullptr) {
    ChildProcess process(program, arguments);
    const int status = process.Wait();
    if (out)
        *out = process.out;
    if (err)
        *err = process.err;
    return status;
}

}  // namespace quil::test
