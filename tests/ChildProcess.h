#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

// Programs and shell commands that the tests of whole programs start, watch
// and end, and the files they leave.
namespace quil::test {

// One program run as a child with this process's environment plus `extra`
// ("NAME=value" entries replace variables of the same name). Its standard
// output and error are appended to the file `log`, or without one read
// through pipes into `out` and `err`. Every wait is bounded; the destructor
// ends what still runs: SIGTERM, then SIGKILL after two seconds.
class ChildProcess {
  public:
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& extra = {}, const std::string& log = {}) {
        // env(1) sets `extra` and runs the program in its place.
        std::vector<std::string> words{"/usr/bin/env"};
        words.insert(words.end(), extra.begin(), extra.end());
        words.push_back(program);
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);

        int pipes[2][2] = {{-1, -1}, {-1, -1}};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!log.empty()) {
            posix_spawn_file_actions_addopen(&actions, 1, log.c_str(),
                                             O_WRONLY | O_CREAT | O_APPEND, 0644);
            posix_spawn_file_actions_adddup2(&actions, 1, 2);
        } else if (pipe2(pipes[0], O_CLOEXEC) == 0 && pipe2(pipes[1], O_CLOEXEC) == 0) {
            posix_spawn_file_actions_adddup2(&actions, pipes[0][1], 1);
            posix_spawn_file_actions_adddup2(&actions, pipes[1][1], 2);
        }
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        for (int i = 0; i < 2 && pipes[i][0] >= 0; ++i) {
            close(pipes[i][1]);
            fcntl(pipes[i][0], F_SETFL, O_NONBLOCK);
            fds_[i] = pipes[i][0];
        }
    }
    // SIGTERM, and SIGKILL two seconds later.
    ~ChildProcess() {
        Signal(SIGTERM);
        Wait(2);
        close(fds_[0]);
        close(fds_[1]);
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
        const std::string& seen = onError ? err : out;
        Poll(seconds, [&] { return seen.find(text) == std::string::npos; });
        return seen.find(text) != std::string::npos;
    }

    // Waits for the end (at most `seconds`, then kills): the exit status, or
    // -1 when it had to be killed or ended by a signal.
    int Wait(double seconds = 60) {
        Poll(seconds, [] { return true; });
        if (Running()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            status_ = 0x7f00;  // not an exit
        }
        return status_ >= 0 && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }

    std::string out;
    std::string err;

  private:
    // Reads the pipes every 10 ms while the process runs, for at most
    // `seconds`, as long as `more` says so; then once more.
    template <typename More>
    void Poll(double seconds, More more) {
        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000));
        for (bool last = false; !last;) {
            last = !Running() || std::chrono::steady_clock::now() >= deadline || !more();
            char buffer[4096];
            for (int i = 0; i < 2; ++i) {
                for (ssize_t n; fds_[i] >= 0 && (n = read(fds_[i], buffer, sizeof buffer)) > 0;)
                    (i == 0 ? out : err).append(buffer, static_cast<size_t>(n));
            }
            if (!last)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    pid_t pid_ = -1;
    int status_ = -1;        // waitpid's status once ended
    int fds_[2] = {-1, -1};  // the read ends of the output and error pipes
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

// Runs a shell command (at most a minute): true when it exited with status 0.
inline bool Shell(const std::string& command) {
    return RunProgram("sh", {"-c", command}) == 0;
}

// What a shell command (run at most a minute) printed on its standard output.
inline std::string Output(const std::string& command) {
    std::string out;
    RunProgram("sh", {"-c", command}, &out);
    return out;
}

// The whole file; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace quil::test
