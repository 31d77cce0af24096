// The song page and the website in the user's browser.
#include "app/Application.h"
#include "app/ResultLink.h"
#include "platform/UserLocale.h"

namespace quil {

void Application::BuildResultLink(const std::string& title, const std::string& artist) {
    LockGuard hold(*this);
    resultLink_ = ResultLink::Build(service_.webHost, service_.webPort, title, artist);
}

void Application::OpenResultLink() {
    std::string link;
    {
        LockGuard hold(*this);
        link = resultLink_;
    }
    // The link button shows only after a found song; a stray "LINK" before
    // one opens nothing.
    if (link.empty())
        return;
    OpenUrl(ResultLink::WithLocale(std::move(link), UserLocaleName()));
}

void Application::OpenUrl(const std::string& url) {
    if (!system_ || system_->OpenUrl(url))
        return;
    // Without a handler the desktop knows, its opener command finds one.
    const std::string opener = processes_->FindProgram("xdg-open");
    if (!opener.empty())
        processes_->StartDetached({opener, url});
}

}  // namespace quil
