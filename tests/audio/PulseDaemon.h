#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace quil::test {

// Where `program` is found along PATH; empty when it is not.
inline std::string FindProgram(const std::string& program) {
    const char* path = getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    for (size_t start = 0; start <= folders.size();) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        const std::string candidate = folders.substr(start, end - start) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

// A private PulseAudio daemon for one test: its socket, runtime folder and
// home live in a temporary folder of its own, so it neither sees nor
// disturbs a desktop's server. It has a null sink "testsink" described as
// kSinkDescription (its monitor is a capture device) and a null source
// described as kSourceDescription. Every wait is bounded; the destructor
// kills what still runs and removes the folder.
class PulseDaemon {
  public:
    static constexpr const char* kSinkDescription = "HarkboxTestSink";
    static constexpr const char* kMonitorDescription = "Monitor of HarkboxTestSink";
    static constexpr const char* kSourceDescription = "HarkboxTestSource";

    PulseDaemon() {
        std::string pattern = (std::filesystem::temp_directory_path() / "harkbox-pulse-XXXXXX");
        if (mkdtemp(pattern.data()))
            folder_ = pattern;
    }
    ~PulseDaemon() {
        Kill();
        Stop(player_);
        if (!folder_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(folder_, ignored);
        }
    }
    PulseDaemon(const PulseDaemon&) = delete;
    PulseDaemon& operator=(const PulseDaemon&) = delete;

    // The address clients connect to.
    std::string server() const { return "unix:" + folder_ + "/native"; }

    // Starts the daemon and waits (at most 10 s) until its socket answers.
    bool Start() {
        const std::string program = FindProgram("pulseaudio");
        if (program.empty() || folder_.empty())
            return false;
        const std::string socket = folder_ + "/native";
        std::filesystem::remove(socket);
        daemon_ =
            Spawn(program, {"-n", "--daemonize=no", "--exit-idle-time=-1", "--system=false",
                            "--use-pid-file=false", "--disallow-exit", "--log-target=stderr", "-L",
                            "module-native-protocol-unix auth-anonymous=1 socket=" + socket, "-L",
                            std::string("module-null-sink sink_name=testsink "
                                        "sink_properties=device.description=") +
                                kSinkDescription,
                            "-L",
                            std::string("module-null-source source_name=testsource "
                                        "description=") +
                                kSourceDescription});
        if (daemon_ <= 0)
            return false;
        // pactl answers only once the daemon has loaded its modules.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (RunToEnd(FindProgram("pactl"), {"--server=" + server(), "info"}) == 0)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // Runs pactl against the daemon; true when it succeeded.
    bool Pactl(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), "--server=" + server());
        return RunToEnd(FindProgram("pactl"), arguments) == 0;
    }

    // Ends the daemon at once, as a crash would.
    void Kill() { Stop(daemon_); }

    // Plays `samples` (mono, 44.1 kHz) into the test sink in the background.
    bool Play(const std::vector<int16_t>& samples) {
        const std::string file = folder_ + "/tone.raw";
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(samples.data()),
                   static_cast<std::streamsize>(samples.size() * sizeof(int16_t)));
        Stop(player_);
        player_ =
            Spawn(FindProgram("pacat"), {"--server=" + server(), "--device=testsink", "--raw",
                                         "--format=s16le", "--rate=44100", "--channels=1", file});
        return player_ > 0;
    }

  private:
    // The daemon's environment: this one with its home and runtime folders
    // moved into the temporary folder.
    std::vector<std::string> Environment() const {
        std::vector<std::string> variables;
        for (char** entry = environ; *entry; ++entry) {
            const std::string variable = *entry;
            const std::string name = variable.substr(0, variable.find('='));
            if (name != "HOME" && name != "PULSE_RUNTIME_PATH" && name != "XDG_RUNTIME_DIR" &&
                name != "PULSE_SERVER")
                variables.push_back(variable);
        }
        variables.push_back("HOME=" + folder_);
        variables.push_back("PULSE_RUNTIME_PATH=" + folder_ + "/runtime");
        variables.push_back("XDG_RUNTIME_DIR=" + folder_);
        return variables;
    }

    pid_t Spawn(const std::string& program, const std::vector<std::string>& arguments) const {
        if (program.empty())
            return -1;
        std::vector<std::string> environment = Environment();
        std::vector<char*> envp;
        for (std::string& variable : environment)
            envp.push_back(variable.data());
        envp.push_back(nullptr);
        std::vector<std::string> words{program};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string log =
            folder_ + "/" + std::filesystem::path(program).filename().string() + ".log";
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_t pid = -1;
        if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    // Runs to its end (at most 5 s, then killed): the exit status, or -1.
    int RunToEnd(const std::string& program, const std::vector<std::string>& arguments) const {
        pid_t pid = Spawn(program, arguments);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        int status = 0;
        while (pid > 0 && std::chrono::steady_clock::now() < deadline) {
            if (waitpid(pid, &status, WNOHANG) == pid)
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        Stop(pid);
        return -1;
    }

    // SIGKILL, so that the wait for the end is short.
    static void Stop(pid_t& pid) {
        if (pid <= 0)
            return;
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }

    std::string folder_;
    pid_t daemon_ = -1;
    pid_t player_ = -1;
};

}  // namespace quil::test
