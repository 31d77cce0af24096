#include <gtest/gtest.h>
#include <stb/stb_image.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

const char* const kFont = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";

// Runs harkbox-tool with `args` (already quoted for the shell); the exit
// status, with the standard error stream kept in `errors`.
int Tool(const std::string& args, std::string* errors = nullptr) {
    // One log per test, as ctest may run the tests side by side.
    const std::string log = std::string(HARKBOX_BINARY_DIR) + "/tests/" +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                            ".stderr";
    const std::string cmd = std::string("'") + HARKBOX_TOOL + "' " + args + " 2>'" + log + "'";
    const int status = std::system(cmd.c_str());
    if (errors) {
        errors->clear();
        if (FILE* f = std::fopen(log.c_str(), "rb")) {
            char buf[512];
            size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
                errors->append(buf, n);
            std::fclose(f);
        }
    }
    return status;
}

std::string Scratch(const std::string& name) {
    const std::string path = std::string(HARKBOX_BINARY_DIR) + "/tests/" + name;
    std::filesystem::remove(path);
    return path;
}

struct Png {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::unique_ptr<unsigned char, void (*)(void*)> pixels{nullptr, stbi_image_free};
    unsigned char at(int x, int y, int c = 0) const {
        return pixels.get()[(static_cast<size_t>(y) * width + x) * channels + c];
    }
};

Png Read(const std::string& path) {
    Png png;
    png.pixels.reset(stbi_load(path.c_str(), &png.width, &png.height, &png.channels, 0));
    return png;
}

TEST(HarkboxTool, RenderTextDrawsInkWhereTheTextIs) {
    if (!std::filesystem::exists(kFont))
        GTEST_SKIP() << "Liberation Sans is not installed";
    const std::string out = Scratch("render-text.png");
    ASSERT_EQ(Tool(std::string("render-text --font ") + kFont +
                   " --size 14 --text 'Harkbox ready' --width 200 --height 18 --origin 4,14"
                   " --out '" +
                   out + "'"),
              0);
    const Png png = Read(out);
    ASSERT_NE(png.pixels, nullptr);
    EXPECT_EQ(png.width, 200);
    EXPECT_EQ(png.height, 18);
    EXPECT_EQ(png.channels, 1);
    // Ink between the origin and the end of the text (about 90 pixels at
    // 14 px), above the baseline; none left of the origin or far right.
    int inside = 0;
    int full = 0;
    for (int y = 0; y < 18; ++y) {
        for (int x = 0; x < 200; ++x) {
            const unsigned char v = png.at(x, y);
            if (x < 4 || x >= 110) {
                ASSERT_EQ(v, 0) << x << "," << y;
            } else {
                inside += v != 0;
                full += v == 255;
            }
        }
    }
    EXPECT_GT(inside, 200);
    EXPECT_GT(full, 25);
    // The H's left stem: solid from its top (cap height about 10 px) down to the baseline.
    EXPECT_GE(png.at(5, 8), 200);
    EXPECT_GE(png.at(5, 13), 200);
    EXPECT_EQ(png.at(5, 16), 0);
}

TEST(HarkboxTool, RenderTextRefusesBadInput) {
    const std::string out = Scratch("refused.png");
    const std::string common = " --text x --width 20 --height 20 --out '" + out + "'";
    std::string errors;

    EXPECT_NE(
        Tool(std::string("render-text --font /nonexistent.ttf --size 14 --origin 1,1") + common,
             &errors),
        0);
    EXPECT_NE(errors.find("cannot load font /nonexistent.ttf"), std::string::npos) << errors;

    // A file that is not a font.
    const std::string notFont = std::string(HARKBOX_SOURCE_DIR) + "/CMakeLists.txt";
    EXPECT_NE(Tool("render-text --font '" + notFont + "' --size 14 --origin 1,1" + common, &errors),
              0);
    EXPECT_NE(errors.find("not a TrueType font"), std::string::npos) << errors;

    if (std::filesystem::exists(kFont)) {
        for (const char* size : {"0", "-3", "1e9", "nan"}) {
            EXPECT_NE(Tool(std::string("render-text --font ") + kFont + " --size " + size +
                               " --origin 1,1" + common,
                           &errors),
                      0)
                << size;
            EXPECT_FALSE(errors.empty()) << size;
        }
        for (const char* origin : {"1", "1;2", "a,2", "1,", ",2", "1,2,3", "1,inf"}) {
            EXPECT_NE(Tool(std::string("render-text --font ") + kFont + " --size 14 --origin '" +
                               origin + "'" + common,
                           &errors),
                      0)
                << origin;
            EXPECT_NE(errors.find("bad origin"), std::string::npos) << origin << ": " << errors;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(HarkboxToolSkin, RenderSkinLaysOutTheWindow) {
    const std::string out = Scratch("render-skin.png");
    ASSERT_EQ(Tool("render-skin --width 250 --out '" + out + "'"), 0);
    const Png png = Read(out);
    ASSERT_NE(png.pixels, nullptr);
    EXPECT_EQ(png.channels, 4);
    ASSERT_EQ(png.width, 250 + 16);
    ASSERT_GT(png.height, 66 + 16);
    // The window sits 8 pixels in: grey outside its rounded ends, the
    // purple body (more blue than red or green) at mid-height.
    const auto isGrey = [&](int x, int y) {
        return png.at(x, y, 0) == png.at(x, y, 1) && png.at(x, y, 1) == png.at(x, y, 2);
    };
    EXPECT_TRUE(isGrey(8, 8));            // transparent corner of the left end
    EXPECT_TRUE(isGrey(8 + 249, 8));      // and of the right end
    EXPECT_TRUE(isGrey(8 + 125, 8 + 1));  // margin row above the body
    for (int x : {8 + 5, 8 + 125, 8 + 244}) {
        EXPECT_GT(png.at(x, 8 + 40, 2), png.at(x, 8 + 40, 0) + 40) << x;
        EXPECT_EQ(png.at(x, 8 + 40, 3), 255);
    }
    // The find button's white magnifier lies over the body at (10, 21).
    int white = 0;
    for (int y = 8 + 21; y < 8 + 45; ++y) {
        for (int x = 8 + 10; x < 8 + 34; ++x)
            white += png.at(x, y, 0) > 230 && png.at(x, y, 2) > 230;
    }
    EXPECT_GT(white, 20);

    std::string errors;
    EXPECT_NE(Tool("render-skin --width 199 --out '" + out + "'", &errors), 0);
    EXPECT_NE(errors.find("bad width"), std::string::npos) << errors;
    EXPECT_NE(Tool("render-skin --width 401 --out '" + out + "'"), 0);
}

}  // namespace
