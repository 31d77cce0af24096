#include "server/CatalogueLoader.h"

#include "fingerprint/CodebookFiles.h"
#include "server/Sha256.h"

namespace quil {

std::string BuildCodebookChecksum() {
    std::span<const EmbeddedFile> files = CodebookFiles();
    if (files.empty())
        return {};
    return Sha256Hex(files[0].data, files[0].size);
}

int LoadIndex(CatalogueStore& store, FingerprintIndex& index, std::string& error) {
    const std::string stored = store.CodebookChecksum();
    if (!stored.empty() && stored != BuildCodebookChecksum()) {
        error = "the catalogue was made with other codebooks (" + stored.substr(0, 12) +
                "...) than this build's (" + BuildCodebookChecksum().substr(0, 12) + "...)";
        return -1;
    }
    int result = store.ForEachSong([&](const SongInfo& song, const RecordingCodes& codes) {
        index.AddSong(song, codes);
        return true;
    });
    if (result != 0) {
        error = store.ErrorText();
        return -1;
    }
    index.Finish();
    return 0;
}

}  // namespace quil
