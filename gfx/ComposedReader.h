#pragma once

#include <cstdint>

#include "gfx/Utf8.h"

namespace quil {

// Code points of UTF-8 text with each combining mark joined to the character
// before it wherever the composition table lists the pair (e + U+0301 gives
// U+00E9), so that a decomposed text meets the same glyphs and link encoding
// as its precomposed form. Only joins, in input order: no decomposition, no
// reordering of marks. Usage: while (!reader.done()) use(reader.Next());
class ComposedReader {
  public:
    // Decodes the first code point at once; an empty input is done at once.
    explicit ComposedReader(Utf8Decoder decoder);

    bool done() const { return done_; }
    // The next composed code point; 0 once done.
    uint32_t Next();

  private:
    Utf8Decoder decoder_;
    uint32_t pending_ = 0;
    bool done_ = false;
};

}  // namespace quil
