#include "net/HostResolver.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "platform/Sockets.h"

namespace quil {

std::optional<HostEntry> ResolveHost(const std::string& text, int* error, int timeoutSeconds,
                                     const StopToken* stop) {
    HostEntry entry;
    uint32_t address = 0;
    if (ParseDottedAddress(text, address)) {
        entry.addresses.push_back(address);
        return entry;
    }
    // Seconds as the socket seam's milliseconds, within its range.
    const int32_t timeout =
        static_cast<int32_t>(std::clamp(timeoutSeconds, 0, INT32_MAX / 1000)) * 1000;
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
