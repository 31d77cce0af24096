#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Each entry point reads arbitrary bytes (`data`, `size`; borrowed for the
// call) and returns 0. ReplayMain.cpp calls it on committed inputs in every
// build; with HARKBOX_FUZZ libFuzzer calls it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace quil::fuzz {

// A broken promise of the code under test: abort, which both the fuzzer and
// the replay test report as a crash on the input at hand.
inline void Require(bool holds) {
    if (!holds)
        std::abort();
}

}  // namespace quil::fuzz
