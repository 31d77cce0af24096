#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/Application.h"
#include "platform/headless/HeadlessSoundInput.h"
#include "platform/headless/HeadlessWindow.h"
#include "platform/headless/HeadlessWindowSystem.h"
#include "tests/Environment.h"

namespace quil::testing {

using test::ScopedEnv;

// The program path the tests start the application with. Where the program
// file has no version block its name makes the settings key: on Linux every
// test has a configuration folder of its own, but the Windows registry is one
// for the whole run, so there the path names the test, and a `variant` gives
// a test another key.
inline std::string TestProgramPath([[maybe_unused]] const std::string& variant = "") {
#ifdef _WIN32
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string("C:\\tests\\") + info->test_suite_name() + "." + info->name() + variant +
           ".exe";
#else
    return "/usr/bin/harkbox";
#endif
}

// Every test of the main window runs with a fresh configuration folder and
// with fonts fixed through SYSTEMROOT (Liberation Sans as "Arial", DejaVu
// Sans as "LastResort"), so that pictures do not depend on the machine.
class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device random;
        root_ = std::filesystem::temp_directory_path() /
                ("harkbox-app-" + std::to_string(random()) + std::to_string(random()));
        ASSERT_TRUE(std::filesystem::create_directory(root_));
        config_.emplace("XDG_CONFIG_HOME", (root_ / "config").string());
        const auto fonts = root_ / "windows" / "Fonts";
        std::filesystem::create_directories(fonts);
        std::filesystem::copy_file(
            "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
            fonts / "Arial.ttf");
        std::filesystem::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                                   fonts / "LastResort.ttf");
        fonts_.emplace("SYSTEMROOT", (root_ / "windows").string());
    }
    void TearDown() override {
        app_.reset();
        fonts_.reset();
        config_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    // Starts the application on a scripted sound input with `devices_` and
    // `defaultDevice_`, as the program at TestProgramPath(`variant`).
    int StartApp(const std::string& variant = "") {
        auto input = std::make_unique<HeadlessSoundInput>();
        input->SetDevices(devices_, defaultDevice_);
        input_ = input.get();
        app_ = std::make_unique<Application>(TestProgramPath(variant), std::move(input));
        return app_->Start(system_);
    }
    Application& app() { return *app_; }
    // Runs go to these loopback ports, without time limits: only a stop or
    // an answer ends a wait.
    void Serve(int webPort, uint16_t serverPort = 0) {
        Application::Service service;
        service.webHost = "127.0.0.1";
        service.webPort = webPort;
        service.serverPort = serverPort;
        service.lookupTimeoutSeconds = 0;
        service.handshakeAttemptMs = 600000;
        app_->SetService(service);
    }
    // The status lines, the find button's command and state and the link
    // button: "line 1|line 2|line 3|FIND on|link".
    std::string Shows() {
        Window::LockGuard hold(*app_);
        std::string text;
        for (int i = 0; i < 3; ++i)
            text += app_->statusLine(i)->text() + "|";
        for (int shift = 24; shift >= 0; shift -= 8)
            text += char(app_->findButton()->commandCode() >> shift);
        return text + (app_->findButton()->isEnabled() ? " on" : " off") +
               (app_->linkButton()->isVisible() ? "|link" : "");
    }
    HeadlessWindow& window() { return *static_cast<HeadlessWindow*>(app_->nativeWindow()); }

    std::filesystem::path root_;
    std::optional<ScopedEnv> config_, fonts_;
    HeadlessWindowSystem system_;
    std::vector<SoundDevice> devices_;
    std::string defaultDevice_;
    HeadlessSoundInput* input_ = nullptr;  // owned by the application
    std::unique_ptr<Application> app_;
};

}  // namespace quil::testing
