#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/ChildProcess.h"

namespace quil::test {

// A private PulseAudio daemon for one test: its socket, runtime folder and
// home live in a temporary folder of its own, so it neither sees nor
// disturbs a desktop's server. It has a null sink "testsink" (its monitor is
// a capture device) and a null source. Every wait is bounded; the
// destructor ends what still runs and removes the folder.
class PulseDaemon {
  public:
    static constexpr const char* kMonitorDescription = "Monitor of HarkboxTestSink";
    static constexpr const char* kSourceDescription = "HarkboxTestSource";

    PulseDaemon() {
        std::string pattern = std::filesystem::temp_directory_path() / "harkbox-pulse-XXXXXX";
        if (mkdtemp(pattern.data()))
            folder_ = pattern;
    }
    ~PulseDaemon() {
        Kill();
        player_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    // The address clients connect to.
    std::string server() const { return "unix:" + folder_ + "/native"; }

    // Starts the daemon and waits (at most 10 s) until it answers.
    bool Start() {
        std::error_code ignored;
        std::filesystem::remove(folder_ + "/native", ignored);
        daemon_ =
            Run({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--system=false",
                 "--use-pid-file=false", "--disallow-exit", "--log-target=stderr", "-L",
                 "module-native-protocol-unix auth-anonymous=1 socket=" + folder_ + "/native", "-L",
                 "module-null-sink sink_name=testsink "
                 "sink_properties=device.description=HarkboxTestSink",
                 "-L", "module-null-source source_name=testsource description=HarkboxTestSource"});
        for (int tries = 0; tries < 200 && folder_.size() > 0; ++tries) {
            if (Pactl("info"))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // Runs pactl with `arguments` against the daemon (at most 5 s); true
    // when it succeeded.
    bool Pactl(const std::string& arguments) const {
        return Shell("timeout 5 pactl --server=" + server() + " " + arguments + " >/dev/null 2>&1");
    }

    // Ends the daemon at once, as a crash would.
    void Kill() {
        if (daemon_)
            daemon_->Signal(SIGKILL);
        daemon_.reset();
    }

    // Plays `samples` (mono, 44.1 kHz) into the test sink in the background.
    bool Play(const std::vector<int16_t>& samples) {
        const std::string file = folder_ + "/tone.raw";
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(samples.data()),
                   static_cast<std::streamsize>(samples.size() * sizeof(int16_t)));
        player_ = Run({"pacat", "--server=" + server(), "--device=testsink", "--raw",
                       "--format=s16le", "--rate=44100", "--channels=1", file});
        return player_->pid() > 0;
    }

  private:
    // `words` run by env(1) with the home and runtime folders in the
    // temporary folder, their output logged there.
    std::unique_ptr<ChildProcess> Run(const std::vector<std::string>& words) const {
        const std::vector<std::string> environment{
            "HOME=" + folder_, "PULSE_RUNTIME_PATH=" + folder_ + "/runtime",
            "XDG_RUNTIME_DIR=" + folder_, "PULSE_SERVER=" + server()};
        return std::make_unique<ChildProcess>("/usr/bin/env", words, environment,
                                              folder_ + "/" + words[0] + ".log");
    }

    std::string folder_;
    std::unique_ptr<ChildProcess> daemon_;
    std::unique_ptr<ChildProcess> player_;
};

}  // namespace quil::test
