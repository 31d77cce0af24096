#pragma once

#include <span>

#include "platform/EmbeddedFile.h"

namespace quil {

// The embedded codebook file (data/codebooks.bin), generated at build time
// by cmake/EmbedFiles.cmake; read through CodebookTable().
std::span<const EmbeddedFile> CodebookFiles();

}  // namespace quil
