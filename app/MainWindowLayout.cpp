// The main window's layout: the views and controls in paint order, and how
// each follows a change of the window's width.
#include <cstdio>

#include "app/Application.h"
#include "gfx/SystemFonts.h"

namespace quil {

namespace {

// Left edge of the waveform and the status lines, and the space they leave
// on the right for the link and window buttons (pixels).
constexpr int32_t kContentLeft = 40;
constexpr int32_t kContentRightMargin = 33;
// The waveform mask is as wide as the waveform view.
constexpr int32_t kWaveformMargin = kContentLeft + kContentRightMargin;
constexpr int32_t kWaveformTop = 13;
constexpr int32_t kWaveformHeight = 40;
constexpr uint32_t kWaveformOpacity = 63;
constexpr uint32_t kStatusFlags = kTextCache | kTextEllipsis;

struct StatusLine {
    int32_t top;
    int32_t bottom;
    float size;  // pixels per em
    const char* text;
};
constexpr StatusLine kStatusLines[3] = {
    {13, 31, 14.0f, "Harkbox ready"},
    {31, 46, 12.0f, "Click to identify song"},
    {46, 59, 10.0f, ""},
};

}  // namespace

bool Application::BuildViews() {
    const int32_t w = width_;
    const int32_t h = height_;
    ViewList& list = viewList();
    const Image& left = skin_.leftEnd();
    const Image& right = skin_.rightEnd();

    leftEnd_ = std::make_unique<ImageCopyView>(list, &left, left.bounds(), 0, 0);
    middle_ = std::make_unique<ImageCopyView>(list, Rect{24, 0, w - 24, h}, &right,
                                              Rect{0, 0, 1, h}, Point{0, 0}, Point{24, 0}, true);
    rightEnd_ = std::make_unique<ImageCopyView>(list, &right, right.bounds(), w - 24, 0);

    const auto windowButton = [&](uint32_t code, const Image& faint, const Image& full,
                                  const Image& half, int32_t x) {
        auto button =
            std::make_unique<Button>(this, list, code, &faint, &full, nullptr, &half, x, 8, 0);
        AddControl(*button);
        return button;
    };
    closeButton_ = windowButton(CommandCode("quit"), skin_.close(Skin::kFaint),
                                skin_.close(Skin::kFull), skin_.close(Skin::kHalf), w - 18);
    zoomButton_ = windowButton(CommandCode("zoom"), skin_.zoom(Skin::kFaint),
                               skin_.zoom(Skin::kFull), skin_.zoom(Skin::kHalf), w - 27);
    minimizeButton_ =
        windowButton(CommandCode("mini"), skin_.minimize(Skin::kFaint), skin_.minimize(Skin::kFull),
                     skin_.minimize(Skin::kHalf), w - 36);

    // An empty mask (a window narrower than its margins) stays without
    // storage and shows nothing.
    if (waveformMask_.SetBounds(Rect{0, 0, w - kWaveformMargin, kWaveformHeight}))
        waveformMask_.Fill(0);
    waveform_ = std::make_unique<MaskView>(
        list,
        Rect{kContentLeft, kWaveformTop, w - kContentRightMargin, kWaveformTop + kWaveformHeight},
        &waveformMask_, Rect{0, 0, 16000, kWaveformHeight}, Point{0, 0},
        Point{kContentLeft, kWaveformTop}, Skin::kControlColour, kWaveformOpacity);
    waveformView_ = waveform_.get();

    find_ = std::make_unique<Button>(this, list, CommandCode("FIND"), &art_.identifyButton[2],
                                     &art_.identifyButton[0], &art_.identifyButton[1], nullptr, 10,
                                     (h - 24) / 2, 0);
    AddControl(*find_);
    findButton_ = find_.get();
    link_ = std::make_unique<Button>(this, list, CommandCode("LINK"), &art_.linkButtonLight,
                                     &art_.linkButtonDark, &art_.linkButtonLight, nullptr, w - 24,
                                     (h - 12) / 2, 0);
    link_->setVisible(false);
    AddControl(*link_);
    linkButton_ = link_.get();

    fonts_.Add(OpenFirstFont({"Arial", "Geneva"}));
    fonts_.Add(OpenFirstFont({"LastResort"}));
    if (fonts_.empty())
        return false;

    for (int i = 0; i < 3; ++i) {
        const StatusLine& line = kStatusLines[i];
        const float baseline = float(line.bottom - 3);
        lines_[i] = std::make_unique<TextView>(
            list, Rect{kContentLeft, line.top, w - kContentRightMargin, line.bottom}, line.text,
            &fonts_, line.size, 0.0f, 0.0f, line.size, float(kContentLeft), baseline, 0.0f,
            Skin::kControlColour, kStatusFlags);
        statusLines_[i] = lines_[i].get();
    }

    grip_ = std::make_unique<ImageView>(list, Rect{w - 22, h - 22, w - 6, h - 6}, &art_.resizeGrip,
                                        Rect{0, 0, 16, 16}, Point{16, 16}, Point{w - 6, h - 6});
    viewsBuilt_ = true;
    FitWidthToStatus();
    return true;
}

void Application::ApplyWidthChange(int32_t d) {
    middle_->resizeBy(d, 0);
    rightEnd_->moveBy(d, 0);
    closeButton_->face().moveBy(d, 0);
    zoomButton_->face().moveBy(d, 0);
    minimizeButton_->face().moveBy(d, 0);
    // A mask narrower than one pixel (a minimised window) cannot exist: the
    // mask keeps its pixels and the view, empty now, shows none of them.
    const int64_t maskWidth = int64_t{width_} + d - kWaveformMargin;
    if (maskWidth > 0)
        waveformMask_.ResizeKeepingContent(
            Rect{0, 0, static_cast<int32_t>(maskWidth), kWaveformHeight});
    waveform_->resizeBy(d, 0);
    link_->face().moveBy(d, 0);
    for (auto& line : lines_)
        line->resizeBy(d, 0);
    grip_->moveBy(d, 0);
}

bool Application::sizeChanged(int32_t width, int32_t height) {
    LockGuard hold(*this);
    if (width != width_) {
        if (viewsBuilt_)
            ApplyWidthChange(width - width_);
        width_ = width;
    }
    return Window::sizeChanged(width, height);
}

}  // namespace quil
