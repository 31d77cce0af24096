#pragma once

#include <cstddef>

namespace quil {

// One file carried in the program's read-only data (see
// cmake/EmbedFiles.cmake): its name (file name without extension) and bytes,
// which live for the whole run. The bytes start 16-byte aligned.
struct EmbeddedFile {
    const char* name;
    const unsigned char* data;
    size_t size;
};

}  // namespace quil
