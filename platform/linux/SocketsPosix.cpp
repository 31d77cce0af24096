// POSIX sockets behind the socket seam.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/Sockets.h"
#include "platform/StopToken.h"

namespace quil {

namespace {

sockaddr_in ToNative(const SocketAddress& address) {
    sockaddr_in native{};
    native.sin_family = AF_INET;
    native.sin_addr.s_addr = htonl(address.address);
    native.sin_port = htons(address.port);
    return native;
}

SocketAddress FromNative(const sockaddr_in& native) {
    return SocketAddress{ntohl(native.sin_addr.s_addr), ntohs(native.sin_port)};
}

int Fd(SocketHandle socket) {
    return static_cast<int>(socket);
}

int SetTimeout(SocketHandle socket, int option, int32_t milliseconds) {
    timeval value{};
    if (milliseconds > 0) {
        value.tv_sec = milliseconds / 1000;
        value.tv_usec = (milliseconds % 1000) * 1000;
    }
    if (setsockopt(Fd(socket), SOL_SOCKET, option, &value, sizeof value) != 0)
        return errno;
    return 0;
}

int Result(int status) {
    return status == 0 ? 0 : errno;
}

using Clock = std::chrono::steady_clock;

// How long a wait goes on after a stop request, at most (milliseconds).
constexpr int32_t kStopCheckMilliseconds = 100;

// A bounded wait in slices short enough to notice a stop. `deadline` is
// meaningful only when `bounded`.
struct SlicedWait {
    bool bounded;
    Clock::time_point deadline;
    const StopToken* stop;

    SlicedWait(int32_t timeoutMilliseconds, const StopToken* token)
        : bounded(timeoutMilliseconds > 0),
          deadline(Clock::now() + std::chrono::milliseconds(std::max(timeoutMilliseconds, 0))),
          stop(token) {}

    // 0 to wait on, else ECANCELED or ETIMEDOUT.
    int Check() const {
        if (stop && stop->IsStopRequested())
            return ECANCELED;
        if (bounded && Clock::now() >= deadline)
            return ETIMEDOUT;
        return 0;
    }
    // The next slice in milliseconds, at least 1; -1 for "no limit".
    int Slice() const {
        int64_t slice = stop ? kStopCheckMilliseconds : -1;
        if (bounded) {
            const int64_t left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            slice = slice < 0 ? left : std::min<int64_t>(slice, left);
            slice = std::max<int64_t>(slice, 1);
        }
        return static_cast<int>(slice);
    }
};

int64_t ElapsedMilliseconds(Clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
}

// The socket's send or receive time-out in milliseconds (rounded up); 0 for none.
int64_t TimeoutOf(int fd, int option) {
    timeval value{};
    socklen_t length = sizeof value;
    if (getsockopt(fd, SOL_SOCKET, option, &value, &length) != 0)
        return 0;
    return int64_t{value.tv_sec} * 1000 + (int64_t{value.tv_usec} + 999) / 1000;
}

// Runs `call` (a send or receive on `fd` that takes extra flags) as the
// blocking call would run, except that a signal does not end it: Linux
// restarts neither poll nor a send or receive with a time-out after a
// signal handler ran, even with SA_RESTART, and any library may install one
// (GLib does for SIGCHLD once a child was started). After an interruption
// the call waits for `events` within what is left of the socket's own
// time-out (`option`), then tries again without blocking; a time-out ends
// it with EAGAIN as the socket option would.
template <typename Call>
ssize_t Uninterrupted(int fd, short events, int option, Call call) {
    const Clock::time_point start = Clock::now();
    ssize_t result = call(0);
    if (result >= 0 || errno != EINTR)
        return result;
    const int64_t timeout = TimeoutOf(fd, option);
    for (;;) {
        int wait = -1;
        if (timeout > 0) {
            const int64_t left = timeout - ElapsedMilliseconds(start);
            if (left <= 0) {
                errno = EAGAIN;
                return -1;
            }
            wait = static_cast<int>(std::min<int64_t>(left, INT32_MAX));
        }
        pollfd waiting{fd, events, 0};
        const int ready = ::poll(&waiting, 1, wait);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (ready == 0) {
            errno = EAGAIN;
            return -1;
        }
        result = call(MSG_DONTWAIT);
        if (result >= 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
            return result;
    }
}

// The system resolver's answer for `name`; sets errno like the caller's.
int LookupNow(const std::string& name, std::vector<uint32_t>& addresses) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int status = getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (status != 0) {
        // Resolver failures have codes of their own; report a host-not-found
        // errno so callers see one kind of number.
        const int error = status == EAI_SYSTEM && errno != 0 ? errno : EHOSTUNREACH;
        errno = error;
        return error;
    }
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        const auto* native = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
        addresses.push_back(ntohl(native->sin_addr.s_addr));
    }
    freeaddrinfo(found);
    return 0;
}

// What a resolver helper thread hands back; shared, because a caller that
// stops waiting leaves it to the helper.
struct PendingLookup {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    int error = 0;
    std::vector<uint32_t> addresses;
};

}  // namespace

int LastSocketError() {
    return errno;
}
bool IsTimeoutError(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == ETIMEDOUT;
}
bool IsWouldBlockError(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}
int DatagramTooLongError() {
    return EMSGSIZE;
}

SocketHandle OpenUdpSocket() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    return fd < 0 ? kNoSocket : fd;
}

SocketHandle OpenTcpSocket() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd < 0 ? kNoSocket : fd;
}

void CloseSocket(SocketHandle& socket) {
    if (socket != kNoSocket) {
        ::close(Fd(socket));
        socket = kNoSocket;
    }
}

int SetReceiveTimeout(SocketHandle socket, int32_t milliseconds) {
    return SetTimeout(socket, SO_RCVTIMEO, milliseconds);
}

int SetSendTimeout(SocketHandle socket, int32_t milliseconds) {
    return SetTimeout(socket, SO_SNDTIMEO, milliseconds);
}

int SetNonBlocking(SocketHandle socket, bool nonBlocking) {
    const int flags = fcntl(Fd(socket), F_GETFL, 0);
    if (flags < 0)
        return errno;
    const int wanted = nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return Result(fcntl(Fd(socket), F_SETFL, wanted));
}

int BindSocket(SocketHandle socket, const SocketAddress& local) {
    const sockaddr_in native = ToNative(local);
    return Result(::bind(Fd(socket), reinterpret_cast<const sockaddr*>(&native), sizeof native));
}

int ListenSocket(SocketHandle socket, int backlog) {
    return Result(::listen(Fd(socket), backlog));
}

SocketHandle AcceptSocket(SocketHandle socket) {
    // accept4 never hands the listener's O_NONBLOCK on to the connection.
    const int fd = ::accept4(Fd(socket), nullptr, nullptr, SOCK_CLOEXEC);
    return fd < 0 ? kNoSocket : fd;
}

int LocalAddress(SocketHandle socket, SocketAddress& local) {
    sockaddr_in native{};
    socklen_t length = sizeof native;
    if (getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&native), &length) != 0)
        return errno;
    local = FromNative(native);
    return 0;
}

int ConnectSocket(SocketHandle socket, const SocketAddress& peer, int32_t timeoutMilliseconds,
                  const StopToken* stop) {
    const sockaddr_in native = ToNative(peer);
    const auto* address = reinterpret_cast<const sockaddr*>(&native);
    if (timeoutMilliseconds <= 0 && !stop) {
        if (::connect(Fd(socket), address, sizeof native) == 0)
            return 0;
        if (errno != EINTR)
            return errno;
        // An interrupted connect goes on by itself; wait for its outcome.
        for (;;) {
            pollfd waiting{Fd(socket), POLLOUT, 0};
            const int ready = ::poll(&waiting, 1, -1);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready < 0)
                return errno;
            int error = 0;
            socklen_t length = sizeof error;
            if (getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                error = errno;
            errno = error;
            return error;
        }
    }

    // A bounded connect: start it non-blocking, wait for the outcome in
    // slices that notice a stop, then give the socket its blocking mode back.
    const int flags = fcntl(Fd(socket), F_GETFL, 0);
    if (flags < 0 || fcntl(Fd(socket), F_SETFL, flags | O_NONBLOCK) != 0)
        return errno;
    const SlicedWait wait(timeoutMilliseconds, stop);
    int error = 0;
    if (::connect(Fd(socket), address, sizeof native) != 0) {
        error = errno;
        while (error == EINPROGRESS) {
            if (const int ended = wait.Check(); ended != 0) {
                error = ended;
                break;
            }
            pollfd waiting{Fd(socket), POLLOUT, 0};
            const int ready = ::poll(&waiting, 1, wait.Slice());
            if (ready < 0 && errno != EINTR) {
                error = errno;
            } else if (ready > 0) {
                socklen_t length = sizeof error;
                if (getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                    error = errno;
            }
        }
    }
    if (fcntl(Fd(socket), F_SETFL, flags) != 0 && error == 0)
        error = errno;
    errno = error;
    return error;
}

int64_t SendTo(SocketHandle socket, const uint8_t* data, size_t size, const SocketAddress& peer) {
    const sockaddr_in native = ToNative(peer);
    return Uninterrupted(Fd(socket), POLLOUT, SO_SNDTIMEO, [&](int flags) {
        return ::sendto(Fd(socket), data, size, MSG_NOSIGNAL | flags,
                        reinterpret_cast<const sockaddr*>(&native), sizeof native);
    });
}

int64_t ReceiveFrom(SocketHandle socket, uint8_t* buffer, size_t capacity, SocketAddress& from) {
    sockaddr_in native{};
    socklen_t length = sizeof native;
    // MSG_TRUNC makes the call answer the datagram's real length, so that a
    // datagram longer than the buffer is recognised rather than cut.
    const ssize_t received = Uninterrupted(Fd(socket), POLLIN, SO_RCVTIMEO, [&](int flags) {
        length = sizeof native;
        return ::recvfrom(Fd(socket), buffer, capacity, MSG_TRUNC | flags,
                          reinterpret_cast<sockaddr*>(&native), &length);
    });
    if (received < 0)
        return -1;
    from = FromNative(native);
    if (static_cast<size_t>(received) > capacity) {
        errno = EMSGSIZE;
        return -1;
    }
    return received;
}

int64_t SendBytes(SocketHandle socket, const uint8_t* data, size_t size) {
    return Uninterrupted(Fd(socket), POLLOUT, SO_SNDTIMEO, [&](int flags) {
        return ::send(Fd(socket), data, size, MSG_NOSIGNAL | flags);
    });
}

int64_t ReceiveBytes(SocketHandle socket, uint8_t* buffer, size_t capacity) {
    return Uninterrupted(Fd(socket), POLLIN, SO_RCVTIMEO,
                         [&](int flags) { return ::recv(Fd(socket), buffer, capacity, flags); });
}

bool ParseDottedAddress(const std::string& text, uint32_t& address) {
    in_addr native{};
    if (text.find('\0') != std::string::npos || inet_pton(AF_INET, text.c_str(), &native) != 1)
        return false;
    address = ntohl(native.s_addr);
    return true;
}

int LookupHostAddresses(const std::string& name, std::vector<uint32_t>& addresses,
                        int32_t timeoutMilliseconds, const StopToken* stop) {
    addresses.clear();
    if (name.find('\0') != std::string::npos) {
        errno = EINVAL;
        return EINVAL;
    }
    if (timeoutMilliseconds <= 0 && !stop)
        return LookupNow(name, addresses);

    auto pending = std::make_shared<PendingLookup>();
    try {
        std::thread([pending, name] {
            std::vector<uint32_t> found;
            const int error = LookupNow(name, found);
            std::lock_guard<std::mutex> guard(pending->mutex);
            pending->error = error;
            pending->addresses = std::move(found);
            pending->done = true;
            pending->finished.notify_all();
        }).detach();
    } catch (const std::exception&) {
        // No thread to spare: the lookup runs here, unbounded as it always was.
        return LookupNow(name, addresses);
    }

    const SlicedWait wait(timeoutMilliseconds, stop);
    std::unique_lock<std::mutex> lock(pending->mutex);
    for (;;) {
        if (pending->done) {
            addresses = std::move(pending->addresses);
            errno = pending->error;
            return pending->error;
        }
        if (const int ended = wait.Check(); ended != 0) {
            errno = ended;
            return ended;
        }
        const int slice = wait.Slice();
        if (slice < 0)
            pending->finished.wait(lock);
        else
            pending->finished.wait_for(lock, std::chrono::milliseconds(slice));
    }
}

}  // namespace quil
