#pragma once

namespace quil {

// The instructions a vector kernel may use. Every choice gives the same
// results bit for bit; kBaseline (SSE2, which every x86-64 processor has)
// lets tests hold the paths side by side on a processor that has more, and
// kBest takes the widest the processor offers.
enum class VectorInstructions { kBest, kBaseline };

}  // namespace quil
