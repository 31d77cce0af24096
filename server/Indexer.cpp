#include "server/Indexer.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "audiofile/FileSampleSource.h"
#include "fingerprint/AnalysisConstants.h"
#include "server/RecordingCodes.h"
#include "server/Sha256.h"

namespace quil {

namespace {

bool IsSoundFileName(const std::filesystem::path& path) {
    static const char* const kExtensions[] = {".ogg", ".oga", ".opus", ".flac", ".wav",
                                              ".mp3", ".aif", ".aiff", ".au",   ".caf"};
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(std::begin(kExtensions), std::end(kExtensions), extension) !=
           std::end(kExtensions);
}

}  // namespace

Indexer::Indexer(CatalogueStore& store, int32_t threads)
    : store_(store), threads_(std::max(1, threads)) {}

std::vector<std::string> Indexer::ExpandPaths(const std::vector<std::string>& paths,
                                              std::vector<std::string>& missing) {
    namespace fs = std::filesystem;
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        std::error_code error;
        if (fs::is_directory(path, error)) {
            std::vector<std::string> found;
            fs::recursive_directory_iterator walk(
                path, fs::directory_options::skip_permission_denied, error);
            for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
                if (walk->is_regular_file(error) && IsSoundFileName(walk->path()))
                    found.push_back(walk->path().string());
            }
            std::sort(found.begin(), found.end());
            files.insert(files.end(), found.begin(), found.end());
        } else if (fs::exists(path, error)) {
            files.push_back(path);
        } else {
            missing.push_back(path);
        }
    }
    return files;
}

void Indexer::NameSong(const std::string& path, const std::string& titleTag,
                       const std::string& artistTag, SongInfo& song) {
    std::filesystem::path file(path);
    song.title = titleTag.empty() ? file.stem().string() : titleTag;
    if (!artistTag.empty()) {
        song.artist = artistTag;
    } else {
        std::filesystem::path folder = std::filesystem::absolute(file).parent_path();
        song.artist = folder.filename().string();
    }
}

Indexer::Totals Indexer::Run(const std::vector<std::string>& files, const Report& report) {
    totals_ = {};
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i; (i = next.fetch_add(1)) < files.size();)
            IndexOne(files[i], report);
    };
    const int32_t count = std::min<int32_t>(threads_, static_cast<int32_t>(files.size()));
    std::vector<std::thread> workers;
    for (int32_t t = 1; t < count; ++t)
        workers.emplace_back(work);
    work();
    for (std::thread& worker : workers)
        worker.join();
    return totals_;
}

void Indexer::IndexOne(const std::string& path, const Report& report) {
    SongInfo song;
    song.path = path;
    auto finish = [&](Outcome outcome, const std::string& text) {
        // Called with mutex_ held.
        if (outcome == Outcome::kAdded) {
            ++totals_.added;
            totals_.seconds += song.seconds;
        } else if (outcome == Outcome::kSkipped) {
            ++totals_.skipped;
        } else {
            ++totals_.failed;
        }
        if (report)
            report(path, outcome, text);
    };

    if (!Sha256File(path, song.contentHash)) {
        std::lock_guard lock(mutex_);
        finish(Outcome::kFailed, "cannot read the file");
        return;
    }
    {
        std::lock_guard lock(mutex_);
        if (store_.HasContent(song.contentHash)) {
            finish(Outcome::kSkipped, "already in the catalogue");
            return;
        }
    }

    FileSampleSource source;
    if (source.Open(path) != 0) {
        std::lock_guard lock(mutex_);
        finish(Outcome::kFailed, source.ErrorText());
        return;
    }
    NameSong(path, source.Title(), source.Artist(), song);
    // The noise of the noisy tracks is drawn from the content hash, so
    // that a recording always gets the same codes.
    uint64_t seed = 0;
    for (char c : song.contentHash)
        seed = seed * 131 + static_cast<unsigned char>(c);
    RecordingCodes codes;
    AnalyseRecordingWithNoise(source, seed, codes);
    // The analysis stops quietly at a read failure; a file that breaks off
    // in the middle is refused rather than stored in part.
    if (source.ErrorText().size() > 0) {
        std::lock_guard lock(mutex_);
        finish(Outcome::kFailed, source.ErrorText());
        return;
    }
    song.seconds =
        source.TotalLength() > 0
            ? static_cast<double>(source.TotalLength()) / kAnalysisRate
            : static_cast<double>(codes.rowAverages() + kRowHops - 1) * kHopSize / kAnalysisRate;

    std::lock_guard lock(mutex_);
    // Another thread may have stored the same content meanwhile.
    if (store_.HasContent(song.contentHash)) {
        finish(Outcome::kSkipped, "already in the catalogue");
        return;
    }
    const int64_t id = store_.AddSong(song, codes);
    if (id < 0) {
        finish(Outcome::kFailed, store_.ErrorText());
        return;
    }
    song.id = id;
    char seconds[32];
    const long long whole = std::llround(song.seconds);
    std::snprintf(seconds, sizeof(seconds), "%lld:%02lld", whole / 60, whole % 60);
    std::string line = "#";
    line += std::to_string(id);
    line += ' ';
    line += song.title;
    line += " / ";
    line += song.artist;
    line += " (";
    line += seconds;
    line += ')';
    finish(Outcome::kAdded, line);
}

}  // namespace quil
