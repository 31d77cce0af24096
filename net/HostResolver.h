#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quil {

class StopToken;

// A resolved host: its IPv4 addresses in host byte order, in the
// resolver's order, never empty. Connections use the first one.
struct HostEntry {
    std::vector<uint32_t> addresses;
};

// Resolves a host given as text: a dotted IPv4 address is taken as that
// address, anything else is looked up by name. The text is used exactly as
// given (no white space is trimmed, so a trailing line break fails). None
// on failure, with the resolver's error number in `error` when given
// (always above 0) and as the last socket error. A name lookup gives up
// after `timeoutSeconds` when that is above 0 (ETIMEDOUT), and soon after
// `stop` (not owned, may be null) is raised (ECANCELED).
std::optional<HostEntry> ResolveHost(const std::string& text, int* error = nullptr,
                                     int timeoutSeconds = 0, const StopToken* stop = nullptr);
// The same with the bound in milliseconds (0 or less: none).
std::optional<HostEntry> ResolveHost(const std::string& text, int* error,
                                     std::chrono::milliseconds timeout, const StopToken* stop);

// Writes "<text>: socket (hostnames) error #<last socket error>" and a line
// break to the standard error stream.
void ReportResolveError(const std::string& text);

}  // namespace quil
