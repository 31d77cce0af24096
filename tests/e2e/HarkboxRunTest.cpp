// The whole chain, from a click to the answer on the screen: a private X
// display, a private PulseAudio daemon whose null sink's monitor is the
// default capture device, harkbox-server on this build tree's loopback
// address with a catalogue of a few game-music recordings, and the copy of
// the harkbox program built to look its web host up there. A recording
// plays into the null sink, xdotool clicks the find button, and the status
// lines are read back from the screen's pixels and compared with the
// expected texts drawn the way the window draws them. Skips when a program
// or the music is missing; every wait has a deadline.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audiofile/FileSampleSource.h"
#include "gfx/FontChain.h"
#include "gfx/Mask.h"
#include "gfx/RenderText.h"
#include "gfx/TrueTypeFont.h"
#include "tests/ChildProcess.h"
#include "tests/audio/PulseDaemon.h"

namespace quil {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const fs::path kMusic = "/usr/share/games/wesnoth/1.16/data/core/music";
// In the catalogue; the last one is not.
const char* const kCatalogued[] = {"northerners.ogg", "heroes_rite.ogg", "the_city_falls.ogg"};
const char* const kUnknown = "loyalists.ogg";
const fs::path kArial = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";
const fs::path kLastResort = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// The window as the test places it, and the geometry of its main window
// layout (status lines, find and link buttons), in window pixels.
constexpr int kX = 40, kY = 40, kWidth = 400, kHeight = 66;
constexpr int kContentLeft = 40, kContentRightMargin = 33;
// Status line i spans kLineTops[i] to kLineTops[i + 1], in a font of kLineSizes[i] pixels.
constexpr int kLineTops[4] = {13, 31, 46, 59};
constexpr float kLineSizes[3] = {14.0f, 12.0f, 10.0f};
constexpr int kFindCentreX = 10 + 12, kFindCentreY = (kHeight - 24) / 2 + 12;
constexpr int kLinkLeft = kWidth - 24, kLinkTop = (kHeight - 12) / 2, kLinkSide = 12;

using namespace test;

// `seconds` of a recording from `from` on, as 16-bit mono samples at 44.1 kHz.
std::vector<int16_t> Excerpt(const fs::path& file, double from, double seconds) {
    FileSampleSource source;
    std::vector<float> samples(static_cast<size_t>((from + seconds) * FileSampleSource::kRate));
    if (source.Open(file.string()) != 0 || source.Read(int32_t(samples.size()), samples.data()))
        return {};
    std::vector<int16_t> out;
    for (size_t i = static_cast<size_t>(from * FileSampleSource::kRate); i < samples.size(); ++i)
        out.push_back(int16_t(std::clamp(samples[i], -1.0f, 1.0f) * 32767.0f));
    return out;
}

// Title and artist as the catalogue holds them: the tags, or else the
// file's and its folder's names.
std::pair<std::string, std::string> SongNames(const fs::path& file) {
    FileSampleSource source;
    source.Open(file.string());
    return {source.Title().empty() ? file.stem().string() : source.Title(),
            source.Artist().empty() ? file.parent_path().filename().string() : source.Artist()};
}

using Screenshot = std::vector<uint8_t>;  // RGB bytes of the window's rectangle

class HarkboxRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!Shell("{ command -v Xvfb && command -v xdotool && command -v import && "
                   "command -v pulseaudio && command -v pacat; } >/dev/null"))
            GTEST_SKIP() << "Xvfb, xdotool, ImageMagick or PulseAudio missing";
        if (!fs::exists(kMusic / kUnknown))
            GTEST_SKIP() << "no game music in " << kMusic << " (scripts/setup installs it)";
        std::string pattern = (fs::temp_directory_path() / "harkbox-e2e-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;

        // A private X server on a display number it picks and prints itself.
        display_ = std::make_unique<ChildProcess>(
            "Xvfb", std::vector<std::string>{"-displayfd", "1", "-screen", "0", "1280x800x24",
                                             "-nolisten", "tcp"});
        ASSERT_TRUE(display_->WaitFor("\n", false, 10)) << display_->err;
        setenv("DISPLAY", (":" + display_->out.substr(0, display_->out.find('\n'))).c_str(), 1);

        ASSERT_TRUE(pulse_.Start());
        // The null sink's monitor hears what plays; it is the default input.
        ASSERT_TRUE(pulse_.Pactl("set-default-source testsink.monitor"));

        // The catalogue lives with the build; recordings it holds already
        // are skipped, so only the first run indexes.
        const fs::path catalogue = fs::path(HARKBOX_BINARY_DIR) / "tests" / "e2e-catalogue.db";
        std::vector<std::string> index{"index", "--catalogue", catalogue.string()};
        for (const char* song : kCatalogued)
            index.push_back((kMusic / song).string());
        std::string out, err;
        int indexed = RunProgram(HARKBOX_SERVER, index, &out, &err);
        if (indexed != 0 && err.find("other codebooks") != std::string::npos) {
            fs::remove(catalogue);  // made by a build with other codebooks
            indexed = RunProgram(HARKBOX_SERVER, index, &out, &err);
        }
        ASSERT_EQ(indexed, 0) << out << err;
        service_ = std::make_unique<ChildProcess>(
            HARKBOX_SERVER,
            std::vector<std::string>{"serve", "--catalogue", catalogue.string(), "--address",
                                     HARKBOX_E2E_WEB_HOST, "--http-port",
                                     std::to_string(HARKBOX_E2E_WEB_PORT), "--public-host",
                                     HARKBOX_E2E_WEB_HOST});
        ASSERT_TRUE(service_->WaitFor("identification on UDP", true, 20))
            << service_->out << service_->err;

        // The program with its own settings (window place and width) and the
        // fonts of the reference pictures, capturing from the private daemon.
        const fs::path settings = root_ / "config" / "Harkbox Project" / "Harkbox";
        fs::create_directories(settings);
        std::ofstream(settings / "Settings.reg", std::ios::binary)
            << "Harkbox Settings 1\n\"HarkboxWindowOrigin\"=\"(" << kX << ", " << kY
            << ")\"\r\n\"HarkboxWindowWidth\"=dword:" << std::hex << std::setw(8)
            << std::setfill('0') << kWidth << "\r\n";
        fs::create_directories(root_ / "windows" / "Fonts");
        fs::create_symlink(kArial, root_ / "windows" / "Fonts" / "Arial.ttf");
        fs::create_symlink(kLastResort, root_ / "windows" / "Fonts" / "LastResort.ttf");
        program_ = std::make_unique<ChildProcess>(
            HARKBOX_PROGRAM, std::vector<std::string>{},
            std::vector<std::string>{"XDG_CONFIG_HOME=" + (root_ / "config").string(),
                                     "SYSTEMROOT=" + (root_ / "windows").string(),
                                     "PULSE_SERVER=" + pulse_.server(), "NO_AT_BRIDGE=1"},
            (root_ / "harkbox.log").string());
        ASSERT_EQ(WaitForLines({"Harkbox ready", "Click to identify song", ""}, 20), 0u)
            << "the ready state is not shown";
    }

    // The children end with the fixture, the program first.
    void TearDown() override {
        if (!root_.empty() && HasFailure())
            std::printf("logs kept in %s\n", root_.c_str());
        else if (!root_.empty())
            fs::remove_all(root_);
    }

    // The window's rectangle as the screen shows it; empty on failure.
    static Screenshot Capture() {
        const std::string bytes = Output("import -window root -crop " + std::to_string(kWidth) +
                                         "x" + std::to_string(kHeight) + "+" + std::to_string(kX) +
                                         "+" + std::to_string(kY) + " +repage -depth 8 rgb:-");
        return bytes.size() == size_t(kWidth * kHeight * 3) ? Screenshot(bytes.begin(), bytes.end())
                                                            : Screenshot{};
    }

    // How many pixels of the status lines disagree with `lines` drawn as
    // the window draws them (white text over the skin and the waveform):
    // where the text covers a pixel fully it must be white, and away from
    // the text (a pixel and its eight neighbours uncovered) it must not be.
    size_t Mismatches(const Screenshot& shot, const std::array<std::string, 3>& lines) {
        if (shot.empty())
            return size_t(kWidth * kHeight);
        size_t bad = 0;
        for (int i = 0; i < 3; ++i) {
            const Rect view{kContentLeft, kLineTops[i], kWidth - kContentRightMargin,
                            kLineTops[i + 1]};
            Mask coverage;
            if (coverage.SetBounds(view))
                coverage.Fill(0);
            TextStyle style;
            style.font = &fonts_;
            style.m0 = style.m3 = kLineSizes[i];
            style.originX = float(kContentLeft);
            style.originY = float(kLineTops[i + 1] - 3);
            style.flags = kTextEllipsis;
            RenderText(coverage, view, lines[i], style, view);
            const auto covered = [&](int x, int y) {
                if (x < view.left || x >= view.right || y < view.top || y >= view.bottom)
                    return 0;
                return int(*coverage.At(x, y));
            };
            for (int y = view.top; y < view.bottom; ++y) {
                for (int x = view.left; x < view.right; ++x) {
                    const uint8_t* p = &shot[size_t((y * kWidth + x) * 3)];
                    const bool white = std::min({p[0], p[1], p[2]}) >= 200;
                    int near = 0;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx)
                            near = std::max(near, covered(x + dx, y + dy));
                    if ((covered(x, y) >= 240 && !white) || (near == 0 && white))
                        ++bad;
                }
            }
        }
        return bad;
    }

    // Waits (at most `seconds`) until the window shows `lines`; answers the
    // last count of disagreeing pixels.
    size_t WaitForLines(const std::array<std::string, 3>& lines, double seconds) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(int(seconds * 1000));
        size_t bad = 0;
        while ((bad = Mismatches(last_ = Capture(), lines)) != 0 && Clock::now() < deadline)
            std::this_thread::sleep_for(250ms);
        return bad;
    }

    // A second after the sound started, as a user would.
    void ClickFind() {
        Shell("xdotool sleep 1 mousemove " + std::to_string(kX + kFindCentreX) + " " +
              std::to_string(kY + kFindCentreY) + " sleep 0.1 click 1");
    }

    // Whether two shots differ where the link button goes.
    static bool LinkAreasDiffer(const Screenshot& a, const Screenshot& b) {
        bool differ = false;
        for (int y = kLinkTop; y < kLinkTop + kLinkSide && a.size() == b.size() && !a.empty(); ++y)
            differ = differ || !std::equal(&a[size_t((y * kWidth + kLinkLeft) * 3)],
                                           &a[size_t((y * kWidth + kLinkLeft + kLinkSide) * 3)],
                                           &b[size_t((y * kWidth + kLinkLeft) * 3)]);
        return differ;
    }

    fs::path root_;
    std::unique_ptr<ChildProcess> display_;
    PulseDaemon pulse_;
    std::unique_ptr<ChildProcess> service_;
    std::unique_ptr<ChildProcess> program_;
    Screenshot last_;
    FontChain fonts_ = [] {
        FontChain chain;
        for (const fs::path& file : {kArial, kLastResort}) {
            auto font = std::make_unique<TrueTypeFont>();
            if (font->Load(file.string()) == 0)
                chain.Add(std::move(font));
        }
        return chain;
    }();
};

TEST_F(HarkboxRunTest, ACataloguedRecordingIsNamedOnTheWindowWithItsLink) {
    const Screenshot idle = last_;
    const fs::path song = kMusic / kCatalogued[0];
    const auto [title, artist] = SongNames(song);
    ASSERT_TRUE(pulse_.Play(Excerpt(song, 60, 40)));
    ClickFind();
    EXPECT_EQ(WaitForLines({title, artist, ""}, 45), 0u)
        << "no answer " << title << " / " << artist << " on the window";
    EXPECT_TRUE(LinkAreasDiffer(last_, idle)) << "the link button is not shown";
    EXPECT_TRUE(service_->WaitFor("answer: " + title + " / " + artist, false, 10)) << service_->out;
}

TEST_F(HarkboxRunTest, ARecordingOutsideTheCatalogueEndsAsSongNotFound) {
    ASSERT_TRUE(pulse_.Play(Excerpt(kMusic / kUnknown, 20, 80)));
    ClickFind();
    // The run gives up after 60 seconds of sound without an answer.
    EXPECT_EQ(WaitForLines({"Song not found", "Click to try again", ""}, 80), 0u);
}

TEST_F(HarkboxRunTest, SilenceEndsAsSignalTooWeak) {
    ClickFind();
    // Four seconds without sound above the threshold.
    EXPECT_EQ(WaitForLines({"Signal too weak", "Check your microphone", ""}, 20), 0u);
}

}  // namespace
}  // namespace quil
