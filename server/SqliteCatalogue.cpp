#include "server/SqliteCatalogue.h"

#include <sqlite3.h>

#include <cstring>
#include <filesystem>

namespace quil {

namespace {

constexpr const char* kFormat = "harkbox-catalogue 1";

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS songs("
    " id INTEGER PRIMARY KEY,"
    " title TEXT NOT NULL,"
    " artist TEXT NOT NULL,"
    " seconds REAL NOT NULL,"
    " content_hash TEXT NOT NULL UNIQUE,"
    " path TEXT NOT NULL,"
    " row_averages INTEGER NOT NULL,"
    " codes BLOB NOT NULL);";

// A prepared statement that finalises itself.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) {
        sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr);
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return statement_ != nullptr; }
    sqlite3_stmt* get() const { return statement_; }
    void Text(int index, const std::string& text) {
        sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }
    std::string ColumnText(int column) const {
        const unsigned char* text = sqlite3_column_text(statement_, column);
        int size = sqlite3_column_bytes(statement_, column);
        return text ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(size))
                    : std::string();
    }

  private:
    sqlite3_stmt* statement_ = nullptr;
};

SongInfo ReadSong(const Statement& statement) {
    SongInfo song;
    song.id = sqlite3_column_int64(statement.get(), 0);
    song.title = statement.ColumnText(1);
    song.artist = statement.ColumnText(2);
    song.seconds = sqlite3_column_double(statement.get(), 3);
    song.contentHash = statement.ColumnText(4);
    song.path = statement.ColumnText(5);
    return song;
}

}  // namespace

SqliteCatalogue::~SqliteCatalogue() {
    sqlite3_close(db_);
}

int SqliteCatalogue::Fail(int code, const std::string& what) {
    error_ = what;
    if (db_)
        error_ += std::string(": ") + sqlite3_errmsg(db_);
    return code;
}

int SqliteCatalogue::Execute(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        error_ = message ? message : "statement failed";
        sqlite3_free(message);
        return kQueryFailed;
    }
    return 0;
}

int SqliteCatalogue::Open(const std::string& path, bool create) {
    sqlite3_close(db_);
    db_ = nullptr;
    error_.clear();
    std::error_code status;
    if (!create && !std::filesystem::is_regular_file(path, status)) {
        error_ = "no catalogue at " + path;
        return kOpenFailed;
    }
    int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK)
        return Fail(kOpenFailed, "cannot open " + path);
    sqlite3_busy_timeout(db_, 5000);
    // Reading the schema is the first real access: a file that is not a
    // database fails here.
    if (Execute("PRAGMA journal_mode=WAL;") != 0 || Execute(kSchema) != 0) {
        error_ = path + " is not a catalogue (" + error_ + ")";
        return kOpenFailed;
    }
    Statement read(db_, "SELECT value FROM meta WHERE key = 'format'");
    if (!read.ok())
        return Fail(kOpenFailed, "cannot read " + path);
    if (sqlite3_step(read.get()) == SQLITE_ROW) {
        if (read.ColumnText(0) != kFormat) {
            error_ = path + " is a catalogue of another format (" + read.ColumnText(0) + ")";
            return kOpenFailed;
        }
        return 0;
    }
    Statement write(db_, "INSERT INTO meta(key, value) VALUES('format', ?)");
    if (!write.ok())
        return Fail(kOpenFailed, "cannot initialise " + path);
    write.Text(1, kFormat);
    if (sqlite3_step(write.get()) != SQLITE_DONE)
        return Fail(kOpenFailed, "cannot initialise " + path);
    return 0;
}

std::string SqliteCatalogue::CodebookChecksum() {
    Statement read(db_, "SELECT value FROM meta WHERE key = 'codebooks'");
    if (read.ok() && sqlite3_step(read.get()) == SQLITE_ROW)
        return read.ColumnText(0);
    return {};
}

int SqliteCatalogue::SetCodebookChecksum(const std::string& checksum) {
    Statement write(db_, "INSERT OR REPLACE INTO meta(key, value) VALUES('codebooks', ?)");
    if (!write.ok())
        return Fail(kQueryFailed, "cannot store the codebook checksum");
    write.Text(1, checksum);
    if (sqlite3_step(write.get()) != SQLITE_DONE)
        return Fail(kQueryFailed, "cannot store the codebook checksum");
    return 0;
}

bool SqliteCatalogue::HasContent(const std::string& contentHash) {
    Statement read(db_, "SELECT 1 FROM songs WHERE content_hash = ?");
    if (!read.ok())
        return false;
    read.Text(1, contentHash);
    return sqlite3_step(read.get()) == SQLITE_ROW;
}

int64_t SqliteCatalogue::AddSong(const SongInfo& song, const RecordingCodes& codes) {
    if (codes.book0.size() != codes.book1.size()) {
        error_ = "codes of unequal length";
        return kDamaged;
    }
    Statement write(db_,
                    "INSERT INTO songs(title, artist, seconds, content_hash, path, row_averages,"
                    " codes) VALUES(?, ?, ?, ?, ?, ?, ?)");
    if (!write.ok())
        return Fail(kQueryFailed, "cannot store " + song.path);
    for (const RecordingCodes::Track& track : codes.noisy) {
        if (track.book0.size() != codes.book0.size() || track.book1.size() != codes.book0.size()) {
            error_ = "noisy codes of another length";
            return kDamaged;
        }
    }
    // The clean codes, then each noisy track's, book 0 before book 1.
    std::vector<uint8_t> blob(codes.book0);
    blob.insert(blob.end(), codes.book1.begin(), codes.book1.end());
    for (const RecordingCodes::Track& track : codes.noisy) {
        blob.insert(blob.end(), track.book0.begin(), track.book0.end());
        blob.insert(blob.end(), track.book1.begin(), track.book1.end());
    }
    write.Text(1, song.title);
    write.Text(2, song.artist);
    sqlite3_bind_double(write.get(), 3, song.seconds);
    write.Text(4, song.contentHash);
    write.Text(5, song.path);
    sqlite3_bind_int64(write.get(), 6, codes.rowAverages());
    // An empty blob binds as a zero-length blob, not as NULL.
    sqlite3_bind_blob64(write.get(), 7, blob.empty() ? "" : static_cast<const void*>(blob.data()),
                        blob.size(), SQLITE_TRANSIENT);
    // One statement outside an explicit transaction is a transaction of its own.
    if (sqlite3_step(write.get()) != SQLITE_DONE)
        return Fail(kQueryFailed, "cannot store " + song.path);
    return sqlite3_last_insert_rowid(db_);
}

int SqliteCatalogue::ForEachSong(const SongVisitor& visit) {
    Statement read(db_,
                   "SELECT id, title, artist, seconds, content_hash, path, row_averages, codes"
                   " FROM songs ORDER BY id");
    if (!read.ok())
        return Fail(kQueryFailed, "cannot read the songs");
    RecordingCodes codes;
    int step;
    while ((step = sqlite3_step(read.get())) == SQLITE_ROW) {
        SongInfo song = ReadSong(read);
        const int64_t averages = sqlite3_column_int64(read.get(), 6);
        const void* blob = sqlite3_column_blob(read.get(), 7);
        const int64_t bytes = sqlite3_column_bytes(read.get(), 7);
        // The clean track and up to kMaxNoisyTracks noisy ones.
        constexpr int64_t kMaxNoisyTracks = 8;
        const int64_t tracks = averages > 0 ? bytes / (2 * averages) : 1;
        if (averages < 0 || tracks < 1 || (averages > 0 && bytes != 2 * averages * tracks) ||
            (averages == 0 && bytes != 0) || tracks > 1 + kMaxNoisyTracks || (bytes > 0 && !blob)) {
            error_ = "song " + std::to_string(song.id) + " has damaged codes";
            return kDamaged;
        }
        const uint8_t* data = static_cast<const uint8_t*>(blob);
        const size_t half = static_cast<size_t>(averages);
        codes.book0.assign(data, data + half);
        codes.book1.assign(data + half, data + 2 * half);
        codes.noisy.resize(static_cast<size_t>(tracks - 1));
        for (size_t t = 0; t < codes.noisy.size(); ++t) {
            const uint8_t* start = data + 2 * half * (t + 1);
            codes.noisy[t].book0.assign(start, start + half);
            codes.noisy[t].book1.assign(start + half, start + 2 * half);
        }
        if (!visit(song, codes))
            return 0;
    }
    if (step != SQLITE_DONE)
        return Fail(kQueryFailed, "cannot read the songs");
    return 0;
}

std::vector<SongInfo> SqliteCatalogue::Songs() {
    std::vector<SongInfo> songs;
    Statement read(db_,
                   "SELECT id, title, artist, seconds, content_hash, path FROM songs ORDER BY id");
    while (read.ok() && sqlite3_step(read.get()) == SQLITE_ROW)
        songs.push_back(ReadSong(read));
    return songs;
}

}  // namespace quil
