// Query-phase datagrams: any bytes are read without reaching past them, and
// an answer's fields are non-empty, free of line feeds and 0 bytes, at most
// eight, packed from the front, and together no longer than the text.
#include <string>

#include "net/QueryPackets.h"
#include "tests/fuzz/FuzzCheck.h"

using quil::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The token the datagram itself carries, so that answers get through.
    const uint8_t token0 = size > 4 ? data[4] : 0;
    const uint8_t token1 = size > 5 ? data[5] : 0;
    quil::AnswerFields fields;
    const quil::QueryReply reply =
        quil::QueryPackets::Read(quil::ByteReader(data, size), token0, token1, fields);
    if (reply != quil::QueryReply::kAnswer) {
        for (const auto& field : fields)
            Require(field.empty());
        return 0;
    }
    size_t total = 0;
    bool ended = false;
    for (const auto& field : fields) {
        if (field.empty()) {
            ended = true;
            continue;
        }
        Require(!ended && field.find('\n') == std::string::npos &&
                field.find('\0') == std::string::npos);
        total += field.size();
    }
    Require(size >= 12 && total <= size - 12 && total <= quil::kMaxAnswerText);
    return 0;
}
