#include "net/HttpClient.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>

#include "net/HttpResponse.h"
#include "platform/ByteReader.h"
#include "platform/StopToken.h"

namespace quil {

namespace {

const char* const kMethods[] = {"GET", "GET", "PUT"};

using Clock = std::chrono::steady_clock;
using Deadline = std::optional<Clock::time_point>;

// Seconds as the socket seam's milliseconds, kept within its range.
int32_t Milliseconds(int seconds) {
    constexpr int kLargest = std::numeric_limits<int32_t>::max() / 1000;
    return static_cast<int32_t>(std::clamp(seconds, 0, kLargest)) * 1000;
}

// How long a receive waits before it looks at the stop request again (ms).
constexpr int32_t kStopCheckMilliseconds = 100;

// One receive of at most `capacity` bytes into `buffer`, bounded by what is
// left until `deadline` and cut into slices that notice `stop`. 0 with the
// byte count in `received` (0 when the peer closed), or an error number:
// ETIMEDOUT once the deadline has passed, which also ends a peer that keeps
// sending and never closes; ECANCELED on a stop.
int ReceiveSome(SocketHandle socket, uint8_t* buffer, size_t capacity, const Deadline& deadline,
                const StopToken* stop, int64_t& received) {
    for (;;) {
        if (stop && stop->IsStopRequested())
            return ECANCELED;
        int64_t slice = stop ? kStopCheckMilliseconds : 0;
        if (deadline) {
            const int64_t left =
                std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now())
                    .count();
            if (left <= 0)
                return ETIMEDOUT;
            slice = slice > 0 ? std::min(slice, left) : left;
        }
        if (slice > 0) {
            const int32_t bounded =
                static_cast<int32_t>(std::min<int64_t>(slice, std::numeric_limits<int32_t>::max()));
            if (const int error = SetReceiveTimeout(socket, bounded); error != 0)
                return error;
        }
        received = ReceiveBytes(socket, buffer, capacity);
        if (received >= 0)
            return 0;
        const int error = LastSocketError();
        // A slice that ran out only means: look at the deadline and the stop.
        if (slice == 0 || !IsTimeoutError(error))
            return error;
    }
}

Deadline DeadlineAfter(std::chrono::milliseconds timeout) {
    if (timeout.count() <= 0)
        return std::nullopt;
    return Clock::now() + timeout;
}

// What is left until `deadline` for one step, in milliseconds: 0 without a
// deadline (no limit), at least 1 with one, so that a step that starts late
// still ends at once rather than waiting without limit.
int32_t Left(const Deadline& deadline) {
    if (!deadline)
        return 0;
    const int64_t left =
        std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return static_cast<int32_t>(std::clamp<int64_t>(left, 1, std::numeric_limits<int32_t>::max()));
}

// HttpSendRequest with every step (resolving, connecting, sending) bounded
// by what is left until `deadline`.
int SendRequestBefore(const HostEntry* host, const std::string& hostName, int port, int method,
                      const std::string& path, const char* extraHeaders, SocketHandle& socket,
                      const Deadline& deadline, char* request, size_t requestSize,
                      const StopToken* stop) {
    socket = kNoSocket;
    if (method < 0 || method > 2 || port < 0 || port > 65535 || !request || requestSize == 0)
        return EINVAL;
    const int usedPort = port == 0 ? 80 : port;
    // The request is formed first, so that one too long for the buffer is
    // refused whole: nothing is sent, not even a connection is opened.
    const int length = std::snprintf(request, requestSize,
                                     "%s %s HTTP/1.1\r\nHost: %s:%d\r\nConnection: close\r\n%s\r\n",
                                     kMethods[method], path.c_str(), hostName.c_str(), usedPort,
                                     extraHeaders ? extraHeaders : "");
    if (length < 0)
        return EINVAL;
    if (static_cast<size_t>(length) >= requestSize)
        return EMSGSIZE;

    std::optional<HostEntry> resolved;
    if (!host) {
        int error = 0;
        resolved = ResolveHost(hostName, &error, std::chrono::milliseconds(Left(deadline)), stop);
        if (!resolved)
            return error;
        host = &*resolved;
    }
    if (host->addresses.empty())
        return EHOSTUNREACH;

    socket = OpenTcpSocket();
    if (socket == kNoSocket)
        return LastSocketError();
    const SocketAddress peer{host->addresses.front(), static_cast<uint16_t>(usedPort)};
    if (const int error = ConnectSocket(socket, peer, Left(deadline), stop); error != 0)
        return error;
    if (deadline) {
        if (const int error = SetSendTimeout(socket, Left(deadline)); error != 0)
            return error;
    }

    const int64_t sent =
        SendBytes(socket, reinterpret_cast<const uint8_t*>(request), static_cast<size_t>(length));
    if (sent < 0)
        return LastSocketError();
    // A short send on a blocking socket means its send time-out ran out.
    if (sent < length)
        return ETIMEDOUT;
    return 0;
}

// Answers `result` after closing the socket; the error number is taken
// before the close can change it.
int Finish(SocketHandle& socket, int result) {
    CloseSocket(socket);
    return result;
}

}  // namespace

void AppendHttpBody(HttpBodyBuffer& body, const uint8_t* data, size_t size) {
    if (!body.storage || body.length >= body.capacity)
        return;
    const size_t taken = std::min(body.capacity - body.length, size);
    if (taken > 0) {
        std::memcpy(body.storage + body.length, data, taken);
        body.length += taken;
    }
}

int HttpSendRequest(const HostEntry* host, const std::string& hostName, int port, int method,
                    const std::string& path, const char* extraHeaders, SocketHandle& socket,
                    int timeoutSeconds, char* request, size_t requestSize, const StopToken* stop) {
    return SendRequestBefore(host, hostName, port, method, path, extraHeaders, socket,
                             DeadlineAfter(std::chrono::milliseconds(Milliseconds(timeoutSeconds))),
                             request, requestSize, stop);
}

int HttpFetch(const HostEntry* host, const std::string& hostName, int port, int method,
              const std::string& path, const char* extraHeaders, int* status, HttpBodyBuffer& body,
              int timeoutSeconds, const StopToken* stop) {
    return HttpFetch(host, hostName, port, method, path, extraHeaders, status, body,
                     std::chrono::milliseconds(Milliseconds(timeoutSeconds)), stop);
}

int HttpFetch(const HostEntry* host, const std::string& hostName, int port, int method,
              const std::string& path, const char* extraHeaders, int* status, HttpBodyBuffer& body,
              std::chrono::milliseconds timeout, const StopToken* stop) {
    // One deadline for every step, the name lookup included.
    const Deadline deadline = DeadlineAfter(timeout);
    // A buffer without storage takes nothing; a length beyond the capacity
    // would put the final 0 outside the storage.
    if (!body.storage)
        body.capacity = 0;
    body.length = std::min(body.length, body.capacity);

    SocketHandle socket = kNoSocket;
    char request[kHttpRequestBufferSize];
    if (const int error = SendRequestBefore(host, hostName, port, method, path, extraHeaders,
                                            socket, deadline, request, sizeof request, stop);
        error != 0) {
        return Finish(socket, error);
    }

    uint8_t head[kHttpHeadBufferSize];
    size_t held = 0;
    bool peerClosed = false;
    while (held < kHttpHeadBufferSize - 1) {
        int64_t received = 0;
        if (const int error = ReceiveSome(socket, head + held, kHttpHeadBufferSize - 1 - held,
                                          deadline, stop, received);
            error != 0)
            return Finish(socket, error);
        if (received == 0) {
            peerClosed = true;
            break;
        }
        held += static_cast<size_t>(received);
    }
    head[held] = 0;

    HttpResponse response;
    if (ParseHttpResponse(ByteReader(head, held), status != nullptr, response) != 0)
        return Finish(socket, -1);
    if (status)
        *status = response.status;
    AppendHttpBody(body, head + response.bodyStart, held - response.bodyStart);

    // The head filled its buffer: the rest of the body is still to come.
    if (!peerClosed) {
        uint8_t chunk[4096];
        for (;;) {
            int64_t received = 0;
            if (const int error =
                    ReceiveSome(socket, chunk, sizeof chunk, deadline, stop, received);
                error != 0)
                return Finish(socket, error);
            if (received == 0)
                break;
            AppendHttpBody(body, chunk, static_cast<size_t>(received));
        }
    }
    if (body.storage)
        body.storage[body.length] = 0;
    return Finish(socket, 0);
}

}  // namespace quil
