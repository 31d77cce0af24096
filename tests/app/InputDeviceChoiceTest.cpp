// The main window's input device: chosen at start-up from the stored
// setting, followed through device changes and a sound server that goes
// away and comes back.
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "app/SettingsStore.h"
#include "tests/net/FakeWebHost.h"

namespace quil {
namespace {

using testing::AppTest;

const SoundDevice kBuiltIn{"Built-in Audio", "pci", false};
const SoundDevice kMic{"USB Mic", "usb", false};

class InputDeviceTest : public AppTest {
  protected:
    std::string Line1() {
        Window::LockGuard hold(app());
        return app().statusLine(0)->text();
    }
    // The identifier captured now, "-" when nothing is.
    std::string Capturing() {
        std::string identifier;
        return input_->Capturing(&identifier) ? identifier : "-";
    }
    void Store(const std::string& device) {
        SettingsStore::WriteText(app().settingsKey(), Application::kInputDeviceValue, device);
    }
};

TEST_F(InputDeviceTest, StartOpensTheStoredDeviceElseTheDefault) {
    struct Case {
        const char* stored;  // null: nothing stored
        std::vector<SoundDevice> devices;
        std::string capturing;
        const char* line1;
    };
    const Case cases[] = {
        {"USB Mic", {kBuiltIn, kMic}, "usb", "Harkbox ready"},
        {"Gone", {kBuiltIn, kMic}, "pci", "Harkbox ready"},
        {nullptr, {kBuiltIn, kMic}, "pci", "Harkbox ready"},
        {"USB Mic", {}, "-", "No sound input"},
    };
    for (const Case& c : cases) {
        devices_ = c.devices;
        defaultDevice_ = "pci";
        if (c.stored) {
            // The key is the program's: write it through a first instance.
            ASSERT_EQ(StartApp(), 0);
            Store(c.stored);
            app_.reset();
        }
        ASSERT_EQ(StartApp(), 0);
        EXPECT_EQ(Capturing(), c.capturing) << (c.stored ? c.stored : "nothing stored");
        EXPECT_EQ(Line1(), c.line1);
        {
            Window::LockGuard hold(app());
            EXPECT_EQ(app().findButton()->isEnabled(), c.capturing != "-");
        }
        app_.reset();
        std::filesystem::remove_all(root_ / "config");
    }
}

TEST_F(InputDeviceTest, DeviceChangesAndTheSoundServerAreFollowed) {
    devices_ = {kBuiltIn};
    defaultDevice_ = "pci";
    ASSERT_EQ(StartApp(), 0);
    Store("USB Mic");  // chosen by the user earlier, absent now
    EXPECT_EQ(Capturing(), "pci");

    // The stored device is plugged in: the change is handled on the main loop.
    input_->SetDevices({kBuiltIn, kMic}, "pci");
    EXPECT_EQ(Capturing(), "pci");
    EXPECT_GE(system_.RunPendingTasks(), 1);
    EXPECT_EQ(Capturing(), "usb");
    EXPECT_EQ(Line1(), "Harkbox ready");

    // The server goes: the capture ends, the window shows that there is no input.
    input_->SetServerUp(false);
    system_.RunPendingTasks();
    EXPECT_EQ(Capturing(), "-");
    EXPECT_EQ(Line1(), "No sound input");
    {
        Window::LockGuard hold(app());
        EXPECT_FALSE(app().findButton()->isEnabled());
    }

    // It comes back: the stored device is taken up again.
    input_->SetServerUp(true);
    system_.RunPendingTasks();
    EXPECT_EQ(Capturing(), "usb");
    EXPECT_EQ(Line1(), "Harkbox ready");

    // A capture that ends by itself while its device stays listed.
    input_->EndCapture(5);
    system_.RunPendingTasks();
    EXPECT_EQ(Line1(), "No sound input");

    // Tasks posted to a program that has ended do nothing.
    input_->SetDevices({kBuiltIn}, "pci");
    app_.reset();
    system_.RunPendingTasks();
}

TEST_F(InputDeviceTest, ADeviceThatCannotBeOpenedDuringARunCancelsIt) {
    devices_ = {kMic};
    defaultDevice_ = "usb";
    ASSERT_EQ(StartApp(), 0);
    // The run waits for a web host that never answers.
    test::FakeWebHost web("", test::FakeWebHost::Mode::kSilent);
    Application::Service service;
    service.webHost = "127.0.0.1";
    service.webPort = web.port();
    service.lookupTimeoutSeconds = 0;
    app().SetService(service);
    ASSERT_TRUE(app().command(CommandCode("FIND"), 0));
    ASSERT_EQ(web.Requests(1).size(), 1u);
    input_->FailNextStart(5);
    input_->SetDevices({kMic, kBuiltIn}, "usb");
    system_.RunPendingTasks();
    app().WaitForRun();
    Window::LockGuard hold(app());
    EXPECT_EQ(app().statusLine(0)->text(), "No sound input");
    EXPECT_EQ(app().statusLine(1)->text(), "Check preferences");
    EXPECT_FALSE(app().findButton()->isEnabled());
    EXPECT_EQ(app().findButton()->commandCode(), CommandCode("FIND"));
}

}  // namespace
}  // namespace quil
