#include "server/Sha256.h"

#include <nettle/sha2.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace quil {

namespace {

std::string Hex(sha256_ctx& context) {
    uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, sizeof(digest), digest);
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

}  // namespace

std::string Sha256Hex(const uint8_t* data, size_t size) {
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, size, data);
    return Hex(context);
}

bool Sha256File(const std::string& path, std::string& hex) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file)
        return false;
    sha256_ctx context;
    sha256_init(&context);
    std::vector<uint8_t> block(1 << 16);
    size_t got;
    while ((got = std::fread(block.data(), 1, block.size(), file.get())) > 0)
        sha256_update(&context, got, block.data());
    if (std::ferror(file.get()))
        return false;
    hex = Hex(context);
    return true;
}

}  // namespace quil
