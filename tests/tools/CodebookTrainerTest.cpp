#include "tools/training/CodebookTrainer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "tests/audiofile/SoundFiles.h"

namespace quil {
namespace {

constexpr size_t kDim = 64;

void MakeZeroMean(float* v) {
    double sum = 0;
    for (size_t i = 0; i < kDim; ++i)
        sum += v[i];
    for (size_t i = 0; i < kDim; ++i)
        v[i] = static_cast<float>(v[i] - sum / kDim);
}

void ExpectGoodBook(const float* book) {
    const CodebookTrainer::Stats s = CodebookTrainer::Measure(book);
    EXPECT_TRUE(s.distinct);
    EXPECT_LT(s.largestSum, 2e-5);
    EXPECT_GT(s.shortest, 0.0);
}

TEST(CodebookTrainer, TrainsTwoZeroMeanDistinctCodebooksFromSegments) {
    // Segments whose rows come from 40 shapes plus noise, with an offset that
    // the analysis would have removed; row 0 and rows 1-3 use different shapes.
    std::mt19937 rng(3);
    std::normal_distribution<float> shape(0.0f, 1.0f);
    std::normal_distribution<float> noise(0.0f, 0.05f);
    std::vector<float> shapes(80 * kDim);
    for (float& v : shapes)
        v = shape(rng);
    CodebookTrainer trainer;
    for (int s = 0; s < 400; ++s) {
        Segment segment{};
        segment.startFrame = s;
        for (size_t r = 0; r < 4; ++r) {
            const size_t which = (r == 0 ? 0 : 40) + rng() % 40;
            for (size_t i = 0; i < kDim; ++i)
                segment.rows[r][i] = shapes[which * kDim + i] + noise(rng) + 3.0f;
            MakeZeroMean(segment.rows[r]);
        }
        EXPECT_EQ(CodebookTrainer::Sink(&trainer, segment), 0);
    }
    CodebookTrainer::Options options;
    options.maxIterations = 50;
    std::vector<float> table;
    CodebookTrainer::Figures figures[2];
    ASSERT_EQ(trainer.Train(options, table, figures), 0);
    ASSERT_EQ(table.size(), 2 * CodebookTrainer::kBookFloats);
    ExpectGoodBook(table.data());
    ExpectGoodBook(table.data() + CodebookTrainer::kBookFloats);
    // Row 0 of each segment trains the first book, rows 1 to 3 the second;
    // 256 codewords for 40 tight shapes: every row is close to a codeword.
    EXPECT_TRUE(figures[0].rows == 400 && figures[1].rows == 1200);
    EXPECT_LT(std::max(figures[0].meanDistortion, figures[1].meanDistortion), 64 * 0.05 * 0.05);

    // The same table whatever the number of threads (1200 rows: up to four).
    options.threads = 3;
    std::vector<float> again;
    ASSERT_EQ(trainer.Train(options, again, figures), 0);
    EXPECT_EQ(again, table);
}

TEST(CodebookTrainer, FinishingReplacesDuplicatesFromTheRows) {
    // Centres with a common offset and three copies of one centre.
    std::vector<double> centres(256 * kDim, 0.5);
    for (size_t c = 0; c < 256; ++c)
        centres[c * kDim + c % kDim] += 1.0 + 0.01 * static_cast<double>(c);
    for (size_t c : {200, 201})
        std::copy_n(&centres[5 * kDim], kDim, &centres[c * kDim]);
    std::vector<float> rows(10 * kDim);
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = static_cast<float>((i / kDim + 1) * (i % 3));
    std::vector<float> book(CodebookTrainer::kBookFloats);
    EXPECT_EQ(CodebookTrainer::FinishCodebook(centres, rows, book.data()), 2);
    ExpectGoodBook(book.data());
}

TEST(CodebookTrainer, WritesTheTableAsLittleEndianFloats) {
    std::vector<float> table(2 * CodebookTrainer::kBookFloats);
    for (size_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<float>(i) * 0.25f - 1000.0f;
    const std::string path = test::ScratchPath("table.bin");
    ASSERT_EQ(CodebookTrainer::WriteTable(path, table), 0);
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(file), {}};
    ASSERT_EQ(bytes.size(), CodebookTrainer::kTableBytes);
    // -1000.0f is 0xC47A0000; float 16384, the first of codebook 1 at byte
    // 65 536, is 16384 x 0.25 - 1000 = 3096.0f, 0x45418000.
    using Bytes = std::vector<unsigned char>;
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), (Bytes{0x00, 0x00, 0x7A, 0xC4}));
    EXPECT_EQ(Bytes(bytes.begin() + 65536, bytes.begin() + 65540), (Bytes{0x00, 0x80, 0x41, 0x45}));
    EXPECT_EQ(CodebookTrainer::WriteTable(test::ScratchPath("no/such/dir/x.bin"), table),
              CodebookTrainer::kWriteFailed);
}

}  // namespace
}  // namespace quil
