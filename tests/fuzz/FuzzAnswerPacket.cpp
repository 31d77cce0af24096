// Query-phase datagrams: any bytes are read without reaching past them, and
// an answer's fields are non-empty, free of line feeds and 0 bytes, at most
// eight, packed from the front, and together no longer than the text.
#include <string>

#include "net/QueryPackets.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using quil::fuzz::Require;
    // The token the datagram itself carries, so that answers get through.
    quil::AnswerFields fields;
    const bool answer =
        quil::QueryPackets::Read(quil::ByteReader(data, size), size > 4 ? data[4] : 0,
                                 size > 5 ? data[5] : 0, fields) == quil::QueryReply::kAnswer;
    size_t total = 0;
    for (size_t i = 0; i < fields.size(); ++i) {
        Require(answer || fields[i].empty());
        Require(fields[i].empty() ||
                (!fields[i - (i > 0)].empty() &&
                 fields[i].find_first_of(std::string("\n\0", 2)) == std::string::npos));
        total += fields[i].size();
    }
    Require(!answer || (size >= 12 && total <= size - 12 && total <= quil::kMaxAnswerText));
    return 0;
}
