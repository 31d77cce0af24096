#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/SongInfo.h"

namespace quil {

// The web host's HTML pages (UTF-8) over one snapshot of the catalogue.
// Immutable once built, so any number of threads may render at once.
class WebPages {
  public:
    // Longest song text, in bytes, that a page shows; longer ones are cut.
    static constexpr size_t kMaxTextBytes = 1000;

    // `songs`: the catalogue as of now, kept. `serverHost`: where clients
    // send their codes, named on the home page.
    WebPages(std::vector<SongInfo> songs, const std::string& serverHost);

    // The home page, built once.
    const std::string& Home() const { return home_; }

    // The page about the song that a result link names by `title` and
    // `artist`, any bytes of any length. `lang` and `loc` set the page's
    // language when they are two-letter codes and are ignored otherwise.
    std::string Song(std::string_view title, std::string_view artist, std::string_view lang,
                     std::string_view loc) const;

    // The catalogue's song of that exact title and artist; failing that,
    // the first song of that title when `artist` is empty or no song of
    // the catalogue is by that artist. Null when there is none. The result
    // lives as long as this object.
    const SongInfo* Find(std::string_view title, std::string_view artist) const;

  private:
    std::string BuildHome(const std::string& serverHost) const;

    std::vector<SongInfo> songs_;
    // Index into songs_ of the first song of each key.
    std::map<std::pair<std::string, std::string>, size_t> byTitleAndArtist_;
    std::map<std::string, size_t, std::less<>> byTitle_;
    std::set<std::string, std::less<>> artists_;
    std::string home_;
};

}  // namespace quil
