#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fingerprint/SegmentAnalysis.h"
#include "tools/training/KMeans.h"

namespace quil {

// Builds the two codebooks of the quantiser from analysed segments: row 0 of
// every segment trains codebook 0, rows 1 to 3 train codebook 1. Each
// codebook is 256 distinct zero-mean codewords of 64 floats, found by
// k-means over the collected rows.
class CodebookTrainer {
  public:
    static constexpr int32_t kCodewords = 256;
    static constexpr int32_t kDimensions = 64;
    // One codebook, and the whole table: 2 x 256 x 64 floats.
    static constexpr size_t kBookFloats = size_t{kCodewords} * kDimensions;
    static constexpr size_t kTableBytes = 2 * kBookFloats * sizeof(float);  // 131 072

    static constexpr int kTooFewRows = -1;   // a codebook has fewer than 256 distinct rows
    static constexpr int kWriteFailed = -2;  // the table file could not be written

    struct Options {
        int32_t maxIterations = 300;
        uint64_t seed = 1;
        int32_t threads = 2;
    };

    // What training did for one codebook.
    struct Figures {
        size_t rows = 0;
        int32_t iterations = 0;
        bool converged = false;
        int32_t reseeded = 0;       // empty clusters re-seeded during k-means
        int32_t replaced = 0;       // duplicate codewords replaced by training rows
        double meanDistortion = 0;  // mean squared distance of a row to its nearest codeword
    };

    // Properties of a finished codebook, for checking it.
    struct Stats {
        double largestSum = 0;  // largest |sum of the components| of a codeword
        double shortest = 0;    // smallest and largest Euclidean length
        double longest = 0;
        float lowest = 0;  // smallest and largest component
        float highest = 0;
        bool distinct = false;  // no two codewords equal
    };

    // Takes the rows of one finished segment.
    void AddSegment(const Segment& segment);
    // A SegmentSink over a CodebookTrainer given as context; always 0.
    static int Sink(void* trainer, const Segment& segment);
    // Rows collected for codebook `book` (0 or 1).
    size_t Rows(int book) const { return rows_[book].size() / kDimensions; }

    // Trains both codebooks into `table` (resized to 2 x 256 x 64 floats:
    // codebook 0 then 1, codeword after codeword). 0, or kTooFewRows.
    int Train(const Options& options, std::vector<float>& table, Figures figures[2]) const;

    // Turns k-means centres (256 x 64 doubles) into a codebook at `out`:
    // each codeword rounded to float and re-centred to zero mean; a codeword
    // equal to an earlier one is replaced by the row of `rows` (count x 64,
    // zero-mean) farthest from every codeword so far. Returns how many were
    // replaced, or kTooFewRows when the rows run out of distinct values.
    static int FinishCodebook(const std::vector<double>& centres, const std::vector<float>& rows,
                              float* out);

    static Stats Measure(const float* book);

    // Writes `table` as the 131 072-byte codebook file: little-endian
    // IEEE-754 floats in table order. 0, or kWriteFailed.
    static int WriteTable(const std::string& path, const std::vector<float>& table);

  private:
    std::vector<float> rows_[2];  // rows after rows, 64 floats each
};

}  // namespace quil
