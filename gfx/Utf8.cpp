#include "gfx/Utf8.h"

#include <cstring>

namespace quil {

Utf8Decoder::Utf8Decoder(const uint8_t* begin, const uint8_t* end)
    : bytes_(begin, begin && end > begin ? static_cast<size_t>(end - begin) : 0) {}

Utf8Decoder Utf8Decoder::ZeroTerminated(const char* text) {
    // Bounding the view at the terminator makes a 0 continuation byte end the
    // input exactly as the end of a range does.
    if (!text)
        return Utf8Decoder(ByteReader());
    return Utf8Decoder(ByteReader(reinterpret_cast<const uint8_t*>(text), std::strlen(text)));
}

uint32_t Utf8Decoder::Next() {
    uint8_t lead = 0;
    if (!bytes_.ReadU8(offset_, lead))
        return 0;
    ++offset_;
    int following;
    uint32_t value;
    if (lead < 0xC0) {
        following = 0;
        value = lead & 0x7Fu;
    } else if (lead < 0xE0) {
        following = 1;
        value = lead & 0x1Fu;
    } else if (lead < 0xF0) {
        following = 2;
        value = lead & 0x0Fu;
    } else {
        following = 3;
        value = lead & 0x07u;
    }
    for (int i = 0; i < following; ++i) {
        uint8_t byte = 0;
        if (!bytes_.ReadU8(offset_, byte))
            return 0;
        ++offset_;
        value = value << 6 | (byte & 0x3Fu);
    }
    return value;
}

}  // namespace quil
