#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string TestFile(const std::string& suffix) {
    const std::string path = std::string(HARKBOX_BINARY_DIR) + "/tests/" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                             suffix;
    std::filesystem::remove_all(path);
    return path;
}

std::string Slurp(const std::string& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            text.append(buf, n);
        std::fclose(f);
    }
    return text;
}

struct ToolRun {
    int status = 0;
    std::string out;
    std::string errors;
};

// Runs harkbox-tool with `args` (already quoted for the shell), keeping both
// output streams.
ToolRun Tool(const std::string& args, const std::string& tag = "") {
    const std::string out = TestFile(tag + ".stdout");
    const std::string err = TestFile(tag + ".stderr");
    const std::string cmd =
        std::string("'") + HARKBOX_TOOL + "' " + args + " >'" + out + "' 2>'" + err + "'";
    ToolRun run;
    run.status = std::system(cmd.c_str());
    run.out = Slurp(out);
    run.errors = Slurp(err);
    return run;
}

void Put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

// A 16-bit mono WAV file at `rate`.
void WriteWav(const std::string& path, const std::vector<float>& samples, uint32_t rate) {
    std::string data;
    for (const float v : samples) {
        const long q = std::clamp(std::lrint(v * 32767.0), -32768L, 32767L);
        Put16(data, static_cast<uint32_t>(q) & 0xFFFF);
    }
    std::string file = "RIFF";
    Put32(file, static_cast<uint32_t>(36 + data.size()));
    file += "WAVEfmt ";
    Put32(file, 16);
    Put16(file, 1);  // PCM
    Put16(file, 1);  // mono
    Put32(file, rate);
    Put32(file, rate * 2);
    Put16(file, 2);
    Put16(file, 16);
    file += "data";
    Put32(file, static_cast<uint32_t>(data.size()));
    file += data;
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(file.data(), 1, file.size(), f), file.size());
    std::fclose(f);
}

// Plucked notes with sharp attacks at irregular times.
std::vector<float> Notes(double seconds) {
    const double rate = 44100;
    std::vector<float> v(static_cast<size_t>(seconds * rate), 0.0f);
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (double start = 0.3; start < seconds - 0.3; start += 0.3 + 0.4 * u(rng)) {
        const double f0 = 110 * std::pow(2.0, 3 * u(rng));
        const size_t first = static_cast<size_t>(start * rate);
        for (size_t i = first; i < std::min(v.size(), first + 44100); ++i) {
            const double t = static_cast<double>(i - first) / rate;
            const double env = 0.25 * std::min(1.0, t / 0.003) * std::exp(-t / 0.25);
            for (int h = 1; h <= 5; ++h)
                v[i] += static_cast<float>(env / h * std::sin(2 * M_PI * f0 * h * t));
        }
    }
    return v;
}

// The lines of the fingerprint output, each split into numbers; fails the
// test on anything else.
std::vector<std::vector<long>> ParseLines(const std::string& text, size_t numbersPerLine) {
    std::vector<std::vector<long>> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<long> numbers;
        size_t pos = 0;
        while (pos <= line.size()) {
            const size_t space = std::min(line.find(' ', pos), line.size());
            const std::string word = line.substr(pos, space - pos);
            EXPECT_FALSE(word.empty()) << "line '" << line << "'";
            EXPECT_EQ(word.find_first_not_of("0123456789"), std::string::npos) << line;
            numbers.push_back(word.empty() ? -1 : std::stol(word));
            pos = space + 1;
        }
        EXPECT_EQ(numbers.size(), numbersPerLine) << line;
        for (size_t i = 1; i < numbers.size(); ++i)
            EXPECT_LE(numbers[i], 255) << line;
        lines.push_back(numbers);
    }
    EXPECT_TRUE(text.empty() || text.back() == '\n');
    return lines;
}

TEST(FingerprintTool, PrintsStartFrameAndCodesPerSegment) {
    const std::string wav = TestFile(".wav");
    WriteWav(wav, Notes(20), 44100);

    const ToolRun one = Tool("fingerprint '" + wav + "'", "1");
    ASSERT_EQ(one.status, 0) << one.errors;
    EXPECT_TRUE(one.errors.empty()) << one.errors;
    const auto lines = ParseLines(one.out, 5);
    // About two notes a second over 20 s; every segment needs 104 hops
    // (2.4 s) to finish, so the last ones are never sent.
    EXPECT_GT(lines.size(), 15u);
    for (size_t i = 1; i < lines.size(); ++i)
        EXPECT_GT(lines[i][0], lines[i - 1][0]);
    // 20 s are 861 hops; a segment is sent 104 hops after its start.
    EXPECT_LE(lines.back()[0], 861 - 104);

    const ToolRun again = Tool("fingerprint --candidates 1 '" + wav + "'", "2");
    EXPECT_EQ(again.out, one.out);

    // Three candidates: the same segments, and each row's first candidate
    // is the nearest codeword printed with one candidate.
    const ToolRun three = Tool("fingerprint --candidates 3 '" + wav + "'", "3");
    ASSERT_EQ(three.status, 0) << three.errors;
    const auto lines3 = ParseLines(three.out, 13);
    ASSERT_EQ(lines3.size(), lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines3[i][0], lines[i][0]);
        for (size_t r = 0; r < 4; ++r)
            EXPECT_EQ(lines3[i][1 + 3 * r], lines[i][1 + r]) << "segment " << i << " row " << r;
    }
}

TEST(FingerprintTool, RefusesBadFilesAndCounts) {
    const ToolRun missing = Tool("fingerprint /nonexistent/song.wav");
    EXPECT_NE(missing.status, 0);
    EXPECT_TRUE(missing.out.empty());
    EXPECT_NE(missing.errors.find("/nonexistent/song.wav"), std::string::npos) << missing.errors;

    const std::string notSound = std::string(HARKBOX_SOURCE_DIR) + "/CMakeLists.txt";
    const ToolRun garbage = Tool("fingerprint '" + notSound + "'");
    EXPECT_NE(garbage.status, 0);
    EXPECT_TRUE(garbage.out.empty());
    EXPECT_FALSE(garbage.errors.empty());

    const std::string wav = TestFile(".wav");
    WriteWav(wav, Notes(1), 44100);
    for (const char* m : {"0", "256", "-1", "x"}) {
        const ToolRun bad = Tool(std::string("fingerprint --candidates ") + m + " '" + wav + "'");
        EXPECT_NE(bad.status, 0) << m;
        EXPECT_TRUE(bad.out.empty()) << m;
        EXPECT_FALSE(bad.errors.empty()) << m;
    }
    // Too short for any segment to finish: nothing printed, success.
    const ToolRun shortFile = Tool("fingerprint --candidates 255 '" + wav + "'");
    EXPECT_EQ(shortFile.status, 0) << shortFile.errors;
    EXPECT_TRUE(shortFile.out.empty());
}

TEST(FingerprintTool, TrainCodebooksRefusesTooLittleAudio) {
    const std::string dir = TestFile("-corpus");
    std::filesystem::create_directories(dir + "/sub");
    WriteWav(dir + "/sub/notes.wav", Notes(10), 22050);
    const std::string table = TestFile(".bin");

    const ToolRun few = Tool("train-codebooks --out '" + table + "' '" + dir + "'");
    EXPECT_NE(few.status, 0);
    EXPECT_NE(few.errors.find("too few distinct rows"), std::string::npos) << few.errors;
    EXPECT_NE(few.out.find("files: 1 used, 0 skipped"), std::string::npos) << few.out;
    EXPECT_FALSE(std::filesystem::exists(table));

    const std::string empty = TestFile("-empty");
    std::filesystem::create_directories(empty);
    const ToolRun none = Tool("train-codebooks --out '" + table + "' '" + empty + "'");
    EXPECT_NE(none.status, 0);
    EXPECT_NE(none.errors.find("no sound files"), std::string::npos) << none.errors;

    const ToolRun noOut = Tool("train-codebooks '" + dir + "'");
    EXPECT_NE(noOut.status, 0);
}

}  // namespace
