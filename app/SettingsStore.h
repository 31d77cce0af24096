#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quil {

// A failed settings operation. `code` is the platform's error number (errno
// values, the registry's codes on Windows; 2 for a missing key, file or
// value on both), or -1 when the stored value has the wrong type or cannot
// be parsed.
class SettingsError : public std::runtime_error {
  public:
    explicit SettingsError(int32_t code);
    int32_t code() const { return code_; }

  private:
    int32_t code_;
};

// The per-user settings: named values under a key name such as
// "SOFTWARE\\Harkbox Project\\Harkbox\\Settings", kept where the platform
// keeps them (SettingsRegistry: the registry on Windows, else one file per
// key). Every operation opens the key for itself and keeps nothing open;
// every failure throws SettingsError, and this is the only part of the
// program that throws. Main thread only.
//
// Where keys are files, a damaged file (see SettingsFileFormat) reads as if
// it held no values.
// A write needs the other values of the file to keep them; from a damaged
// file nothing can be kept, so the write replaces it with the new value alone.
class SettingsStore {
  public:
    // The longest key name; longer names are cut.
    static constexpr size_t kMaxKeyLength = 255;
    // A stored text must be shorter than this to be read by ReadText.
    static constexpr size_t kTextBufferSize = 1024;
    // The buffer of ReadPoint and WritePoint.
    static constexpr size_t kPointBufferSize = 80;

    // The key of this program: named after the company and internal names
    // of the version block of the program file at `programPath` (the
    // executable's path as started), else after that file's name. Where
    // program files carry no version block (Linux) the build's configured
    // names stand in for the block's.
    static std::string BuildSettingsKey(std::string_view programPath);
    // "SOFTWARE\\<company>\\<internal name>\\Settings" when both names are
    // non-empty, else "SOFTWARE\\Unknown Company\\<file name>\\Settings" with
    // the part of `programPath` after its last "/", or failing that its last
    // "\\", or the whole path. At most kMaxKeyLength characters.
    static std::string SettingsKeyFor(std::string_view company, std::string_view internalName,
                                      std::string_view programPath);

    // A stored 32-bit integer; -1 when the value is text.
    static int32_t ReadInt(const std::string& key, const std::string& name);
    static void WriteInt(const std::string& key, const std::string& name, int32_t value);

    // Copies a stored text with its terminating zero into `buffer` of `size`
    // bytes. -1 when the value is an integer; ERANGE when it does not fit.
    static void ReadString(const std::string& key, const std::string& name, char* buffer,
                           size_t size);
    // Stores the zero-terminated `text`.
    static void WriteString(const std::string& key, const std::string& name, const char* text);

    // A point stored as the text "(x, y)" (screen pixels). The text is read
    // as the pattern "(%d, %d)" would: the space matches any white space,
    // none included; numbers may be signed and preceded by white space;
    // anything after the second number is ignored. -1 unless both numbers
    // are read and fit 32 bits, or when the text needs more than
    // kPointBufferSize bytes.
    static void ReadPoint(const std::string& key, const std::string& name, int32_t& x, int32_t& y);
    static void WritePoint(const std::string& key, const std::string& name, int32_t x, int32_t y);

    // A stored text of at most kTextBufferSize - 1 bytes; a longer one is
    // unreadable (-1), never cut.
    static std::string ReadText(const std::string& key, const std::string& name);
    static void WriteText(const std::string& key, const std::string& name, const std::string& text);
};

}  // namespace quil
