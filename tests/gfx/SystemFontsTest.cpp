// Finding font files: by name under SYSTEMROOT, else through the system's
// font configuration.
#include "gfx/SystemFonts.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "platform/FontFiles.h"
#include "tests/Environment.h"
#include "tests/gfx/TestFontBuilder.h"

// fontconfig loses a few hundred bytes once, while it parses its
// configuration files on first use; that is not a leak of ours. The fast
// unwinder records only the innermost frames, so the match is by library.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace quil {
namespace {

// Sets or clears SYSTEMROOT for one test and puts it back afterwards.
class SystemRootScope {
  public:
    explicit SystemRootScope(const char* value) {
        if (const char* old = std::getenv("SYSTEMROOT"))
            saved_ = old;
        if (value) {
            test::SetEnvironment("SYSTEMROOT", value);
        } else {
            test::ClearEnvironment("SYSTEMROOT");
        }
    }
    ~SystemRootScope() {
        if (saved_) {
            test::SetEnvironment("SYSTEMROOT", *saved_);
        } else {
            test::ClearEnvironment("SYSTEMROOT");
        }
    }

  private:
    std::optional<std::string> saved_;
};

TEST(SystemFontsTest, FontconfigFindsArialOrAStandIn) {
    SystemRootScope root(nullptr);
    const std::string path = FindFontFile("Arial");
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(std::filesystem::exists(path)) << path;
    auto font = OpenSystemFont("Arial");
    if (path.ends_with(".ttf")) {
        ASSERT_NE(font, nullptr) << path;
        EXPECT_NE(font->GlyphForUnicode('A'), 0u);
    }
    auto first = OpenFirstFont({"Arial", "Geneva"});
    EXPECT_EQ(first != nullptr, font != nullptr);
}

TEST(SystemFontsTest, SystemRootFolder) {
    const std::filesystem::path root = std::filesystem::path(HARKBOX_BINARY_DIR) / "test-output" /
                                       ("SystemFontsTest-" + std::to_string(getpid()));
    std::filesystem::create_directories(root / "Fonts");
    ASSERT_TRUE(test::WriteFile((root / "Fonts" / "Test.ttf").string(),
                                test::TestFontBuilder::Basic().Build()));
    ASSERT_TRUE(test::WriteFile((root / "Fonts" / "Junk.ttf").string(), {1, 2, 3}));
    {
        SystemRootScope scope(root.string().c_str());
        EXPECT_EQ(FindFontFile("Test"), root.string() + "/Fonts/Test.ttf");
        EXPECT_EQ(FindFontFile("Missing"), root.string() + "/Fonts/Missing.ttf");

        auto font = OpenSystemFont("Test");
        ASSERT_NE(font, nullptr);
        EXPECT_EQ(font->GlyphForUnicode('A'), 1u);
        EXPECT_EQ(OpenSystemFont("Missing"), nullptr);
        EXPECT_EQ(OpenSystemFont("Junk"), nullptr);
        auto first = OpenFirstFont({"Missing", "Junk", "Test"});
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->GlyphForByte('O'), 3u);
        EXPECT_EQ(OpenFirstFont({"Missing", nullptr, "Test"}), nullptr);
        EXPECT_EQ(OpenFirstFont({}), nullptr);
    }
    std::filesystem::remove_all(root);
}

TEST(SystemFontsTest, LongPathsAreCutAt511Characters) {
    const std::string longRoot(600, 'r');
    SystemRootScope scope(longRoot.c_str());
    const std::string path = FindFontFile("Arial");
    EXPECT_EQ(path.size(), 511u);
    EXPECT_EQ(path, longRoot.substr(0, 511));
    EXPECT_EQ(OpenSystemFont("Arial"), nullptr);
}

}  // namespace
}  // namespace quil
