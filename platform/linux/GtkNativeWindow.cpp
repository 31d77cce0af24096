#include "platform/linux/GtkNativeWindow.h"

#include <X11/Xlib.h>
#include <X11/extensions/shape.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/WindowSystem.h"
#include "platform/linux/GtkPopupMenu.h"

namespace quil {
namespace {

constexpr uint32_t FourCharCode(const char (&code)[5]) {
    return uint32_t(uint8_t(code[0])) << 24 | uint32_t(uint8_t(code[1])) << 16 |
           uint32_t(uint8_t(code[2])) << 8 | uint32_t(uint8_t(code[3]));
}

constexpr uint32_t kCloseCommand = FourCharCode("clos");
constexpr uint32_t kAcceleratorCommand = 104;

// The part of a window that Present shares with the main loop: any thread
// adds to the damaged area, one idle callback on the main thread hands it to
// GTK. Shared ownership lets a callback that fires after the window is gone
// find `widget` cleared instead of a dangling window.
struct PendingPresent {
    std::mutex mutex;
    GtkWidget* widget = nullptr;  // main thread only; null once the window is gone
    bool scheduled = false;
    bool any = false;
    GdkRectangle area{};  // union of the damage, window coordinates
};

gboolean FlushPending(gpointer data) {
    auto& pending = **static_cast<std::shared_ptr<PendingPresent>*>(data);
    GtkWidget* widget;
    GdkRectangle area;
    bool any;
    {
        std::lock_guard<std::mutex> lock(pending.mutex);
        widget = pending.widget;
        area = pending.area;
        any = pending.any;
        pending.scheduled = false;
        pending.any = false;
    }
    if (widget && any)
        gtk_widget_queue_draw_area(widget, area.x, area.y, area.width, area.height);
    return G_SOURCE_REMOVE;
}

void FreePending(gpointer data) {
    delete static_cast<std::shared_ptr<PendingPresent>*>(data);
}

int32_t Floor(double v) {
    return static_cast<int32_t>(std::floor(v));
}

}  // namespace

struct GtkNativeWindow::Impl {
    Impl(NativeWindowListener& l, uint32_t f) : listener(l), flags(f) {}

    NativeWindowListener& listener;
    uint32_t flags;
    GtkWidget* window = nullptr;
    bool rgba = false;            // per-pixel alpha reaches the screen
    bool shapeFromAlpha = false;  // bounding shape from the image's alpha
    bool shapeDirty = true;
    cairo_region_t* pendingShape = nullptr;  // computed while drawing, set afterwards
    guint shapeSource = 0;
    bool resizable = false;
    cairo_t* paintContext = nullptr;  // only during the draw signal
    Rect rect;                        // last known or requested window rectangle
    int32_t minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0;
    bool captureRequested = false;
    // The previous press, for click counts.
    guint32 lastPressTime = 0;
    guint lastPressButton = 0;
    double lastPressX = 0, lastPressY = 0;
    bool lastPressWasDouble = false;
    std::shared_ptr<PendingPresent> pending = std::make_shared<PendingPresent>();

    int32_t ClickCount(const GdkEventButton* e);
    void Resize(int32_t width, int32_t height);
    void NoteGeometry(int32_t x, int32_t y, int32_t width, int32_t height);
    void ApplyShape(const uint32_t* pixels, int32_t stride, int32_t width, int32_t height);

    static gboolean SetShape(gpointer self);
    static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer self);
    static gboolean OnConfigure(GtkWidget*, GdkEventConfigure* e, gpointer self);
    static gboolean OnButtonPress(GtkWidget*, GdkEventButton* e, gpointer self);
    static gboolean OnButtonRelease(GtkWidget*, GdkEventButton* e, gpointer self);
    static gboolean OnMotion(GtkWidget*, GdkEventMotion* e, gpointer self);
    static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self);
    static gboolean OnCaptureEnded(GtkWidget*, GdkEvent*, gpointer self);
    static gboolean OnKeyPress(GtkWidget*, GdkEventKey* e, gpointer self);
};

int32_t GtkNativeWindow::Impl::ClickCount(const GdkEventButton* e) {
    gint time = 400;
    gint distance = 5;
    g_object_get(gtk_widget_get_settings(window), "gtk-double-click-time", &time,
                 "gtk-double-click-distance", &distance, nullptr);
    const bool isDouble = !lastPressWasDouble && e->button == lastPressButton &&
                          lastPressTime != 0 && e->time - lastPressTime <= guint32(time) &&
                          std::fabs(e->x_root - lastPressX) <= distance &&
                          std::fabs(e->y_root - lastPressY) <= distance;
    lastPressTime = e->time;
    lastPressButton = e->button;
    lastPressX = e->x_root;
    lastPressY = e->y_root;
    lastPressWasDouble = isDouble;
    return isDouble ? 2 : 1;
}

// Asks GTK for a new client size: a fixed-size window keeps its size as its
// request, a resizable one as its size within the tracking limits.
void GtkNativeWindow::Impl::Resize(int32_t width, int32_t height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (resizable) {
        gtk_window_resize(GTK_WINDOW(window), width, height);
    } else {
        gtk_widget_set_size_request(window, width, height);
    }
}

// Records the window's geometry and reports what changed: the move first,
// then the size, as the system reports them for one placement.
void GtkNativeWindow::Impl::NoteGeometry(int32_t x, int32_t y, int32_t width, int32_t height) {
    const bool resized = width != rect.Width() || height != rect.Height();
    // A corner so far out that the far edges would not fit is moved back.
    const Rect placed = Rect::Sized(x, y, width, height);
    x = placed.left;
    y = placed.top;
    const bool moved = x != rect.left || y != rect.top;
    rect = placed;
    if (moved)
        listener.moved(x, y);
    if (resized) {
        shapeDirty = true;
        listener.sizeChanged(width, height);
    }
}

void GtkNativeWindow::Impl::ApplyShape(const uint32_t* pixels, int32_t stride, int32_t width,
                                       int32_t height) {
    cairo_region_t* region = cairo_region_create();
    const auto* row = reinterpret_cast<const uint8_t*>(pixels);
    for (int32_t y = 0; y < height; ++y, row += stride) {
        const auto* line = reinterpret_cast<const uint32_t*>(row);
        int32_t x = 0;
        while (x < width) {
            while (x < width && (line[x] >> 24) == 0)
                ++x;
            const int32_t start = x;
            while (x < width && (line[x] >> 24) != 0)
                ++x;
            if (x > start) {
                const cairo_rectangle_int_t run{start, y, x - start, 1};
                cairo_region_union_rectangle(region, &run);
            }
        }
    }
    // An image without any visible pixel is not drawn yet; shaping the
    // window to nothing would hide it until the next size change.
    if (cairo_region_is_empty(region)) {
        cairo_region_destroy(region);
        return;
    }
    shapeDirty = false;
    // GDK ignores a shape set while the window draws; it is set right after.
    if (pendingShape)
        cairo_region_destroy(pendingShape);
    pendingShape = region;
    if (shapeSource == 0)
        shapeSource = g_idle_add(SetShape, this);
}

gboolean GtkNativeWindow::Impl::SetShape(gpointer self) {
    auto* impl = static_cast<Impl*>(self);
    impl->shapeSource = 0;
    cairo_region_t* region = impl->pendingShape;
    impl->pendingShape = nullptr;
    // GDK does not pass a new shape of a mapped top-level window on to the
    // server, so the shape goes to X directly. Other backends keep the
    // window rectangular.
    GdkWindow* gdkWindow = gtk_widget_get_window(impl->window);
    if (gdkWindow && GDK_IS_X11_WINDOW(gdkWindow)) {
        Display* display = GDK_WINDOW_XDISPLAY(gdkWindow);
        const Window xid = GDK_WINDOW_XID(gdkWindow);
        const int count = cairo_region_num_rectangles(region);
        std::vector<XRectangle> rects(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            cairo_rectangle_int_t r;
            cairo_region_get_rectangle(region, i, &r);
            rects[size_t(i)] = XRectangle{short(r.x), short(r.y), (unsigned short)(r.width),
                                          (unsigned short)(r.height)};
        }
        if (impl->shapeFromAlpha) {
            XShapeCombineRectangles(display, xid, ShapeBounding, 0, 0, rects.data(), count,
                                    ShapeSet, YXBanded);
        }
        XShapeCombineRectangles(display, xid, ShapeInput, 0, 0, rects.data(), count, ShapeSet,
                                YXBanded);
    }
    cairo_region_destroy(region);
    return G_SOURCE_REMOVE;
}

gboolean GtkNativeWindow::Impl::OnDraw(GtkWidget*, cairo_t* cr, gpointer self) {
    auto* impl = static_cast<Impl*>(self);
    impl->paintContext = cr;
    const bool painted = impl->listener.paint();
    impl->paintContext = nullptr;
    if (!painted) {
        cairo_save(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_rgba(cr, 0, 0, 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
    }
    return TRUE;
}

gboolean GtkNativeWindow::Impl::OnConfigure(GtkWidget*, GdkEventConfigure* e, gpointer self) {
    static_cast<Impl*>(self)->NoteGeometry(e->x, e->y, e->width, e->height);
    return FALSE;
}

gboolean GtkNativeWindow::Impl::OnButtonPress(GtkWidget*, GdkEventButton* e, gpointer self) {
    auto* impl = static_cast<Impl*>(self);
    if (e->type != GDK_BUTTON_PRESS)
        return TRUE;  // GDK's double and triple clicks
    const int32_t count = impl->ClickCount(e);
    const int32_t x = Floor(e->x);
    const int32_t y = Floor(e->y);
    if (e->button == GDK_BUTTON_SECONDARY) {
        return impl->listener.rightMouseDown(x, y, count, 0);
    }
    if (e->button != GDK_BUTTON_PRIMARY)
        return FALSE;
    if (!(impl->flags & kWindowCustomFrame))
        return impl->listener.mouseDown(x, y, count, 0);

    // A custom frame decides itself where the client area, the caption and
    // the sizing edge are. A press on the caption or the edge is offered to
    // the window first; only when it declines does the system move or size.
    const int32_t screenX = Floor(e->x_root);
    const int32_t screenY = Floor(e->y_root);
    if (impl->listener.isResizeArea(screenX, screenY)) {
        if (impl->listener.mouseDown(x, y, count, 0))
            return TRUE;
        gtk_window_begin_resize_drag(GTK_WINDOW(impl->window), GDK_WINDOW_EDGE_EAST,
                                     static_cast<gint>(e->button), screenX, screenY, e->time);
        return TRUE;
    }
    if (impl->listener.isClientArea(screenX, screenY)) {
        return impl->listener.mouseDown(x, y, count, 0);
    }
    if (impl->listener.isCaptionArea(screenX, screenY)) {
        if (impl->listener.mouseDown(x, y, count, 0))
            return TRUE;
        gtk_window_begin_move_drag(GTK_WINDOW(impl->window), static_cast<gint>(e->button), screenX,
                                   screenY, e->time);
        return TRUE;
    }
    return FALSE;
}

gboolean GtkNativeWindow::Impl::OnButtonRelease(GtkWidget*, GdkEventButton* e, gpointer self) {
    auto* impl = static_cast<Impl*>(self);
    const int32_t x = Floor(e->x);
    const int32_t y = Floor(e->y);
    if (e->button == GDK_BUTTON_PRIMARY)
        return impl->listener.mouseUp(x, y);
    if (e->button == GDK_BUTTON_SECONDARY)
        return impl->listener.rightMouseUp(x, y);
    return FALSE;
}

gboolean GtkNativeWindow::Impl::OnMotion(GtkWidget*, GdkEventMotion* e, gpointer self) {
    return static_cast<Impl*>(self)->listener.mouseMoved(Floor(e->x), Floor(e->y));
}

// A broken grab or a focus loss while a control holds the mouse: its
// release may never come to this window.
gboolean GtkNativeWindow::Impl::OnCaptureEnded(GtkWidget*, GdkEvent*, gpointer self) {
    auto* impl = static_cast<Impl*>(self);
    if (impl->captureRequested) {
        impl->captureRequested = false;
        impl->listener.captureLost();
    }
    return FALSE;
}

gboolean GtkNativeWindow::Impl::OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
    // The owner decides whether and when the window goes; GTK must not
    // destroy it on its own.
    static_cast<Impl*>(self)->listener.command(kCloseCommand, 0);
    return TRUE;
}

gboolean GtkNativeWindow::Impl::OnKeyPress(GtkWidget*, GdkEventKey* e, gpointer self) {
    // The accelerators: Alt with the character "?" or "/", whatever keys
    // produce it.
    if (!(e->state & GDK_MOD1_MASK))
        return FALSE;
    const gunichar c = gdk_keyval_to_unicode(e->keyval);
    if (c != '?' && c != '/')
        return FALSE;
    static_cast<Impl*>(self)->listener.command(kAcceleratorCommand, 0);
    return TRUE;
}

GtkNativeWindow::GtkNativeWindow(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

std::unique_ptr<GtkNativeWindow> GtkNativeWindow::Create(const Rect& rect, uint32_t flags,
                                                         bool composited,
                                                         NativeWindowListener& listener,
                                                         int& error) {
    error = 0;
    if (rect.Width() <= 0 || rect.Height() <= 0 || rect.Width() > INT32_MAX ||
        rect.Height() > INT32_MAX) {
        error = EINVAL;
        return nullptr;
    }
    auto impl = std::make_unique<Impl>(listener, flags);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    if (!window) {
        error = ENOMEM;
        return nullptr;
    }
    impl->window = window;
    GtkWindow* w = GTK_WINDOW(window);
    const bool layered = (flags & kWindowLayered) != 0;
    if (layered && composited) {
        if (GdkVisual* visual = gdk_screen_get_rgba_visual(gtk_widget_get_screen(window))) {
            gtk_widget_set_visual(window, visual);
            impl->rgba = true;
        }
    }
    impl->shapeFromAlpha = layered && !impl->rgba;
    impl->resizable = (flags & kWindowSizingBorder) != 0;
    gtk_widget_set_app_paintable(window, TRUE);
    gtk_window_set_decorated(w, (flags & kWindowCustomFrame) == 0);
    gtk_window_set_resizable(w, impl->resizable);
    gtk_window_set_gravity(w, GDK_GRAVITY_NORTH_WEST);
    gtk_window_set_title(w, "");
    gtk_widget_add_events(window, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                      GDK_POINTER_MOTION_MASK | GDK_KEY_PRESS_MASK |
                                      GDK_STRUCTURE_MASK | GDK_FOCUS_CHANGE_MASK);
    impl->rect = rect;
    gtk_window_move(w, rect.left, rect.top);
    gtk_window_set_default_size(w, int(rect.Width()), int(rect.Height()));
    impl->Resize(int32_t(rect.Width()), int32_t(rect.Height()));

    Impl* self = impl.get();
    g_signal_connect(window, "draw", G_CALLBACK(Impl::OnDraw), self);
    g_signal_connect(window, "configure-event", G_CALLBACK(Impl::OnConfigure), self);
    g_signal_connect(window, "button-press-event", G_CALLBACK(Impl::OnButtonPress), self);
    g_signal_connect(window, "button-release-event", G_CALLBACK(Impl::OnButtonRelease), self);
    g_signal_connect(window, "motion-notify-event", G_CALLBACK(Impl::OnMotion), self);
    g_signal_connect(window, "delete-event", G_CALLBACK(Impl::OnDelete), self);
    g_signal_connect(window, "grab-broken-event", G_CALLBACK(Impl::OnCaptureEnded), self);
    g_signal_connect(window, "focus-out-event", G_CALLBACK(Impl::OnCaptureEnded), self);
    g_signal_connect(window, "key-press-event", G_CALLBACK(Impl::OnKeyPress), self);
    gtk_widget_realize(window);
    impl->pending->widget = window;
    return std::unique_ptr<GtkNativeWindow>(new GtkNativeWindow(std::move(impl)));
}

GtkNativeWindow::~GtkNativeWindow() {
    {
        std::lock_guard<std::mutex> lock(impl_->pending->mutex);
        impl_->pending->widget = nullptr;
    }
    if (impl_->shapeSource != 0)
        g_source_remove(impl_->shapeSource);
    if (impl_->pendingShape)
        cairo_region_destroy(impl_->pendingShape);
    g_signal_handlers_disconnect_by_data(impl_->window, impl_.get());
    gtk_widget_destroy(impl_->window);
}

void GtkNativeWindow::Show(bool visible) {
    if (visible) {
        // GTK forgets a position given while hidden once the window was
        // shown before; give it again.
        gtk_window_move(GTK_WINDOW(impl_->window), impl_->rect.left, impl_->rect.top);
        gtk_widget_show(impl_->window);
    } else {
        gtk_widget_hide(impl_->window);
    }
}

void GtkNativeWindow::Minimize() {
    gtk_window_iconify(GTK_WINDOW(impl_->window));
}

void GtkNativeWindow::SetTitle(const std::string& utf8) {
    gtk_window_set_title(GTK_WINDOW(impl_->window), utf8.c_str());
}

Rect GtkNativeWindow::GetWindowRect() {
    return impl_->rect;
}

Rect GtkNativeWindow::GetClientRect() {
    return Rect{0, 0, int32_t(impl_->rect.Width()), int32_t(impl_->rect.Height())};
}

void GtkNativeWindow::SetWindowRect(const Rect& rect) {
    if (rect.Width() <= 0 || rect.Height() <= 0 || rect.Width() > INT32_MAX ||
        rect.Height() > INT32_MAX) {
        return;
    }
    int32_t width = int32_t(rect.Width());
    int32_t height = int32_t(rect.Height());
    if (impl_->maxWidth != 0) {
        width = std::clamp(width, impl_->minWidth, std::max(impl_->minWidth, impl_->maxWidth));
        height = std::clamp(height, impl_->minHeight, std::max(impl_->minHeight, impl_->maxHeight));
    }
    gtk_window_move(GTK_WINDOW(impl_->window), rect.left, rect.top);
    impl_->Resize(width, height);
    impl_->NoteGeometry(rect.left, rect.top, width, height);
}

void GtkNativeWindow::SetTrackingLimits(int32_t minWidth, int32_t minHeight, int32_t maxWidth,
                                        int32_t maxHeight) {
    impl_->minWidth = std::max(minWidth, 0);
    impl_->minHeight = std::max(minHeight, 0);
    impl_->maxWidth = std::max(maxWidth, 0);
    impl_->maxHeight = std::max(maxHeight, 0);
    // As on other systems, the limits count only once a maximum width is
    // given.
    if (impl_->maxWidth == 0) {
        gtk_window_set_geometry_hints(GTK_WINDOW(impl_->window), nullptr, nullptr,
                                      GdkWindowHints(0));
        return;
    }
    GdkGeometry geometry{};
    geometry.min_width = impl_->minWidth;
    geometry.min_height = impl_->minHeight;
    geometry.max_width = std::max(impl_->minWidth, impl_->maxWidth);
    geometry.max_height = std::max(impl_->minHeight, impl_->maxHeight);
    gtk_window_set_geometry_hints(GTK_WINDOW(impl_->window), nullptr, &geometry,
                                  GdkWindowHints(GDK_HINT_MIN_SIZE | GDK_HINT_MAX_SIZE));
}

void GtkNativeWindow::CaptureMouse() {
    impl_->captureRequested = true;
}

void GtkNativeWindow::ReleaseMouse() {
    impl_->captureRequested = false;
}

uint32_t GtkNativeWindow::PopupMenu(const std::vector<MenuItem>& items, int32_t x, int32_t y) {
    return GtkPopupMenu::Run(impl_->window, items, x, y);
}

bool GtkNativeWindow::IsLayered() const {
    return impl_->rgba;
}

void GtkNativeWindow::PaintPixels(const uint32_t* pixels, int32_t stride, int32_t width,
                                  int32_t height) {
    cairo_t* cr = impl_->paintContext;
    if (!cr || !pixels || width <= 0 || height <= 0 || stride < width * 4 || stride % 4 != 0) {
        return;
    }
    if (impl_->shapeDirty && (impl_->flags & kWindowLayered))
        impl_->ApplyShape(pixels, stride, width, height);
    // Cairo's ARGB32 is the image's own layout: native-endian 0xAARRGGBB,
    // premultiplied; the surface only borrows the pixels for this call.
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        const_cast<unsigned char*>(reinterpret_cast<const unsigned char*>(pixels)),
        CAIRO_FORMAT_ARGB32, width, height, stride);
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        cairo_save(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, surface, 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
    }
    cairo_surface_destroy(surface);
}

void GtkNativeWindow::Present(const uint32_t*, int32_t, int32_t width, int32_t height,
                              const std::vector<Rect>& rects) {
    // The pixels are not touched here: the repaint reads them again through
    // the listener's paint, under the toolkit's own lock.
    const Rect whole{0, 0, width, height};
    PendingPresent& pending = *impl_->pending;
    std::lock_guard<std::mutex> lock(pending.mutex);
    auto add = [&pending](const Rect& r) {
        if (r.IsEmpty())
            return;
        const GdkRectangle area{r.left, r.top, int(r.Width()), int(r.Height())};
        if (pending.any) {
            gdk_rectangle_union(&pending.area, &area, &pending.area);
        } else {
            pending.area = area;
            pending.any = true;
        }
    };
    if (rects.empty())
        add(whole);
    for (const Rect& r : rects)
        add(r.Intersect(whole));
    if (!pending.any || pending.scheduled)
        return;
    pending.scheduled = true;
    g_idle_add_full(G_PRIORITY_DEFAULT, FlushPending,
                    new std::shared_ptr<PendingPresent>(impl_->pending), FreePending);
}

}  // namespace quil
