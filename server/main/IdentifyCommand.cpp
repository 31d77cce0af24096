#include <cstdio>

#include "audiofile/FileSampleSource.h"
#include "fingerprint/AnalysisConstants.h"
#include "server/ExcerptSource.h"
#include "server/Matcher.h"
#include "server/QueryReplay.h"
#include "server/main/ServerCommands.h"

namespace quil::server {

void AddIdentifyCommand(CLI::App& app) {
    auto* command = app.add_subcommand(
        "identify",
        "Name the songs in sound files as the live service would: one line per file, "
        "PATH<TAB>match<TAB>TITLE<TAB>ARTIST<TAB>SECONDS or PATH<TAB>no match");
    struct Options {
        std::string catalogue;
        std::vector<std::string> files;
        double from = 0;
        double seconds = 60;
    };
    auto options = std::make_shared<Options>();
    command->add_option("--catalogue", options->catalogue, "catalogue file (SQLite)")->required();
    command->add_option("files", options->files, "sound files")->required();
    command->add_option("--from", options->from, "start of the excerpt, in seconds")
        ->check(CLI::NonNegativeNumber);
    command
        ->add_option("--seconds", options->seconds,
                     "length of the excerpt in seconds (at most 60, as a client)")
        ->check(CLI::Range(0.1, 60.0));
    command->callback([options] {
        SqliteCatalogue store;
        FingerprintIndex index;
        LoadCatalogue("identify", options->catalogue, store, index);
        Matcher matcher(std::move(index), MatcherSettings{});
        int failed = 0;
        for (const std::string& path : options->files) {
            FileSampleSource file;
            if (file.Open(path) != 0) {
                std::fprintf(stderr, "harkbox-server identify: %s\n", file.ErrorText().c_str());
                ++failed;
                continue;
            }
            ExcerptSource excerpt(file, static_cast<int64_t>(options->from * kAnalysisRate),
                                  static_cast<int64_t>(options->seconds * kAnalysisRate));
            ReplayResult result = ReplayQuery(excerpt, matcher, options->seconds);
            if (result.answer)
                std::printf("%s\tmatch\t%s\t%s\t%.2f\n", path.c_str(),
                            result.answer->song.title.c_str(), result.answer->song.artist.c_str(),
                            result.seconds);
            else
                std::printf("%s\tno match\n", path.c_str());
            std::fflush(stdout);
        }
        if (failed > 0)
            throw CLI::RuntimeError(1);
    });
}

}  // namespace quil::server
