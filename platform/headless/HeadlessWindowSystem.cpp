#include "platform/headless/HeadlessWindowSystem.h"

#include <algorithm>
#include <utility>

#include "platform/headless/HeadlessSettingsDialog.h"
#include "platform/headless/HeadlessWindow.h"

namespace quil {

namespace {

// Distance along one axis between [a0, a1) and [b0, b1); 0 when they meet.
int64_t Gap(int32_t a0, int32_t a1, int32_t b0, int32_t b1) {
    if (int64_t{a1} <= b0)
        return int64_t{b0} - a1;
    if (int64_t{b1} <= a0)
        return int64_t{a0} - b1;
    return 0;
}

int64_t Overlap(const Rect& a, const Rect& b) {
    const Rect common = a.Intersect(b);
    return common.IsEmpty() ? 0 : common.Width() * common.Height();
}

}  // namespace

HeadlessWindowSystem::HeadlessWindowSystem(std::vector<Rect> workAreas) {
    SetWorkAreas(std::move(workAreas));
}

HeadlessWindowSystem::~HeadlessWindowSystem() = default;

void HeadlessWindowSystem::SetWorkAreas(std::vector<Rect> workAreas) {
    workAreas_ = std::move(workAreas);
    if (workAreas_.empty())
        workAreas_.push_back(Rect{0, 0, 1920, 1080});
}

std::unique_ptr<NativeWindow> HeadlessWindowSystem::CreateNativeWindow(
    const Rect& rect, uint32_t flags, NativeWindowListener& listener, int& error) {
    if (failNext_ != 0) {
        error = std::exchange(failNext_, 0);
        return nullptr;
    }
    error = 0;
    ++created_;
    const bool layered = layered_ && (flags & kWindowLayered) != 0;
    return std::make_unique<HeadlessWindow>(rect, flags, layered, listener);
}

std::unique_ptr<SettingsDialogWindow> HeadlessWindowSystem::CreateSettingsDialog(
    const SettingsDialogLayout& layout, SettingsDialogListener& listener, int& error) {
    if (failNext_ != 0) {
        error = std::exchange(failNext_, 0);
        return nullptr;
    }
    error = 0;
    ++dialogsCreated_;
    return std::make_unique<HeadlessSettingsDialog>(layout, listener);
}

Rect HeadlessWindowSystem::WorkAreaFor(const Rect& rect) {
    const Rect* best = &workAreas_.front();
    int64_t bestOverlap = -1;
    int64_t bestGap = INT64_MAX;
    for (const Rect& area : workAreas_) {
        const int64_t overlap = Overlap(rect, area);
        const int64_t dx = Gap(rect.left, rect.right, area.left, area.right);
        const int64_t dy = Gap(rect.top, rect.bottom, area.top, area.bottom);
        const int64_t gap = dx * dx + dy * dy;
        if (overlap > bestOverlap || (overlap == 0 && bestOverlap == 0 && gap < bestGap)) {
            best = &area;
            bestOverlap = overlap;
            bestGap = gap;
        }
    }
    return *best;
}

int HeadlessWindowSystem::RunMainLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || !tasks_.empty(); });
        if (quit_)
            break;
        std::function<void()> task = std::move(tasks_.front());
        tasks_.pop_front();
        lock.unlock();
        task();
        lock.lock();
    }
    quit_ = false;
    return exitCode_;
}

void HeadlessWindowSystem::PostQuit(int exitCode) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
        exitCode_ = exitCode;
    }
    wake_.notify_all();
}

void HeadlessWindowSystem::Post(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_all();
}

void HeadlessWindowSystem::SetEndRequestHandler(std::function<void()> handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    endRequest_ = std::move(handler);
}

void HeadlessWindowSystem::RequestEnd() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!endRequest_)
            return;
        // Looked up when the task runs, as a signal source would be.
        tasks_.push_back([this] {
            std::function<void()> handler;
            {
                std::lock_guard<std::mutex> hold(mutex_);
                handler = endRequest_;
            }
            if (handler)
                handler();
        });
    }
    wake_.notify_all();
}

bool HeadlessWindowSystem::OpenUrl(const std::string& url) {
    openedUrls_.push_back(url);
    return true;
}

int HeadlessWindowSystem::RunPendingTasks() {
    std::deque<std::function<void()>> now;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        now.swap(tasks_);
    }
    for (auto& task : now)
        task();
    return static_cast<int>(now.size());
}

}  // namespace quil
