#include "gfx/SystemFonts.h"

#include "gfx/TrueTypeFont.h"
#include "platform/FontFiles.h"

namespace quil {

std::unique_ptr<Font> OpenSystemFont(const std::string& name) {
    const std::string path = FindFontFile(name);
    if (path.empty())
        return nullptr;
    auto font = std::make_unique<TrueTypeFont>();
    if (font->Load(path) != 0)
        return nullptr;
    return font;
}

std::unique_ptr<Font> OpenFirstFont(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (!name)
            break;
        if (auto font = OpenSystemFont(name))
            return font;
    }
    return nullptr;
}

}  // namespace quil
