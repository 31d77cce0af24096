// The whole idle window, as the headless backend shows it, against the
// committed reference picture. After a change of the artwork, the layout or
// the text drawing, look at the new picture and regenerate the reference:
//   HARKBOX_UPDATE_REFERENCE=1 build/dev/tests/harkbox_app_tests
//       --gtest_filter='AppTest.IdleWindowMatchesTheReferencePicture'
// (one command line).
#include <gtest/gtest.h>
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <cstdlib>
#include <string>

#include "AppTestSupport.h"

namespace quil {
namespace {

using testing::AppTest;

const std::string kReference =
    std::string(HARKBOX_SOURCE_DIR) + "/tests/app/reference/idle-window-200.png";

TEST_F(AppTest, IdleWindowMatchesTheReferencePicture) {
    ASSERT_EQ(StartApp(), 0);
    std::vector<uint8_t> shot;
    int32_t w = 0;
    int32_t h = 0;
    {
        // One pass of silence for sure, whether the ticker ran yet or not.
        Window::LockGuard hold(app());
        app().DrawWaveformPass();
        shot = testing::ToRgba(window().Screen());
        w = window().screenWidth();
        h = window().screenHeight();
    }
    ASSERT_EQ(w, 200);
    ASSERT_EQ(h, 66);
    if (std::getenv("HARKBOX_UPDATE_REFERENCE")) {
        ASSERT_NE(stbi_write_png(kReference.c_str(), w, h, 4, shot.data(), w * 4), 0);
        GTEST_SKIP() << "wrote " << kReference;
    }

    int rw = 0;
    int rh = 0;
    int channels = 0;
    stbi_uc* loaded = stbi_load(kReference.c_str(), &rw, &rh, &channels, 4);
    ASSERT_NE(loaded, nullptr) << kReference;
    const std::vector<uint8_t> reference(loaded, loaded + size_t(rw) * size_t(rh) * 4);
    stbi_image_free(loaded);
    ASSERT_EQ(rw, w);
    ASSERT_EQ(rh, h);
    size_t differing = 0;
    for (size_t i = 0; i < shot.size(); i += 4) {
        if (std::equal(shot.begin() + i, shot.begin() + i + 4, reference.begin() + i))
            continue;
        if (differing++ < 5) {
            ADD_FAILURE() << "pixel (" << (i / 4) % w << ", " << (i / 4) / w << ") differs";
        }
    }
    if (differing != 0) {
        const std::string actual = std::string(HARKBOX_BINARY_DIR) + "/idle-window-200.png";
        stbi_write_png(actual.c_str(), w, h, 4, shot.data(), w * 4);
        ADD_FAILURE() << differing << " pixels differ; this run's picture: " << actual;
    }
}

}  // namespace
}  // namespace quil
