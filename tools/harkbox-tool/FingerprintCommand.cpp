// fingerprint: the codes the program would send for a sound file, one line
// per finished segment: its start frame (hop of 1024 samples at 44 100 Hz)
// and then the 4 x M codeword numbers, row after row, nearest first.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "fingerprint/Fingerprint.h"
#include "audiofile/FileSampleSource.h"
#include "tools/harkbox-tool/ToolCommands.h"

namespace quil::tool {

namespace {

struct FingerprintCommandOptions {
    int candidates = 1;
    bool realTime = false;
    std::string file;
};

constexpr int kWriteFailed = 1;

[[noreturn]] void Fail(const std::string& message) {
    FailCommand("fingerprint", message);
}

int PrintSegment(void* context, int32_t m, const uint8_t* codes, const double*,
                 int32_t startFrame) {
    FILE* out = static_cast<FILE*>(context);
    std::string line = std::to_string(startFrame);
    for (int32_t i = 0; i < 4 * m; ++i) {
        line += ' ';
        line += std::to_string(codes[i]);
    }
    line += '\n';
    if (std::fputs(line.c_str(), out) < 0)
        return kWriteFailed;
    // Paced runs show each segment as it is made.
    return std::fflush(out) == 0 ? 0 : kWriteFailed;
}

void Run(const FingerprintCommandOptions& o) {
    if (o.candidates < 1 || o.candidates > 255)
        Fail("bad candidate count " + std::to_string(o.candidates) + ": give 1 to 255");
    FileSampleSource source;
    if (source.Open(o.file) != 0)
        Fail(source.ErrorText());
    source.SetRealTime(o.realTime);
    FingerprintOptions options;
    options.candidates = o.candidates;
    const int result = ComputeFingerprint(source, stdout, PrintSegment, &options);
    if (result == kWriteFailed)
        Fail("cannot write to the standard output");
    if (result != 0)
        Fail("analysis failed with code " + std::to_string(result));
    // A decoding error ends the stream like the end of the file; it is
    // still a failure of the command.
    if (!source.ErrorText().empty())
        Fail(o.file + ": " + source.ErrorText());
}

}  // namespace

void AddFingerprintCommand(CLI::App& app) {
    auto options = std::make_shared<FingerprintCommandOptions>();
    CLI::App* cmd = app.add_subcommand(
        "fingerprint",
        "Print the codes of a sound file: per segment one line, the start frame and 4 x M "
        "codeword numbers");
    cmd->add_option("--candidates", options->candidates,
                    "nearest codewords per row (M, 1 to 255; default 1)");
    cmd->add_flag("--realtime", options->realTime,
                  "read the file no faster than it would be captured live");
    cmd->add_option("file", options->file, "sound file (WAV, FLAC, Ogg Vorbis, MP3, ...)")
        ->required();
    cmd->callback([options] { Run(*options); });
}

}  // namespace quil::tool
