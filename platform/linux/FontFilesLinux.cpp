#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <cstdlib>

#include "platform/FontFiles.h"

namespace quil {

namespace {

constexpr size_t kPathBufferSize = 512;

std::string MatchWithFontconfig(const std::string& name) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(name.c_str()));
    if (!pattern)
        return {};
    std::string path;
    if (FcConfigSubstitute(nullptr, pattern, FcMatchPattern)) {
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        if (match) {
            FcChar8* file = nullptr;
            if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
                path = reinterpret_cast<const char*>(file);
            }
            FcPatternDestroy(match);
        }
    }
    FcPatternDestroy(pattern);
    return path;
}

}  // namespace

std::string FindFontFile(const std::string& name) {
    if (const char* root = std::getenv("SYSTEMROOT")) {
        char buffer[kPathBufferSize];
        std::snprintf(buffer, sizeof buffer, "%s/Fonts/%s.ttf", root, name.c_str());
        return buffer;
    }
    return MatchWithFontconfig(name);
}

}  // namespace quil
