// harkbox-skin-gen OUTPUT_FOLDER: draws every piece of the skin artwork and
// writes each as OUTPUT_FOLDER/<name>.img in the embedded image format. The
// output depends on nothing but this program, so the committed files can be
// checked against a fresh run.
#include <cstdio>
#include <string>
#include <vector>

#include "data/SkinArt.h"

namespace {

void PutU32BE(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

// 16-byte header (width, height, stride, 0 as big-endian words), then the
// rows without padding; image pixels as little-endian words.
template <typename Grid>
std::vector<uint8_t> Encode(const Grid& grid, uint32_t bytesPerPixel) {
    const quil::Rect b = grid.bounds();
    const auto width = static_cast<uint32_t>(b.Width());
    const auto height = static_cast<uint32_t>(b.Height());
    std::vector<uint8_t> out;
    PutU32BE(out, width);
    PutU32BE(out, height);
    PutU32BE(out, width * bytesPerPixel);
    PutU32BE(out, 0);
    for (int32_t y = b.top; y < b.bottom; ++y) {
        for (int32_t x = b.left; x < b.right; ++x) {
            const uint32_t v = *grid.At(x, y);
            for (uint32_t i = 0; i < bytesPerPixel; ++i)
                out.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
    }
    return out;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: harkbox-skin-gen OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    for (const quil::art::ArtPiece& piece : quil::art::SkinPieces()) {
        std::vector<uint8_t> bytes;
        bool drawn = false;
        if (piece.isMask) {
            quil::Mask mask;
            drawn = piece.drawMask(mask);
            if (drawn)
                bytes = Encode(mask, 1);
        } else {
            quil::Image image;
            drawn = piece.drawImage(image);
            if (drawn)
                bytes = Encode(image, 4);
        }
        const std::string path = folder + "/" + piece.name + ".img";
        if (!drawn || !WriteFile(path, bytes)) {
            std::fprintf(stderr, "harkbox-skin-gen: cannot make %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
