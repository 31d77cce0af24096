// The main window's input device: chosen at start-up from the stored
// setting, followed through device changes and a sound server that goes
// away and comes back.
#include <gtest/gtest.h>

#include <functional>

#include "AppTestSupport.h"
#include "app/SettingsStore.h"
#include "platform/headless/HeadlessSettingsDialog.h"
#include "tests/net/FakeWebHost.h"

namespace quil {
namespace {

const SoundDevice kBuiltIn{"Built-in Audio", "pci", false};
const SoundDevice kMic{"USB Mic", "usb", false};

class InputDeviceTest : public testing::AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        devices_ = {kBuiltIn};
        defaultDevice_ = "pci";
        ASSERT_EQ(StartApp(), 0);
    }
    // Line 1, the find button's state and the identifier captured ("-": none).
    std::string State() {
        std::string identifier;
        if (!input_->Capturing(&identifier))
            identifier = "-";
        Window::LockGuard hold(app());
        return app().statusLine(0)->text() + (app().findButton()->isEnabled() ? " on " : " off ") +
               identifier;
    }
};

TEST_F(InputDeviceTest, DeviceChangesAndTheSoundServerAreFollowed) {
    EXPECT_EQ(State(), "Harkbox ready on pci");
    // The user's choice, absent now: the default stays open.
    SettingsStore::WriteText(app().settingsKey(), InputSettingsDialog::kSettingName, "USB Mic");
    const struct {
        std::function<void()> change;
        std::string state;
    } steps[] = {
        {[&] {
             input_->SetDevices({kBuiltIn, kMic}, "pci");
         },
         "Harkbox ready on usb"},
        {[&] { input_->SetServerUp(false); }, "No sound input off -"},
        {[&] { input_->SetServerUp(true); }, "Harkbox ready on usb"},
        {[&] { input_->EndCapture(5); }, "No sound input off -"},
        {[&] { input_->SetDevices({kBuiltIn}, "pci"); }, "Harkbox ready on pci"},
    };
    for (const auto& step : steps) {
        step.change();
        // Nothing happens on the sound input's thread; the main loop does it.
        EXPECT_GE(system_.RunPendingTasks(), 1);
        EXPECT_EQ(State(), step.state);
    }
    // A task posted to a program that has ended does nothing.
    input_->SetDevices({kMic}, "usb");
    app_.reset();
    EXPECT_EQ(system_.RunPendingTasks(), 1);
}

TEST_F(InputDeviceTest, TheSettingsDialogListsEveryChoiceAndMakesItsOwn) {
    using Names = std::vector<std::string>;
    ASSERT_TRUE(app().command(CommandCode("pref"), 0));
    auto* dialog = static_cast<HeadlessSettingsDialog*>(app().inputSettings().window());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->Items(), Names{"Built-in Audio"});
    input_->SetDevices({kBuiltIn, kMic}, "pci");
    system_.RunPendingTasks();
    EXPECT_EQ(dialog->Items(), (Names{"Built-in Audio", "USB Mic"}));
    EXPECT_EQ(dialog->SelectedItem(), 0);
    // The user's pick is opened, and stays chosen through the next change.
    EXPECT_TRUE(dialog->Choose(1));
    EXPECT_EQ(State(), "Harkbox ready on usb");
    input_->SetDevices({kMic, kBuiltIn}, "pci");
    system_.RunPendingTasks();
    EXPECT_EQ(State(), "Harkbox ready on usb");
    EXPECT_EQ(dialog->Items(), (Names{"USB Mic", "Built-in Audio"}));
    EXPECT_EQ(dialog->SelectedItem(), 0);
}

TEST_F(InputDeviceTest, ADeviceThatCannotBeOpenedDuringARunCancelsIt) {
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
    input_->SetDevices({kBuiltIn, kMic}, "pci");
    system_.RunPendingTasks();
    app().WaitForRun();
    EXPECT_EQ(State(), "No sound input off -");
    Window::LockGuard hold(app());
    EXPECT_EQ(app().statusLine(1)->text(), "Check preferences");
    EXPECT_EQ(app().findButton()->commandCode(), CommandCode("FIND"));
}

}  // namespace
}  // namespace quil
