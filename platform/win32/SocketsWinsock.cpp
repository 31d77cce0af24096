// Winsock 2 behind the socket seam. Error numbers are WSAGetLastError's,
// except the seam's own ETIMEDOUT and ECANCELED (errno names, as on POSIX)
// from the bounded connect and lookup.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/DetachedThread.h"
#include "platform/Sockets.h"
#include "platform/StopToken.h"

namespace quil {

namespace {

// Winsock is started once, by the first call that needs it, and stays up
// for the life of the process: a detached resolver thread may still use it
// while the process ends, so it is never cleaned up by hand.
void StartWinsock() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

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

SOCKET Native(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

int Result(int status) {
    return status == 0 ? 0 : WSAGetLastError();
}

// Sets the error the caller reads through LastSocketError and answers it.
int Fail(int error) {
    WSASetLastError(error);
    return error;
}

int SetTimeout(SocketHandle socket, int option, int32_t milliseconds) {
    const DWORD value = milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0;
    return Result(setsockopt(Native(socket), SOL_SOCKET, option,
                             reinterpret_cast<const char*>(&value), sizeof value));
}

// Transfers are counted in int on Windows; a larger request moves less.
int Clamp(size_t size) {
    return static_cast<int>(std::min<size_t>(size, INT_MAX));
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

// The system resolver's answer for `name`: 0 or its Winsock error.
int LookupNow(const std::string& name, std::vector<uint32_t>& addresses) {
    StartWinsock();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int status = getaddrinfo(name.c_str(), nullptr, &hints, &found); status != 0)
        return Fail(status);
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        sockaddr_in native{};
        std::memcpy(&native, entry->ai_addr, std::min<size_t>(entry->ai_addrlen, sizeof native));
        addresses.push_back(ntohl(native.sin_addr.s_addr));
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

SocketHandle Open(int type, int protocol) {
    StartWinsock();
    // Not inherited by the programs this one starts.
    const SOCKET native = WSASocketW(AF_INET, type, protocol, nullptr, 0,
                                     WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    return native == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(native);
}

}  // namespace

int LastSocketError() {
    return WSAGetLastError();
}
bool IsTimeoutError(int error) {
    return error == WSAETIMEDOUT || error == WSAEWOULDBLOCK || error == ETIMEDOUT;
}
bool IsWouldBlockError(int error) {
    return error == WSAEWOULDBLOCK;
}
int DatagramTooLongError() {
    return WSAEMSGSIZE;
}

SocketHandle OpenUdpSocket() {
    const SocketHandle socket = Open(SOCK_DGRAM, IPPROTO_UDP);
    if (socket != kNoSocket) {
        // An ICMP "port unreachable" for an earlier datagram would otherwise
        // fail the next receive with WSAECONNRESET, which POSIX never reports
        // on an unconnected socket. Where the option is unknown the receive
        // loops see that error as any other.
        BOOL report = FALSE;
        DWORD returned = 0;
        WSAIoctl(Native(socket), _WSAIOW(IOC_VENDOR, 12), &report, sizeof report, nullptr, 0,
                 &returned, nullptr, nullptr);
    }
    return socket;
}

SocketHandle OpenTcpSocket() {
    return Open(SOCK_STREAM, IPPROTO_TCP);
}

void CloseSocket(SocketHandle& socket) {
    if (socket != kNoSocket) {
        const int saved = WSAGetLastError();
        closesocket(Native(socket));
        WSASetLastError(saved);
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
    u_long value = nonBlocking ? 1 : 0;
    return Result(ioctlsocket(Native(socket), FIONBIO, &value));
}

int BindSocket(SocketHandle socket, const SocketAddress& local) {
    const sockaddr_in native = ToNative(local);
    return Result(
        ::bind(Native(socket), reinterpret_cast<const sockaddr*>(&native), sizeof native));
}

int ListenSocket(SocketHandle socket, int backlog) {
    return Result(::listen(Native(socket), backlog));
}

SocketHandle AcceptSocket(SocketHandle socket) {
    const SOCKET accepted = ::accept(Native(socket), nullptr, nullptr);
    if (accepted == INVALID_SOCKET)
        return kNoSocket;
    // A connection takes the listener's non-blocking mode on Windows.
    SetHandleInformation(reinterpret_cast<HANDLE>(accepted), HANDLE_FLAG_INHERIT, 0);
    u_long blocking = 0;
    ioctlsocket(accepted, FIONBIO, &blocking);
    return static_cast<SocketHandle>(accepted);
}

int LocalAddress(SocketHandle socket, SocketAddress& local) {
    sockaddr_in native{};
    int length = sizeof native;
    if (getsockname(Native(socket), reinterpret_cast<sockaddr*>(&native), &length) != 0)
        return WSAGetLastError();
    local = FromNative(native);
    return 0;
}

int ConnectSocket(SocketHandle socket, const SocketAddress& peer, int32_t timeoutMilliseconds,
                  const StopToken* stop) {
    const sockaddr_in native = ToNative(peer);
    const auto* address = reinterpret_cast<const sockaddr*>(&native);
    if (timeoutMilliseconds <= 0 && !stop)
        return Result(::connect(Native(socket), address, sizeof native));

    // A bounded connect: start it non-blocking, wait for the outcome in
    // slices that notice a stop, then make the socket blocking again (Winsock
    // cannot tell the earlier mode; stream sockets here are always blocking).
    if (const int error = SetNonBlocking(socket, true); error != 0)
        return Fail(error);
    const SlicedWait wait(timeoutMilliseconds, stop);
    int error = 0;
    if (::connect(Native(socket), address, sizeof native) != 0) {
        error = WSAGetLastError();
        while (error == WSAEWOULDBLOCK) {
            if (const int ended = wait.Check(); ended != 0) {
                error = ended;
                break;
            }
            fd_set writable;
            fd_set failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(Native(socket), &writable);
            FD_SET(Native(socket), &failed);
            const int slice = wait.Slice();
            timeval limit{slice / 1000, (slice % 1000) * 1000};
            const int ready =
                ::select(0, nullptr, &writable, &failed, slice < 0 ? nullptr : &limit);
            if (ready == SOCKET_ERROR) {
                error = WSAGetLastError();
            } else if (ready > 0) {
                // A refused connection shows in the failed set, with SO_ERROR.
                int status = 0;
                int length = sizeof status;
                if (getsockopt(Native(socket), SOL_SOCKET, SO_ERROR,
                               reinterpret_cast<char*>(&status), &length) != 0)
                    status = WSAGetLastError();
                error = FD_ISSET(Native(socket), &failed) && status == 0 ? WSAECONNREFUSED : status;
            }
        }
    }
    if (const int restored = SetNonBlocking(socket, false); restored != 0 && error == 0)
        error = restored;
    return Fail(error);
}

int64_t SendTo(SocketHandle socket, const uint8_t* data, size_t size, const SocketAddress& peer) {
    const sockaddr_in native = ToNative(peer);
    const int sent = ::sendto(Native(socket), reinterpret_cast<const char*>(data), Clamp(size), 0,
                              reinterpret_cast<const sockaddr*>(&native), sizeof native);
    return sent == SOCKET_ERROR ? -1 : sent;
}

int64_t ReceiveFrom(SocketHandle socket, uint8_t* buffer, size_t capacity, SocketAddress& from) {
    sockaddr_in native{};
    int length = sizeof native;
    // A datagram longer than the buffer fails with WSAEMSGSIZE; it is
    // consumed and its sender filled in, as the seam promises.
    const int received =
        ::recvfrom(Native(socket), reinterpret_cast<char*>(buffer), Clamp(capacity), 0,
                   reinterpret_cast<sockaddr*>(&native), &length);
    if (received == SOCKET_ERROR) {
        if (WSAGetLastError() == WSAEMSGSIZE)
            from = FromNative(native);
        return -1;
    }
    from = FromNative(native);
    return received;
}

int64_t SendBytes(SocketHandle socket, const uint8_t* data, size_t size) {
    const int sent = ::send(Native(socket), reinterpret_cast<const char*>(data), Clamp(size), 0);
    return sent == SOCKET_ERROR ? -1 : sent;
}

int64_t ReceiveBytes(SocketHandle socket, uint8_t* buffer, size_t capacity) {
    const int received =
        ::recv(Native(socket), reinterpret_cast<char*>(buffer), Clamp(capacity), 0);
    return received == SOCKET_ERROR ? -1 : received;
}

bool ParseDottedAddress(const std::string& text, uint32_t& address) {
    StartWinsock();
    in_addr native{};
    if (text.find('\0') != std::string::npos || inet_pton(AF_INET, text.c_str(), &native) != 1)
        return false;
    address = ntohl(native.s_addr);
    return true;
}

int LookupHostAddresses(const std::string& name, std::vector<uint32_t>& addresses,
                        int32_t timeoutMilliseconds, const StopToken* stop) {
    addresses.clear();
    if (name.find('\0') != std::string::npos)
        return Fail(WSAEINVAL);
    // Windows' resolver answers "" with this machine's own addresses; an
    // empty text names no host, as elsewhere.
    if (name.empty())
        return Fail(WSAHOST_NOT_FOUND);
    if (timeoutMilliseconds <= 0 && !stop)
        return LookupNow(name, addresses);

    auto pending = std::make_shared<PendingLookup>();
    const int started = StartDetachedThread([pending, name] {
        std::vector<uint32_t> found;
        const int error = LookupNow(name, found);
        std::lock_guard<std::mutex> guard(pending->mutex);
        pending->error = error;
        pending->addresses = std::move(found);
        pending->done = true;
        pending->finished.notify_all();
    });
    // No thread to spare: the lookup runs here, unbounded.
    if (started != 0)
        return LookupNow(name, addresses);

    const SlicedWait wait(timeoutMilliseconds, stop);
    std::unique_lock<std::mutex> lock(pending->mutex);
    for (;;) {
        if (pending->done) {
            addresses = std::move(pending->addresses);
            return Fail(pending->error);
        }
        if (const int ended = wait.Check(); ended != 0)
            return Fail(ended);
        const int slice = wait.Slice();
        if (slice < 0)
            pending->finished.wait(lock);
        else
            pending->finished.wait_for(lock, std::chrono::milliseconds(slice));
    }
}

}  // namespace quil
