// The input settings: the device list's refresh rules, the device choice and
// its setting, the recording-level controls, and hiding and showing again.
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "app/InputSettingsDialog.h"
#include "app/SettingsStore.h"
#include "platform/headless/HeadlessProcessStarter.h"
#include "platform/headless/HeadlessSettingsDialog.h"

namespace quil {
namespace {

using Names = std::vector<std::string>;

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
                    names = devices_;
                });
        }
        return *dialog_;
    }
    // Makes and shows the dialog with `devices` listed and `current` in use.
    HeadlessSettingsDialog& Open(const Names& devices, const std::string& current) {
        devices_ = devices;
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

    const std::string key_ = "SOFTWARE\\Test\\" + testing::TestKeyPart() + "\\Settings";
    HeadlessProcessStarter processes_;
    Names devices_;
    int listings_ = 0;
    Names chosen_;
    std::unique_ptr<InputSettingsDialog> dialog_;
};

TEST_F(InputSettingsTest, FirstShowListsTheDevicesInOrderWithTheCurrentSelected) {
    Dialog().RefreshDeviceList({"ignored before the dialog exists"});
    EXPECT_FALSE(Dialog().created());
    HeadlessSettingsDialog& window = Open({"Mic", "Line In", "USB"}, "Line In");
    EXPECT_TRUE(Dialog().created());
    EXPECT_TRUE(window.IsVisible());
    EXPECT_EQ(window.layout().title, "Harkbox Settings");
    EXPECT_EQ(window.layout().listLabel, "Input device:");
    EXPECT_EQ(window.Items(), (Names{"Mic", "Line In", "USB"}));
    EXPECT_EQ(window.SelectedItem(), 1);
    EXPECT_TRUE(window.ListEnabled());
}

TEST_F(InputSettingsTest, RefreshRules) {
    const std::string none = InputSettingsDialog::kNoDeviceText;
    struct Case {
        const char* what;
        Names before;
        std::string current;
        Names names;
        Names items;
        int32_t selected;
        bool enabled;
        bool refilled;
    } cases[] = {
        {"same list", {"A", "B", "C"}, "B", {"A", "B", "C"}, {"A", "B", "C"}, 1, true, false},
        {"unknown current, same list", {"A", "B"}, "X", {"A", "B"}, {"A", "B"}, -1, true, false},
        {"device added", {"A", "B"}, "B", {"A", "B", "C"}, {"A", "B", "C"}, 1, true, true},
        {"order changed", {"A", "B"}, "B", {"B", "A"}, {"B", "A"}, 0, true, true},
        {"duplicates take the last", {"A"}, "B", {"B", "A", "B"}, {"B", "A", "B"}, 2, true, true},
        {"all gone", {"A", "B"}, "A", {}, {none}, 0, false, true},
        {"still none", {}, "", {}, {none}, 0, false, true},
        {"a device named like the notice", {}, none, {none}, {none}, 0, true, true},
    };
    for (const Case& c : cases) {
        dialog_.reset();
        HeadlessSettingsDialog& window = Open(c.before, c.current);
        const int fills = window.fillCount();
        Dialog().RefreshDeviceList(c.names);
        EXPECT_EQ(window.Items(), c.items) << c.what;
        EXPECT_EQ(window.SelectedItem(), c.selected) << c.what;
        EXPECT_EQ(window.ListEnabled(), c.enabled) << c.what;
        EXPECT_EQ(window.fillCount(), fills + (c.refilled ? 1 : 0)) << c.what;
    }
}

TEST_F(InputSettingsTest, EveryChoiceIsReportedAndStoredEvenWithoutAChange) {
    HeadlessSettingsDialog& window = Open({"Mic", "Line In", "USB"}, "Line In");
    EXPECT_EQ(Stored(), "error 2");  // ENOENT: nothing stored by showing
    // Opening and closing the list on the current entry, then a new entry.
    for (int32_t index : {1, 2, 2, 0}) {
        ASSERT_TRUE(window.Choose(index));
        EXPECT_EQ(Dialog().currentDeviceName(), window.Items()[size_t(index)]);
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
    EXPECT_EQ(Stored(), "");
    EXPECT_EQ(Dialog().currentDeviceName(), "");
}

TEST_F(InputSettingsTest, CloseHidesAndShowingAgainKeepsListAndSelection) {
    HeadlessSettingsDialog& window = Open({"Mic", "Line In"}, "Mic");
    ASSERT_TRUE(window.Choose(1));
    EXPECT_TRUE(window.PressCloseBox());
    EXPECT_FALSE(window.IsVisible());
    devices_ = {"other"};  // not listed again by showing
    EXPECT_EQ(Dialog().ShowInputSettings(system_), 0);
    EXPECT_EQ(Dialog().window(), &window);
    EXPECT_TRUE(window.IsVisible());
    EXPECT_EQ(window.Items(), (Names{"Mic", "Line In"}));
    EXPECT_EQ(window.SelectedItem(), 1);
    EXPECT_EQ(window.fillCount(), 1);
    EXPECT_EQ(listings_, 1);
    EXPECT_EQ(system_.settingsDialogsCreated(), 1);
    EXPECT_FALSE(Dialog().command(CommandCode("pref"), 0));
}

TEST_F(InputSettingsTest, TheButtonStartsTheVolumeControlOnItsInputTabWhenInstalled) {
    EXPECT_TRUE(InputSettingsDialog::RecordingControlCommand(processes_).empty());
    HeadlessSettingsDialog& window = Open({"Mic", "Line In"}, "Mic");
    EXPECT_TRUE(window.PressButton());
    EXPECT_TRUE(processes_.started().empty());

    processes_.Install("pavucontrol", "/opt/bin/pavucontrol");
    processes_.FailStarts(2);  // a failed start shows nothing either
    EXPECT_TRUE(window.PressButton());
    const std::vector<Names> started = {{"/opt/bin/pavucontrol", "--tab=4"}};
    EXPECT_EQ(processes_.started(), started);
    EXPECT_TRUE(window.IsVisible());
    EXPECT_EQ(window.fillCount(), 1);
    EXPECT_TRUE(chosen_.empty());
}

TEST_F(InputSettingsTest, ADialogThatCannotBeMadeIsMadeAtTheNextRequest) {
    system_.FailNextCreate(12);
    EXPECT_EQ(Dialog().ShowInputSettings(system_), 12);
    EXPECT_FALSE(Dialog().created());
    EXPECT_TRUE(Dialog().command(CommandCode("INPU"), 0));
    EXPECT_TRUE(chosen_.empty());
    EXPECT_TRUE(Open({"Mic"}, "Mic").IsVisible());
}

TEST_F(InputSettingsTest, TheMenuCommandShowsTheApplicationsDialog) {
    ASSERT_EQ(StartApp(), 0);
    EXPECT_FALSE(app().inputSettings().created());
    EXPECT_TRUE(app().command(CommandCode("pref"), 0));
    SettingsDialogWindow* window = app().inputSettings().window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->IsVisible());
    EXPECT_EQ(window->Items(), (Names{InputSettingsDialog::kNoDeviceText}));
    // The dialog's close box hides it and leaves the program running.
    static_cast<HeadlessSettingsDialog*>(window)->PressCloseBox();
    EXPECT_FALSE(window->IsVisible());
    system_.Post([this] { system_.PostQuit(7); });
    EXPECT_EQ(system_.RunMainLoop(), 7);
    EXPECT_TRUE(app().command(CommandCode("pref"), 0));
    EXPECT_TRUE(window->IsVisible());
}

}  // namespace
}  // namespace quil
