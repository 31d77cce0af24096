#pragma once

// The maker's web host, where the identification server's host name is
// fetched and the result links point. Both values are build settings.

namespace quil {

inline constexpr const char* kWebHost = HARKBOX_WEB_HOST;
// TCP port of the web host's HTTP service.
inline constexpr int kWebPort = HARKBOX_WEB_PORT;
// Seconds that the server-host lookup may spend on each of connecting,
// sending and receiving the whole response: a web host that accepts and
// then stalls must not hold a run, and the shutdown that waits for it.
inline constexpr int kHostLookupTimeoutSeconds = 5;

}  // namespace quil
