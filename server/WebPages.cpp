#include "server/WebPages.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "server/HtmlText.h"

namespace quil {

namespace {

constexpr std::string_view kServiceName = "Harkbox reference identification service";

std::string Shown(std::string_view text) {
    return EscapeHtml(CleanUtf8(text, WebPages::kMaxTextBytes));
}

bool IsTwoLetterCode(std::string_view code) {
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    return code.size() == 2 && letter(code[0]) && letter(code[1]);
}

// A BCP 47 tag such as "de" or "de-AT". Clients send the country as "UK"
// where the tag wants "GB". English, the pages' own language, otherwise.
std::string PageLanguage(std::string_view lang, std::string_view loc) {
    if (!IsTwoLetterCode(lang)) {
        return "en";
    }
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    std::string tag{lower(lang[0]), lower(lang[1])};
    if (IsTwoLetterCode(loc)) {
        std::string country{upper(loc[0]), upper(loc[1])};
        tag += "-" + (country == "UK" ? std::string("GB") : country);
    }
    return tag;
}

// "m:ss", minutes unbounded; the catalogue's durations come from decoders,
// so nonsense is possible and shows as unknown.
std::string Duration(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0 || seconds > 1e9) {
        return "unknown";
    }
    const auto whole = static_cast<int64_t>(std::llround(seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(whole / 60),
                  static_cast<long long>(whole % 60));
    return text;
}

std::string Begin(std::string_view language, std::string_view title) {
    std::string page = "<!DOCTYPE html>\n<html lang=\"";
    page += language;
    page += "\">\n<head>\n<meta charset=\"utf-8\">\n<title>";
    page += title;
    page += "</title>\n</head>\n<body>\n";
    return page;
}

constexpr std::string_view kEnd = "</body>\n</html>\n";

}  // namespace

WebPages::WebPages(std::vector<SongInfo> songs, const std::string& serverHost)
    : songs_(std::move(songs)) {
    for (size_t i = 0; i < songs_.size(); ++i) {
        byTitleAndArtist_.try_emplace({songs_[i].title, songs_[i].artist}, i);
        byTitle_.try_emplace(songs_[i].title, i);
        artists_.insert(songs_[i].artist);
    }
    home_ = BuildHome(serverHost);
}

const SongInfo* WebPages::Find(std::string_view title, std::string_view artist) const {
    const auto exact = byTitleAndArtist_.find({std::string(title), std::string(artist)});
    if (exact != byTitleAndArtist_.end()) {
        return &songs_[exact->second];
    }
    if (!artist.empty() && artists_.contains(artist)) {
        return nullptr;
    }
    const auto byTitle = byTitle_.find(title);
    return byTitle == byTitle_.end() ? nullptr : &songs_[byTitle->second];
}

std::string WebPages::Song(std::string_view title, std::string_view artist, std::string_view lang,
                           std::string_view loc) const {
    const std::string language = PageLanguage(lang, loc);
    const SongInfo* song = Find(title, artist);
    std::string page;
    if (song == nullptr) {
        page = Begin(language, "Unknown song");
        page += "<h1>Unknown song</h1>\n<p>The catalogue has no song titled \u201C";
        page += Shown(title);
        page += "\u201D";
        if (!artist.empty()) {
            page += " by " + Shown(artist);
        }
        page += ": to the " + std::string(kServiceName) + " it is an unknown song.</p>\n";
    } else {
        const std::string shownTitle = Shown(song->title);
        const std::string shownArtist = Shown(song->artist);
        page = Begin(language,
                     song->artist.empty() ? shownTitle : shownTitle + " \u2014 " + shownArtist);
        page += "<h1>" + shownTitle + "</h1>\n";
        page +=
            song->artist.empty() ? "<p>Artist not known</p>\n" : "<p>by " + shownArtist + "</p>\n";
        page += "<dl>\n<dt>Duration</dt><dd>" + Duration(song->seconds) + "</dd>\n";
        page += "<dt>Catalogue number</dt><dd>" + std::to_string(song->id) + "</dd>\n</dl>\n";
    }
    page += "<p><a href=\"/harkbox/\">" + std::string(kServiceName) + "</a></p>\n";
    page += kEnd;
    return page;
}

std::string WebPages::BuildHome(const std::string& serverHost) const {
    std::string page = Begin("en", kServiceName);
    page += "<h1>" + std::string(kServiceName) + "</h1>\n";
    page +=
        "<p>This service names the songs that the Harkbox desktop program hears. The program "
        "sends acoustic codes of what it records over UDP to ";
    page += Shown(serverHost);
    page += " and gets back the title and artist of the song they match.</p>\n";
    double seconds = 0;
    for (const SongInfo& song : songs_) {
        if (std::isfinite(song.seconds) && song.seconds > 0) {
            seconds += song.seconds;
        }
    }
    char hours[64];
    std::snprintf(hours, sizeof hours, "%.1f", seconds / 3600);
    if (songs_.empty()) {
        page += "<p>It knows no songs yet.</p>\n";
    } else {
        page += "<p>It knows " + std::to_string(songs_.size()) +
                (songs_.size() == 1 ? " song" : " songs") + ", " + hours +
                " hours of music:</p>\n<ol>\n";
        for (const SongInfo& song : songs_) {
            page += "<li>" + Shown(song.title);
            if (!song.artist.empty()) {
                page += " \u2014 " + Shown(song.artist);
            }
            page += "</li>\n";
        }
        page += "</ol>\n";
    }
    page += kEnd;
    return page;
}

}  // namespace quil
