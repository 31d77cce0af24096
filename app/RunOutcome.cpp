#include "app/RunOutcome.h"

#include "net/QueryClient.h"

namespace quil {

namespace {

constexpr const char* kTryAgain = "Click to try again";

}  // namespace

RunOutcome RunOutcome::Describe(Stage stage, int code) {
    switch (stage) {
        case Stage::kHostLookup:
            return {"Server not found", kTryAgain, false};
        case Stage::kHandshake:
            if (code == QueryClient::kTooOld)
                return {"Program too old", "Download new version", false};
            return {"Server unreachable", kTryAgain, false};
        case Stage::kQuery:
            switch (code) {
                case QueryClient::kAnswered:
                    return {nullptr, nullptr, true};
                case QueryClient::kNoSignal:
                    return {"Signal too weak", "Check your microphone", false};
                case QueryClient::kRefused:
                case QueryClient::kNetworkError:
                    return {"Server unreachable", kTryAgain, false};
                default:
                    return {"Song not found", kTryAgain, false};
            }
        case Stage::kStart:
            break;
    }
    // A run that never began has nothing more precise to say than the
    // catch-all, whose second line asks for another click.
    return {"Song not found", kTryAgain, false};
}

}  // namespace quil
