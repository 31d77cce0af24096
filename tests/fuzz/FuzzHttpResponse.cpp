// HTTP response heads: any received bytes either parse or are refused; a
// parsed head's body lies inside the bytes, and copying it into a 63-byte
// body buffer stays inside the buffer's 64 bytes.
#include <algorithm>
#include <cstring>
#include <memory>

#include "net/HttpClient.h"
#include "net/HttpResponse.h"
#include "tests/fuzz/FuzzCheck.h"

using quil::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // As the head read holds them: at most 4095 bytes, then a 0.
    const size_t held = std::min(size, quil::kHttpHeadBufferSize - 1);
    auto head = std::make_unique<uint8_t[]>(held + 1);
    if (held > 0)
        std::memcpy(head.get(), data, held);
    head[held] = 0;

    quil::HttpResponse response;
    const int result = quil::ParseHttpResponse(quil::ByteReader(head.get(), held), true, response);
    if (result != 0) {
        Require(result == -1);
        return 0;
    }
    Require(response.bodyStart >= 2 && response.bodyStart <= held);
    Require(head[response.bodyStart - 2] == '\r' && head[response.bodyStart - 1] == '\n');

    auto storage = std::make_unique<uint8_t[]>(64);
    quil::HttpBodyBuffer body{0, storage.get(), 63};
    quil::AppendHttpBody(body, head.get() + response.bodyStart, held - response.bodyStart);
    // The bytes beyond the head buffer, as the continued read appends them.
    quil::AppendHttpBody(body, data + held, size - held);
    Require(body.length == std::min<size_t>(63, size - response.bodyStart));
    storage[body.length] = 0;
    return 0;
}
