#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/HostResolver.h"
#include "platform/Sockets.h"

namespace quil {

class StopToken;

// The caller's storage for a response body. `storage` (caller-owned) has
// room for capacity + 1 bytes; a fetch appends at most capacity - length
// bytes after the `length` already held, advances `length` past them and
// puts a 0 byte at storage[length], so the body also reads as a text.
struct HttpBodyBuffer {
    size_t length = 0;
    uint8_t* storage = nullptr;
    size_t capacity = 0;
};

// Appends what fits of [data, data + size) to `body`, up to its capacity;
// the rest is dropped. Does not write the terminating 0.
void AppendHttpBody(HttpBodyBuffer& body, const uint8_t* data, size_t size);

// Size of the buffer that a request is formatted into; a request must fit
// with its terminating 0, so it is at most kHttpRequestBufferSize - 1 bytes.
inline constexpr size_t kHttpRequestBufferSize = 4096;
// Size of the buffer that holds the response head; the head read fills at
// most kHttpHeadBufferSize - 1 bytes of it.
inline constexpr size_t kHttpHeadBufferSize = 4096;

// Opens a connection to `hostName` (resolved unless `host` is given; its
// first address is used) at `port` (0 means 80) and sends one request
//   "<method> <path> HTTP/1.1\r\nHost: <hostName>:<port>\r\nConnection: close\r\n
//    <extraHeaders>\r\n"
// in one send. `method` indexes the table 0 -> GET, 1 -> GET, 2 -> PUT;
// `extraHeaders` (or null for none) are whole lines, each ending in CR LF.
// The request is formatted into `request` (`requestSize` bytes); one that
// does not fit is refused before anything is opened (EMSGSIZE), as are a
// method outside the table or a port outside 0..65535 (EINVAL).
// With `timeoutSeconds` above 0, resolving, connecting and sending together
// give up after that many seconds (0: no limit). Resolving and
// connecting also end soon after `stop` (not owned, may be null) is raised,
// with ECANCELED.
// Answers 0 or a socket error number; the socket is left in `socket` (also
// on failure, for the caller to close), kNoSocket when none was opened.
int HttpSendRequest(const HostEntry* host, const std::string& hostName, int port, int method,
                    const std::string& path, const char* extraHeaders, SocketHandle& socket,
                    int timeoutSeconds, char* request, size_t requestSize,
                    const StopToken* stop = nullptr);

// Sends one request as HttpSendRequest does and reads the whole response
// until the peer closes: the head must fit into the 4095 bytes of the head
// buffer and carry a status line and the empty line that ends it; the body
// after it is appended to `body`, cut to its capacity (further bytes are
// read and dropped). `status` (or null) receives the status code, which is
// reported, not judged. With `timeoutSeconds` above 0 the whole fetch, name
// lookup included, must end within that many seconds of the call (a time-out error
// otherwise, ETIMEDOUT or EAGAIN), so a peer that stalls or never closes
// cannot hold the caller. A raised `stop` (not owned, may be null) ends the
// fetch within about a tenth of a second with ECANCELED, wherever it waits.
// Answers 0, -1 for a response that is not an HTTP response as expected,
// or a socket error number. The socket is closed on every path.
int HttpFetch(const HostEntry* host, const std::string& hostName, int port, int method,
              const std::string& path, const char* extraHeaders, int* status, HttpBodyBuffer& body,
              int timeoutSeconds, const StopToken* stop = nullptr);
// The same with the bound in milliseconds (0 or less: none). The bound
// holds for the whole fetch: resolving the host name, connecting, sending
// and receiving each get only what is left of it.
int HttpFetch(const HostEntry* host, const std::string& hostName, int port, int method,
              const std::string& path, const char* extraHeaders, int* status, HttpBodyBuffer& body,
              std::chrono::milliseconds timeout, const StopToken* stop = nullptr);

}  // namespace quil
