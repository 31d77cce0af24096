#include <unistd.h>

#include <cstdio>
#include <thread>

#include "server/CatalogueLoader.h"
#include "server/Indexer.h"
#include "server/main/ServerCommands.h"

namespace quil::server {

void AddIndexCommand(CLI::App& app) {
    auto* command = app.add_subcommand(
        "index",
        "Add recordings (files or folders of sound files) to a catalogue, which is "
        "created when missing; files already indexed are skipped");
    struct Options {
        std::string catalogue;
        std::vector<std::string> paths;
        int threads = 0;
    };
    auto options = std::make_shared<Options>();
    command->add_option("--catalogue", options->catalogue, "catalogue file (SQLite)")->required();
    command->add_option("paths", options->paths, "sound files or folders")->required();
    command
        ->add_option("--threads", options->threads,
                     "files analysed at once (default: one per core)")
        ->check(CLI::NonNegativeNumber);
    command->callback([options] {
        SqliteCatalogue store;
        if (store.Open(options->catalogue, true) != 0)
            FailCommand("index", store.ErrorText());
        const std::string checksum = store.CodebookChecksum();
        if (checksum.empty()) {
            if (store.SetCodebookChecksum(BuildCodebookChecksum()) != 0)
                FailCommand("index", store.ErrorText(), 1);
        } else if (checksum != BuildCodebookChecksum()) {
            FailCommand("index", "the catalogue was made with other codebooks than this build's");
        }
        std::vector<std::string> missing;
        std::vector<std::string> files = Indexer::ExpandPaths(options->paths, missing);
        for (const std::string& path : missing)
            std::fprintf(stderr, "%s: no such file or folder\n", path.c_str());
        int threads = options->threads > 0
                          ? options->threads
                          : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        const bool terminal = isatty(STDERR_FILENO) != 0;
        size_t done = 0;
        Indexer indexer(store, threads);
        Indexer::Totals totals = indexer.Run(
            files, [&](const std::string& path, Indexer::Outcome outcome, const std::string& text) {
                const char* word = outcome == Indexer::Outcome::kAdded     ? "added"
                                   : outcome == Indexer::Outcome::kSkipped ? "skipped"
                                                                           : "failed";
                if (terminal)
                    std::fprintf(stderr, "\r\033[K");
                std::printf("%s\t%s\t%s\n", path.c_str(), word, text.c_str());
                std::fflush(stdout);
                ++done;
                if (terminal)
                    std::fprintf(stderr, "[%zu/%zu]", done, files.size());
            });
        if (terminal)
            std::fprintf(stderr, "\r\033[K");
        std::fprintf(stderr, "%d added (%.1f minutes), %d skipped, %d failed\n", totals.added,
                     totals.seconds / 60, totals.skipped, totals.failed);
        if (!missing.empty() || (totals.failed > 0 && totals.added + totals.skipped == 0))
            throw CLI::RuntimeError(1);
    });
}

}  // namespace quil::server
