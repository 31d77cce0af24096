#pragma once

#include <cstddef>
#include <span>

namespace quil {

// One file carried in the program's read-only data: its name (file name
// without extension) and bytes, which live for the whole run.
struct EmbeddedFile {
    const char* name;
    const unsigned char* data;
    size_t size;
};

// The skin's images (data/skin/*.img), in name order. Each array is 16-byte
// aligned, so image rows after the 16-byte header can be read in place.
std::span<const EmbeddedFile> SkinImageFiles();

}  // namespace quil
