// The identification run: from a click on the find button through the
// server's host name, the handshake and the streamed fingerprint to the
// outcome on the status lines.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>

#include "app/Application.h"
#include "net/HostResolver.h"
#include "net/HttpClient.h"

namespace quil {

namespace {

constexpr const char* kHostPath = "/harkbox/harkbox-host";
// The server's host name is read into this many bytes; a longer body is cut.
constexpr size_t kHostBodyCapacity = 63;
constexpr int kGetMethod = 0;

}  // namespace

void Application::ShowFindLook() {
    find_->setImages(&art_.identifyButton[2], &art_.identifyButton[0], &art_.identifyButton[1],
                     nullptr);
    find_->setCommand(CommandCode("FIND"));
}

void Application::ShowStopLook() {
    find_->setImages(&art_.stopButton[2], &art_.stopButton[0], &art_.stopButton[1], nullptr);
    find_->setCommand(CommandCode("STOP"));
}

void Application::StartRun() {
    {
        LockGuard hold(*this);
        if (!viewsBuilt_)
            return;
        ShowStopLook();
        lines_[0]->setText("Looking up server");
        lines_[1]->setText("Please wait");
        update();
        currentStatusText_ = "Looking up server";
        statusChanged_ = true;
        if (statusTickers_.Start(StatusTickerMain, this) != 0) {
            ShowOutcome(nullptr, RunOutcome::Describe(RunOutcome::Stage::kStart, -1));
            return;
        }
    }
    if (runWorkers_.Start(RunWorkerMain, this) != 0)
        ShowOutcome(nullptr, RunOutcome::Describe(RunOutcome::Stage::kStart, -1));
}

void Application::WaitForRun() {
    runWorkers_.Wait();
    statusTickers_.Wait();
}

bool Application::ShowStage(const StopToken& token, const char* text) {
    LockGuard hold(*this);
    // Asked under the lock: a cancel shown while this thread waited for it
    // must not be painted over.
    if (token.IsStopRequested())
        return false;
    lines_[0]->setText(text);
    update();
    currentStatusText_ = text;
    statusChanged_ = true;
    return true;
}

void Application::ShowOutcome(const StopToken* token, const RunOutcome& outcome,
                              const std::string& title, const std::string& artist) {
    LockGuard hold(*this);
    if (token && token->IsStopRequested())
        return;
    statusTickers_.RequestStop();
    if (outcome.found) {
        lines_[0]->setText(title);
        lines_[1]->setText(artist);
        BuildResultLink(title, artist);
        link_->setVisible(true);
        FitWidthToStatus();
        // One paint shows the answer and its link button together.
        update();
        return;
    }
    ShowFindLook();
    lines_[0]->setText(outcome.line1);
    lines_[1]->setText(outcome.line2);
    lines_[2]->setText("");
    update();
}

void Application::RunBody(StopToken& token) {
    const Service service = service_;
    QueryClient query(&token);
    query.SetAttemptTimeout(service.handshakeAttemptMs);
    // Only the sound from the click on is analysed; the ring keeps it while
    // the server is looked up.
    capture_->SyncToNow();
    if (token.IsStopRequested())
        return;

    // One bound for the whole lookup: every step gets what is left of it,
    // so that a slow resolver or web host cannot hold the run (and the
    // shutdown that waits for it) for more than the bound altogether.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(service.lookupTimeoutSeconds);
    const auto left = [&] {
        if (service.lookupTimeoutSeconds <= 0)
            return std::chrono::milliseconds(0);
        return std::max(
            std::chrono::milliseconds(1),
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
    };
    const auto resolve = [&](const std::string& name) {
        return service.resolve ? service.resolve(name, left(), token)
                               : ResolveHost(name, nullptr, left(), &token);
    };

    uint8_t storage[kHostBodyCapacity + 1] = {};
    HttpBodyBuffer body{0, storage, kHostBodyCapacity};
    int status = 0;
    int fetched = -1;
    if (const std::optional<HostEntry> web = resolve(service.webHost)) {
        fetched = HttpFetch(&*web, service.webHost, service.webPort, kGetMethod, kHostPath, nullptr,
                            &status, body, left(), &token);
    }
    // The body as a text, up to its first zero byte and untrimmed: a line
    // break after the name is part of the name and fails to resolve.
    const std::string serverName(reinterpret_cast<const char*>(storage));
    std::optional<HostEntry> server;
    bool unresolved = false;
    if (fetched == 0 && status == 200) {
        server = resolve(serverName);
        unresolved = !server;
    }
    if (token.IsStopRequested())
        return;
    if (!server) {
        if (verbosity_ >= 1 && unresolved)
            ReportResolveError(serverName);
        ShowOutcome(&token, RunOutcome::Describe(RunOutcome::Stage::kHostLookup, fetched));
        return;
    }

    if (!ShowStage(token, "Contacting server"))
        return;
    const int shaken = query.Handshake(server->addresses.front(), service.serverPort);
    if (token.IsStopRequested())
        return;
    if (shaken != 0) {
        ShowOutcome(&token, RunOutcome::Describe(RunOutcome::Stage::kHandshake, shaken));
        return;
    }

    if (!ShowStage(token, "Identifying song"))
        return;
    const int result = query.RunQuery(*capture_);
    query.Close();
    if (token.IsStopRequested())
        return;
    ShowOutcome(&token, RunOutcome::Describe(RunOutcome::Stage::kQuery, result), query.Field(2),
                query.Field(3));
}

void Application::StatusTickerBody(StopToken& token) {
    std::string dots;
    int pass = 0;
    for (;;) {
        if (token.IsStopRequested())
            return;
        {
            LockGuard hold(*this);
            // Asked again under the lock: an outcome shown while this thread
            // waited for it must keep line 1.
            if (token.IsStopRequested())
                return;
            if (pass >= 4 || statusChanged_) {
                dots.clear();
                statusChanged_ = false;
                pass = 0;
            }
            lines_[0]->setText(currentStatusText_ + dots);
            update();
            dots += '.';
        }
        const bool stopped =
            statusTickerPause_ ? statusTickerPause_(token) : token.WaitFor(kStatusTickMs);
        if (stopped)
            return;
        ++pass;
    }
}

void Application::RunWorkerMain(void** argument, StopToken* token) {
    static_cast<Application*>(*argument)->RunBody(*token);
}

void Application::StatusTickerMain(void** argument, StopToken* token) {
    static_cast<Application*>(*argument)->StatusTickerBody(*token);
}

}  // namespace quil
