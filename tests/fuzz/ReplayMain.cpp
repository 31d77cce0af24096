// Replays fuzz inputs through an entry point: every file named on the
// command line, and every file inside a named folder. Exits non-zero when a
// path cannot be read; a fault in the code under test crashes as it would
// under the fuzzer.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "tests/fuzz/FuzzCheck.h"

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        if (!fs::is_directory(argv[i], error))
            files.emplace_back(argv[i]);
        for (auto entry = fs::directory_iterator(argv[i], error); entry != fs::end(entry); ++entry)
            files.push_back(entry->path());
    }
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        if (!in)
            return 2;
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("replayed %zu inputs\n", files.size());
    return 0;
}
