#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace quil::test {

// The built harkbox-server.
inline const std::string kHarkboxServer = HARKBOX_SERVER;

// harkbox-server running as a child process, its standard output and error
// read through pipes. Every wait is bounded; the destructor kills what is
// still running.
class ServerProcess {
  public:
    explicit ServerProcess(const std::vector<std::string>& arguments) {
        int outPipe[2], errPipe[2];
        if (pipe(outPipe) != 0 || pipe(errPipe) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
        posix_spawn_file_actions_addclose(&actions, outPipe[0]);
        posix_spawn_file_actions_addclose(&actions, errPipe[0]);
        std::vector<char*> argv{const_cast<char*>(kHarkboxServer.c_str())};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, kHarkboxServer.c_str(), &actions, nullptr, argv.data(), environ) !=
            0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(outPipe[1]);
        close(errPipe[1]);
        out_ = outPipe[0];
        err_ = errPipe[0];
        fcntl(out_, F_SETFL, O_NONBLOCK);
        fcntl(err_, F_SETFL, O_NONBLOCK);
    }
    ~ServerProcess() {
        if (pid_ > 0 && status_ < 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(out_);
        close(err_);
    }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Waits (at most `seconds`) until standard output or error holds a line
    // containing `text`; false on time-out or when the process ended first.
    bool WaitFor(const std::string& text, bool onError = false, double seconds = 30) {
        const auto deadline = Deadline(seconds);
        while (std::chrono::steady_clock::now() < deadline) {
            Drain();
            if ((onError ? err : out).find(text) != std::string::npos)
                return true;
            if (!Running())
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        Drain();
        return (onError ? err : out).find(text) != std::string::npos;
    }

    void Signal(int signal) { kill(pid_, signal); }

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
            waitpid(pid_, &status_, 0);
            status_ = 0x7f00;  // not an exit
        }
        Drain();
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }

    std::string out;
    std::string err;

  private:
    static std::chrono::steady_clock::time_point Deadline(double seconds) {
        return std::chrono::steady_clock::now() +
               std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000));
    }
    bool Running() {
        if (pid_ <= 0 || status_ >= 0)
            return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_)
            status_ = status;
        return status_ < 0;
    }
    void Drain() {
        char buffer[4096];
        ssize_t n;
        while ((n = read(out_, buffer, sizeof buffer)) > 0)
            out.append(buffer, static_cast<size_t>(n));
        while ((n = read(err_, buffer, sizeof buffer)) > 0)
            err.append(buffer, static_cast<size_t>(n));
    }

    pid_t pid_ = -1;
    int status_ = -1;
    int out_ = -1;
    int err_ = -1;
};

// Runs harkbox-server to its end; the exit status (-1 for none).
inline int RunServer(const std::vector<std::string>& arguments, std::string* out = nullptr,
                     std::string* err = nullptr) {
    ServerProcess process(arguments);
    int status = process.Wait();
    if (out)
        *out = process.out;
    if (err)
        *err = process.err;
    return status;
}

}  // namespace quil::test
