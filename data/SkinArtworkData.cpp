#include "data/SkinArtworkData.h"

#include <cstring>

#include "gfx/EmbeddedImage.h"

namespace quil {

namespace {

const EmbeddedFile* Find(std::span<const EmbeddedFile> files, const char* name) {
    for (const EmbeddedFile& file : files) {
        if (std::strcmp(file.name, name) == 0)
            return &file;
    }
    return nullptr;
}

bool HasSize(const Rect& bounds, int32_t width, int32_t height) {
    return bounds == Rect{0, 0, width, height};
}

bool Wrap(std::span<const EmbeddedFile> files, const char* name, int32_t width, int32_t height,
          Image& out) {
    const EmbeddedFile* file = Find(files, name);
    if (!file || !WrapEmbeddedImage(file->data, file->size, out))
        return false;
    if (HasSize(out.bounds(), width, height))
        return true;
    out.Release();
    return false;
}

bool Wrap(std::span<const EmbeddedFile> files, const char* name, int32_t width, int32_t height,
          Mask& out) {
    const EmbeddedFile* file = Find(files, name);
    if (!file || !WrapEmbeddedMask(file->data, file->size, out))
        return false;
    if (HasSize(out.bounds(), width, height))
        return true;
    out.Release();
    return false;
}

}  // namespace

bool LoadSkinArtwork(SkinArtwork& art) {
    return LoadSkinArtwork(art, SkinImageFiles());
}

bool LoadSkinArtwork(SkinArtwork& art, std::span<const EmbeddedFile> files) {
    bool ok = true;
    ok &= Wrap(files, "linkButtonDark", 12, 12, art.linkButtonDark);
    ok &= Wrap(files, "linkButtonLight", 12, 12, art.linkButtonLight);
    ok &= Wrap(files, "closeGlyph", 8, 8, art.closeGlyph);
    ok &= Wrap(files, "zoomGlyph", 8, 8, art.zoomGlyph);
    ok &= Wrap(files, "minimizeGlyph", 8, 8, art.minimizeGlyph);
    const char* identify[3] = {"identifyButton0", "identifyButton1", "identifyButton2"};
    const char* stop[3] = {"stopButton0", "stopButton1", "stopButton2"};
    for (int i = 0; i < 3; ++i) {
        ok &= Wrap(files, identify[i], 24, 24, art.identifyButton[i]);
        ok &= Wrap(files, stop[i], 24, 24, art.stopButton[i]);
    }
    ok &= Wrap(files, "leftCapMask", 24, 66, art.leftCapMask);
    ok &= Wrap(files, "rightCapMask", 24, 66, art.rightCapMask);
    ok &= Wrap(files, "leftCapShading", 24, 66, art.leftCapShading);
    ok &= Wrap(files, "rightCapShading", 24, 66, art.rightCapShading);
    ok &= Wrap(files, "resizeGrip", 16, 16, art.resizeGrip);
    return ok;
}

}  // namespace quil
