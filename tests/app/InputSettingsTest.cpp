// The input device: the settings dialog's refresh rules, the choice and its
// setting, the recording-level button, hiding and showing again; the main
// window's device chosen at start-up and followed through device changes and
// a sound server that goes away and comes back.
#include <gtest/gtest.h>

#include <functional>

#include "AppTestSupport.h"
#include "app/InputSettingsDialog.h"
#include "app/SettingsStore.h"
#include "platform/headless/HeadlessProcessStarter.h"
#include "platform/headless/HeadlessSettingsDialog.h"
#include "tests/net/FakeWebHost.h"

namespace quil {
namespace {

using Names = std::vector<std::string>;

// The dialog's list as "items @selected", with " off" when disabled and
// " hidden" when not visible.
std::string Shown(const HeadlessSettingsDialog& window) {
    std::string text;
    for (const std::string& item : window.Items())
        text += item + ",";
    return text + " @" + std::to_string(window.SelectedItem()) +
           (window.ListEnabled() ? "" : " off") + (window.IsVisible() ? "" : " hidden");
}

class InputSettingsTest : public testing::AppTest {
  protected:
    InputSettingsDialog& Dialog() {
        if (!dialog_) {
            dialog_ = std::make_unique<InputSettingsDialog>(
                key_, processes_,
                [this](const std::string& name) {
                    chosen_.push_back(name);
                    return 0;
                },
                [this](Names& names) {
                    ++listings_;
                    names = listed_;
                });
        }
        return *dialog_;
    }
    // Makes and shows the dialog with `devices` listed and `current` in use.
    HeadlessSettingsDialog& Open(const Names& devices, const std::string& current) {
        listed_ = devices;
        Dialog().setCurrentDeviceName(current);
        EXPECT_EQ(Dialog().ShowInputSettings(system_), 0);
        return *static_cast<HeadlessSettingsDialog*>(Dialog().window());
    }
    std::string Stored() {
        try {
            return SettingsStore::ReadText(key_, "InputDevice");
        } catch (const SettingsError& e) {
            return "error " + std::to_string(e.code());
        }
    }

    const std::string key_ = SettingsStore::BuildSettingsKey(testing::TestProgramPath());
    HeadlessProcessStarter processes_;
    Names listed_, chosen_;
    int listings_ = 0;
    std::unique_ptr<InputSettingsDialog> dialog_;
};

TEST_F(InputSettingsTest, ShowListsTheDevicesOnceAndCloseOnlyHides) {
    // A dialog that cannot be made is made at the next request.
    Dialog().RefreshDeviceList({"ignored before the dialog exists"});
    system_.FailNextCreate(12);
    EXPECT_EQ(Dialog().ShowInputSettings(system_), 12);
    EXPECT_TRUE(Dialog().command(CommandCode("INPU"), 0));
    EXPECT_TRUE(chosen_.empty());

    HeadlessSettingsDialog& window = Open({"Mic", "Line In", "USB"}, "Line In");
    EXPECT_EQ(Shown(window), "Mic,Line In,USB, @1");
    ASSERT_TRUE(window.Choose(2));
    EXPECT_TRUE(window.PressCloseBox());
    EXPECT_EQ(Shown(window), "Mic,Line In,USB, @2 hidden");
    listed_ = {"other"};  // not listed again by showing
    EXPECT_EQ(Dialog().ShowInputSettings(system_), 0);
    EXPECT_EQ(listings_, 1);
    // Another device in use, the same list: the selection follows, and the
    // dialog shows again.
    Dialog().setCurrentDeviceName("Mic");
    Dialog().RefreshDeviceList({"Mic", "Line In", "USB"});
    EXPECT_EQ(Shown(window), "Mic,Line In,USB, @0");
}

TEST_F(InputSettingsTest, RefreshRules) {
    const std::string notice = InputSettingsDialog::kNoDeviceText;
    // What the case shows, the devices listed first, the current device, the
    // new list and the dialog's list then.
    const std::tuple<const char*, Names, std::string, Names, std::string> cases[] = {
        {"unknown current: none selected", {"A", "B"}, "X", {"A", "B"}, "A,B, @-1"},
        {"order changed", {"A", "B"}, "B", {"B", "A"}, "B,A, @0"},
        {"all gone", {"A", "B"}, "A", {}, notice + ", @0 off"},
        {"a device named like the notice", {}, notice, {notice}, notice + ", @0"},
    };
    for (const auto& [what, before, current, names, shown] : cases) {
        dialog_.reset();
        HeadlessSettingsDialog& window = Open(before, current);
        Dialog().RefreshDeviceList(names);
        EXPECT_EQ(Shown(window), shown) << what;
    }
}

TEST_F(InputSettingsTest, EveryChoiceIsReportedAndStoredEvenWithoutAChange) {
    HeadlessSettingsDialog& window = Open({"Mic", "Line In", "USB"}, "Line In");
    EXPECT_EQ(Stored(), "error 2");  // ENOENT: nothing stored by showing
    // Opening and closing the list on the current entry, then a new entry.
    for (int32_t index : {1, 2, 2, 0}) {
        ASSERT_TRUE(window.Choose(index));
        EXPECT_EQ(Stored(), window.Items()[size_t(index)]);
    }
    EXPECT_EQ(chosen_, (Names{"Line In", "USB", "USB", "Mic"}));
    // Nothing selected chooses no device.
    window.SetItems({"Mic"}, -1, true);
    EXPECT_TRUE(Dialog().command(CommandCode("INPU"), 0));
    EXPECT_EQ(chosen_.back(), "");
    EXPECT_EQ(Stored(), "");
    // The notice of the empty list is no device: the choice stays.
    Dialog().RefreshDeviceList({});
    chosen_.clear();
    EXPECT_TRUE(Dialog().command(CommandCode("INPU"), 0));
    EXPECT_TRUE(chosen_.empty());
}

TEST_F(InputSettingsTest, TheButtonStartsTheVolumeControlOnItsInputTabWhenInstalled) {
    HeadlessSettingsDialog& window = Open({"Mic", "Line In"}, "Mic");
    EXPECT_TRUE(window.PressButton());
    EXPECT_TRUE(processes_.started().empty());
    processes_.Install("pavucontrol", "/opt/bin/pavucontrol");
    processes_.FailStarts(2);  // a failed start shows nothing either
    EXPECT_TRUE(window.PressButton());
    EXPECT_EQ(processes_.started(), (std::vector<Names>{{"/opt/bin/pavucontrol", "--tab=4"}}));
    EXPECT_TRUE(chosen_.empty());
}

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
    // After `change` and the main loop's tasks: line 1, the find button's
    // state and the identifier captured ("-": none).
    std::string State(const std::function<void()>& change = {}) {
        if (change) {
            change();
            // Nothing happens on the sound input's thread; the main loop does it.
            EXPECT_GE(system_.RunPendingTasks(), 1);
        }
        std::string identifier;
        if (!input_->Capturing(&identifier))
            identifier = "-";
        Window::LockGuard hold(app());
        return app().statusLine(0)->text() + (app().findButton()->isEnabled() ? " on " : " off ") +
               identifier;
    }
};

TEST_F(InputDeviceTest, DeviceChangesTheSoundServerAndTheDialogsChoiceAreFollowed) {
    EXPECT_EQ(State(), "Harkbox ready on pci");
    // The menu command makes the dialog, listing every device; its close
    // box hides it and leaves the program running.
    ASSERT_TRUE(app().command(CommandCode("pref"), 0));
    auto* dialog = static_cast<HeadlessSettingsDialog*>(app().inputSettings().window());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Shown(*dialog), "Built-in Audio, @0");
    dialog->PressCloseBox();
    system_.Post([this] { system_.PostQuit(7); });
    EXPECT_EQ(system_.RunMainLoop(), 7);

    // The user's choice, absent now: the default stays open.
    SettingsStore::WriteText(app().settingsKey(), InputSettingsDialog::kSettingName, "USB Mic");
    EXPECT_EQ(State([&] { input_->SetDevices({kBuiltIn, kMic}, "pci"); }), "Harkbox ready on usb");
    EXPECT_EQ(Shown(*dialog), "Built-in Audio,USB Mic, @1 hidden");
    EXPECT_EQ(State([&] { input_->SetServerUp(false); }), "No sound input off -");
    EXPECT_EQ(State([&] { input_->SetServerUp(true); }), "Harkbox ready on usb");
    EXPECT_EQ(State([&] { input_->SetDevices({kBuiltIn}, "pci"); }), "Harkbox ready on pci");
    // The user's pick in the dialog is opened, and stays chosen through the
    // next change.
    EXPECT_TRUE(app().command(CommandCode("pref"), 0));
    State([&] { input_->SetDevices({kBuiltIn, kMic}, "pci"); });
    EXPECT_TRUE(dialog->Choose(0));
    EXPECT_EQ(State(), "Harkbox ready on pci");
    EXPECT_EQ(State([&] { input_->SetDevices({kMic, kBuiltIn}, "usb"); }), "Harkbox ready on pci");
    EXPECT_EQ(Shown(*dialog), "USB Mic,Built-in Audio, @1");
    // A task posted to a program that has ended does nothing.
    input_->SetDevices({kMic}, "usb");
    app_.reset();
    EXPECT_EQ(system_.RunPendingTasks(), 1);
}

TEST_F(InputDeviceTest, ADeviceThatCannotBeOpenedDuringARunCancelsIt) {
    // The run waits for a web host that never answers.
    test::FakeWebHost web("", test::FakeWebHost::Mode::kSilent);
    Serve(web.port());
    ASSERT_TRUE(app().command(CommandCode("FIND"), 0));
    ASSERT_EQ(web.Requests(1).size(), 1u);
    input_->FailNextStart(5);
    input_->SetDevices({kBuiltIn, kMic}, "pci");
    system_.RunPendingTasks();
    app().WaitForRun();
    EXPECT_EQ(Shows(), "No sound input|Check preferences||FIND off");
}

}  // namespace
}  // namespace quil
