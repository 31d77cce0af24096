// render-text: one line of text, drawn the way the window's status lines
// are, into a coverage mask written as a greyscale PNG.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "gfx/Mask.h"
#include "gfx/RenderText.h"
#include "gfx/TrueTypeFont.h"
#include "tools/harkbox-tool/PngFile.h"
#include "tools/harkbox-tool/ToolCommands.h"

namespace quil::tool {

namespace {

struct RenderTextOptions {
    std::string font;
    double size = 0;
    std::string text;
    int width = 0;
    int height = 0;
    std::string origin;
    std::string out;
};

// Largest picture side and text size accepted: far beyond any window of
// the program, small enough that the mask and the rasteriser's grid stay a
// few hundred MiB at most.
constexpr int kMaxSide = 8192;
constexpr double kMaxSize = 4096;

[[noreturn]] void Fail(const std::string& message) {
    FailCommand("render-text", message);
}

// One real number, the whole of `text`.
bool ParseNumber(const std::string& text, float& out) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])))
        return false;
    char* end = nullptr;
    errno = 0;
    const float v = std::strtof(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

// "X,Y" in pixels, each a real number.
bool ParseOrigin(const std::string& text, float& x, float& y) {
    const size_t comma = text.find(',');
    if (comma == std::string::npos)
        return false;
    return ParseNumber(text.substr(0, comma), x) && ParseNumber(text.substr(comma + 1), y);
}

std::string FontError(int code) {
    if (code == TrueTypeFont::kEmptyFile)
        return "the file is empty";
    if (code == TrueTypeFont::kBadFont)
        return "not a TrueType font this reader can use";
    return std::strerror(code);
}

void Run(const RenderTextOptions& o) {
    if (!(o.size > 0 && o.size <= kMaxSize)) {
        Fail("bad size " + std::to_string(o.size) + ": give pixels per em, above 0 and at most " +
             std::to_string(static_cast<int>(kMaxSize)));
    }
    if (o.width < 1 || o.width > kMaxSide || o.height < 1 || o.height > kMaxSide) {
        Fail("bad picture size " + std::to_string(o.width) + " x " + std::to_string(o.height) +
             ": each side 1 to " + std::to_string(kMaxSide));
    }
    float originX = 0;
    float originY = 0;
    if (!ParseOrigin(o.origin, originX, originY)) {
        Fail("bad origin '" + o.origin + "': give X,Y in pixels, for example 4,20");
    }
    auto font = std::make_unique<TrueTypeFont>();
    if (const int code = font->Load(o.font); code != 0) {
        Fail("cannot load font " + o.font + ": " + FontError(code));
    }

    const Rect whole{0, 0, o.width, o.height};
    Mask mask;
    if (!mask.SetBounds(whole))
        Fail("out of memory for the picture");
    mask.Fill(0);
    TextStyle style;
    style.font = font.get();
    style.m0 = style.m3 = static_cast<float>(o.size);
    style.originX = originX;
    style.originY = originY;
    RenderText(mask, whole, o.text, style, whole);
    if (!WriteGreyPng(o.out, mask))
        Fail("cannot write " + o.out);
}

}  // namespace

void AddRenderTextCommand(CLI::App& app) {
    auto options = std::make_shared<RenderTextOptions>();
    CLI::App* cmd = app.add_subcommand(
        "render-text", "Draw one line of text into a greyscale PNG (coverage 255 = white)");
    cmd->add_option("--font", options->font, "TrueType font file")->required();
    cmd->add_option("--size", options->size, "text size in pixels per em")->required();
    cmd->add_option("--text", options->text, "the text, UTF-8")->required();
    cmd->add_option("--width", options->width, "picture width in pixels")->required();
    cmd->add_option("--height", options->height, "picture height in pixels")->required();
    cmd->add_option("--origin", options->origin, "X,Y: start of the baseline in pixels")
        ->required();
    cmd->add_option("--out", options->out, "PNG file to write")->required();
    cmd->callback([options] { Run(*options); });
}

}  // namespace quil::tool
