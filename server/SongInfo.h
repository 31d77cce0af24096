#pragma once

#include <cstdint>
#include <string>

namespace quil {

// What the catalogue knows of one recording.
struct SongInfo {
    int64_t id = 0;           // the catalogue's song number, from 1
    std::string title;        // UTF-8, from the file's tags or its name
    std::string artist;       // UTF-8, from the tags or the folder; may be empty
    double seconds = 0;       // duration of the recording
    std::string contentHash;  // SHA-256 of the file's bytes, lower-case hex
    std::string path;         // where the file was when it was indexed
};

}  // namespace quil
