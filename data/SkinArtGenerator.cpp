// harkbox-skin-gen OUTPUT_FOLDER: draws every piece of the skin artwork and
// writes each as OUTPUT_FOLDER/<name>.img in the embedded image format. The
// output depends on nothing but this program, so the committed files can be
// checked against a fresh run.
#include <cstdio>
#include <string>
#include <vector>

#include "data/SkinArt.h"
#include "gfx/EmbeddedImage.h"

namespace {

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
                bytes = quil::EncodeEmbeddedMask(mask);
        } else {
            quil::Image image;
            drawn = piece.drawImage(image);
            if (drawn)
                bytes = quil::EncodeEmbeddedImage(image);
        }
        const std::string path = folder + "/" + piece.name + ".img";
        if (!drawn || !WriteFile(path, bytes)) {
            std::fprintf(stderr, "harkbox-skin-gen: cannot make %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
