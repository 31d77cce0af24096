#include "net/HostResolver.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "platform/Sockets.h"

namespace quil {

std::optional<HostEntry> ResolveHost(const std::string& text, int* error, int timeoutSeconds,
                                     const StopToken* stop) {
    // Seconds as milliseconds, within the socket seam's range.
    return ResolveHost(
        text, error,
        std::chrono::milliseconds(std::clamp(timeoutSeconds, 0, INT32_MAX / 1000) * int64_t{1000}),
        stop);
}

std::optional<HostEntry> ResolveHost(const std::string& text, int* error,
                                     std::chrono::milliseconds timeoutMs, const StopToken* stop) {
    HostEntry entry;
    uint32_t address = 0;
    if (ParseDottedAddress(text, address)) {
        entry.addresses.push_back(address);
        return entry;
    }
    const int32_t timeout =
        static_cast<int32_t>(std::clamp<int64_t>(timeoutMs.count(), 0, INT32_MAX));
    int failure = LookupHostAddresses(text, entry.addresses, timeout, stop);
    if (failure == 0 && !entry.addresses.empty())
        return entry;
    // A lookup that succeeds without an IPv4 address finds no host either.
    if (failure == 0)
        failure = EHOSTUNREACH;
    if (error)
        *error = failure;
    return std::nullopt;
}

void ReportResolveError(const std::string& text) {
    std::fprintf(stderr, "%s: socket (hostnames) error #%d\n", text.c_str(), LastSocketError());
}

}  // namespace quil
