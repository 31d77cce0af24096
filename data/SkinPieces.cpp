#include "data/SkinArt.h"

namespace quil::art {

namespace {
template <int kState>
bool Identify(Image& image) {
    return DrawIdentifyButton(image, kState);
}
template <int kState>
bool Stop(Image& image) {
    return DrawStopButton(image, kState);
}
template <bool kDark>
bool Link(Image& image) {
    return DrawLinkButton(image, kDark);
}

constexpr ArtPiece kPieces[] = {
    {"linkButtonDark", 12, 12, false, nullptr, Link<true>},
    {"linkButtonLight", 12, 12, false, nullptr, Link<false>},
    {"closeGlyph", 8, 8, true, DrawCloseGlyph, nullptr},
    {"zoomGlyph", 8, 8, true, DrawZoomGlyph, nullptr},
    {"minimizeGlyph", 8, 8, true, DrawMinimizeGlyph, nullptr},
    {"identifyButton0", 24, 24, false, nullptr, Identify<0>},
    {"identifyButton1", 24, 24, false, nullptr, Identify<1>},
    {"identifyButton2", 24, 24, false, nullptr, Identify<2>},
    {"stopButton0", 24, 24, false, nullptr, Stop<0>},
    {"stopButton1", 24, 24, false, nullptr, Stop<1>},
    {"stopButton2", 24, 24, false, nullptr, Stop<2>},
    {"leftCapMask", kCapWidth, kCapHeight, true, DrawLeftCapMask, nullptr},
    {"rightCapMask", kCapWidth, kCapHeight, true, DrawRightCapMask, nullptr},
    {"leftCapShading", kCapWidth, kCapHeight, false, nullptr, DrawLeftCapShading},
    {"rightCapShading", kCapWidth, kCapHeight, false, nullptr, DrawRightCapShading},
    {"resizeGrip", 16, 16, false, nullptr, DrawResizeGrip},
};
}  // namespace

std::span<const ArtPiece> SkinPieces() {
    return kPieces;
}

}  // namespace quil::art
