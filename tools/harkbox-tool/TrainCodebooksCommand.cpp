// train-codebooks: builds the two codebooks of the quantiser from sound
// files. Every file goes through the segment analysis; the rows of every
// finished segment are clustered by k-means into 256 codewords per
// codebook, and the 131 072-byte table is written for data/codebooks.bin.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "fingerprint/SegmentAnalysis.h"
#include "audiofile/FileSampleSource.h"
#include "tools/harkbox-tool/ToolCommands.h"
#include "tools/training/CodebookTrainer.h"

namespace quil::tool {

namespace {

struct TrainOptions {
    std::string out;
    uint64_t seed = 1;
    int iterations = 300;
    int threads = 2;
    std::vector<std::string> inputs;
};

[[noreturn]] void Fail(const std::string& message) {
    FailCommand("train-codebooks", message);
}

// Sound files inside folders are recognised by their ending; a file named
// on the command line is always tried.
bool LooksLikeSound(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* known : {".wav", ".flac", ".ogg", ".oga", ".mp3", ".aif", ".aiff", ".au"}) {
        if (ext == known)
            return true;
    }
    return false;
}

// The inputs with folders replaced by the sound files below them, sorted
// by path within each folder so that training sees the same order on every
// run.
std::vector<std::string> ExpandInputs(const std::vector<std::string>& inputs) {
    std::vector<std::string> files;
    for (const std::string& input : inputs) {
        std::error_code ec;
        if (!std::filesystem::is_directory(input, ec)) {
            files.push_back(input);
            continue;
        }
        std::vector<std::string> found;
        const auto options = std::filesystem::directory_options::skip_permission_denied;
        for (auto it = std::filesystem::recursive_directory_iterator(input, options, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_regular_file(ec) && LooksLikeSound(it->path()))
                found.push_back(it->path().string());
        }
        if (ec)
            Fail("cannot list " + input + ": " + ec.message());
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    }
    return files;
}

void PrintBook(int book, const CodebookTrainer::Figures& f, const float* words) {
    const CodebookTrainer::Stats s = CodebookTrainer::Measure(words);
    std::printf(
        "codebook %d: %zu rows, %d iterations (%s), %d empty clusters re-seeded, "
        "%d duplicates replaced, mean distortion %.4f\n",
        book, f.rows, f.iterations, f.converged ? "converged" : "limit reached", f.reseeded,
        f.replaced, f.meanDistortion);
    std::printf(
        "  largest |codeword sum| %.3g, lengths %.4f to %.4f, components %.4f to %.4f, %s\n",
        s.largestSum, s.shortest, s.longest, static_cast<double>(s.lowest),
        static_cast<double>(s.highest), s.distinct ? "all distinct" : "NOT all distinct");
}

void Run(const TrainOptions& o) {
    if (o.iterations < 1)
        Fail("bad iteration count " + std::to_string(o.iterations) + ": give 1 or more");
    if (o.threads < 1 || o.threads > 64)
        Fail("bad thread count " + std::to_string(o.threads) + ": give 1 to 64");
    const std::vector<std::string> files = ExpandInputs(o.inputs);
    if (files.empty())
        Fail("no sound files found");

    CodebookTrainer trainer;
    int used = 0;
    int skipped = 0;
    int64_t samples = 0;
    for (const std::string& file : files) {
        FileSampleSource source;
        if (source.Open(file) != 0) {
            std::fprintf(stderr, "skipping %s\n", source.ErrorText().c_str());
            ++skipped;
            continue;
        }
        const size_t before = trainer.Rows(0);
        const int result = AnalyseSegments(source, &trainer, CodebookTrainer::Sink, nullptr);
        if (result != 0)
            Fail(file + ": analysis failed with code " + std::to_string(result));
        if (!source.ErrorText().empty())
            std::fprintf(stderr, "%s: stopped early: %s\n", file.c_str(),
                         source.ErrorText().c_str());
        ++used;
        samples += source.TotalLength();
        std::fprintf(stderr, "%s: %zu segments\n", file.c_str(), trainer.Rows(0) - before);
    }
    const double seconds = static_cast<double>(samples) / FileSampleSource::kRate;
    std::printf("files: %d used, %d skipped\n", used, skipped);
    std::printf("audio: %.1f s (%.2f h)\n", seconds, seconds / 3600);
    std::printf("rows: %zu for codebook 0, %zu for codebook 1\n", trainer.Rows(0), trainer.Rows(1));
    std::fflush(stdout);

    CodebookTrainer::Options options;
    options.maxIterations = o.iterations;
    options.seed = o.seed;
    options.threads = o.threads;
    std::vector<float> table;
    CodebookTrainer::Figures figures[2];
    if (trainer.Train(options, table, figures) != 0)
        Fail("too few distinct rows: each codebook needs at least 256; give more audio");
    for (int book = 0; book < 2; ++book)
        PrintBook(book, figures[book],
                  table.data() + static_cast<size_t>(book) * CodebookTrainer::kBookFloats);
    if (CodebookTrainer::WriteTable(o.out, table) != 0)
        Fail("cannot write " + o.out);
    std::printf("wrote %s (%zu bytes)\n", o.out.c_str(), CodebookTrainer::kTableBytes);
}

}  // namespace

void AddTrainCodebooksCommand(CLI::App& app) {
    auto options = std::make_shared<TrainOptions>();
    CLI::App* cmd = app.add_subcommand(
        "train-codebooks",
        "Train the two codebooks by k-means over the segments of sound files and write the "
        "131 072-byte table");
    cmd->add_option("--out", options->out, "table file to write, e.g. data/codebooks.bin")
        ->required();
    cmd->add_option("--seed", options->seed, "seed of the k-means++ draws (default 1)");
    cmd->add_option("--iterations", options->iterations,
                    "Lloyd iterations at most per codebook (default 300)");
    cmd->add_option("--threads", options->threads, "threads for the assignment step (default 2)");
    cmd->add_option("inputs", options->inputs,
                    "sound files, and folders searched recursively for .wav .flac .ogg .mp3 ...")
        ->required();
    cmd->callback([options] { Run(*options); });
}

}  // namespace quil::tool
