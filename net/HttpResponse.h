#pragma once

#include <cstddef>

#include "platform/ByteReader.h"

namespace quil {

// What the head of an HTTP response says, as far as the client needs it.
struct HttpResponse {
    // The status code; only read when asked for, else 0.
    int status = 0;
    // Offset of the body's first byte in the received bytes: just after the
    // CR LF of the empty line that ends the head. At most the bytes' size.
    size_t bodyStart = 0;
};

// Reads the head of a response from its received bytes. The head is taken
// as text, up to the first 0 byte or the end: a status line whose first
// space-separated piece begins with "HTTP" or "ICY" followed by a status
// piece, the rest of the status line, then header lines (split at LF, none
// interpreted) up to a line that is exactly one CR and is followed by its
// LF. With `readStatus` the status piece must hold a decimal number.
// Answers 0 and fills `out`, or -1 when the bytes are not such a head.
int ParseHttpResponse(const ByteReader& head, bool readStatus, HttpResponse& out);

}  // namespace quil
