#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quil {

// SHA-256 digests as lower-case hex (64 characters), by nettle.
std::string Sha256Hex(const uint8_t* data, size_t size);
// Of a whole file, read in blocks; false (and `hex` untouched) when it
// cannot be read.
bool Sha256File(const std::string& path, std::string& hex);

}  // namespace quil
