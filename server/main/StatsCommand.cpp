#include <cstdio>
#include <filesystem>

#include "server/main/ServerCommands.h"

namespace quil::server {

void AddStatsCommand(CLI::App& app) {
    auto* command =
        app.add_subcommand("stats", "Size of a catalogue: songs, hours, postings, bytes");
    auto path = std::make_shared<std::string>();
    command->add_option("--catalogue", *path, "catalogue file (SQLite)")->required();
    command->callback([path] {
        SqliteCatalogue store;
        FingerprintIndex index;
        LoadCatalogue("stats", *path, store, index);
        double seconds = 0;
        for (const SongInfo& song : index.songs())
            seconds += song.seconds;
        std::error_code error;
        uintmax_t disk = 0;
        for (const char* suffix : {"", "-wal", "-shm"}) {
            uintmax_t size = std::filesystem::file_size(*path + suffix, error);
            if (!error)
                disk += size;
        }
        std::printf("songs\t%zu\n", index.songCount());
        std::printf("hours\t%.2f\n", seconds / 3600);
        std::printf("frames\t%zu\n", index.songFrames());
        std::printf("postings\t%zu\n", index.songFrames() * FingerprintIndex::kPairs);
        std::printf("bytes on disk\t%ju\n", disk);
        std::printf("bytes in memory\t%zu\n", index.MemoryBytes());
    });
}

}  // namespace quil::server
