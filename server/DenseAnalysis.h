#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace quil {

// The catalogue's analysis of one sound, fed hop by hop: after every hop
// from the eighth on, the nearest codeword of codebook 0 and of codebook 1
// to the newest row average are appended to the two code lists, bit for
// bit what a client computes for a row starting there.
class DenseAnalysis {
  public:
    // The code lists are not owned and must outlive the analysis.
    DenseAnalysis(std::vector<uint8_t>& book0, std::vector<uint8_t>& book1);
    ~DenseAnalysis();

    // Analyses the next kHopSize samples (44 100 Hz, full scale +-1).
    void Add(const float* hop);

  private:
    struct State;
    std::unique_ptr<State> state_;  // large: on the heap
    std::vector<uint8_t>& book0_;
    std::vector<uint8_t>& book1_;
    int64_t hops_ = 0;
};

}  // namespace quil
