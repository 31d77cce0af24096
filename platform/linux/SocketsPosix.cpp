// POSIX sockets behind the socket seam.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Sockets.h"

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

int Fd(SocketHandle socket) { return static_cast<int>(socket); }

int SetTimeout(SocketHandle socket, int option, int32_t milliseconds) {
    timeval value{};
    if (milliseconds > 0) {
        value.tv_sec = milliseconds / 1000;
        value.tv_usec = (milliseconds % 1000) * 1000;
    }
    if (setsockopt(Fd(socket), SOL_SOCKET, option, &value, sizeof value) != 0) return errno;
    return 0;
}

int Result(int status) { return status == 0 ? 0 : errno; }

}  // namespace

int LastSocketError() { return errno; }
bool IsTimeoutError(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == ETIMEDOUT; }
bool IsWouldBlockError(int error) { return error == EAGAIN || error == EWOULDBLOCK; }
int DatagramTooLongError() { return EMSGSIZE; }

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
    if (flags < 0) return errno;
    const int wanted = nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return Result(fcntl(Fd(socket), F_SETFL, wanted));
}

int BindSocket(SocketHandle socket, const SocketAddress& local) {
    const sockaddr_in native = ToNative(local);
    return Result(::bind(Fd(socket), reinterpret_cast<const sockaddr*>(&native), sizeof native));
}

int LocalAddress(SocketHandle socket, SocketAddress& local) {
    sockaddr_in native{};
    socklen_t length = sizeof native;
    if (getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&native), &length) != 0) return errno;
    local = FromNative(native);
    return 0;
}

int ConnectSocket(SocketHandle socket, const SocketAddress& peer, int32_t timeoutMilliseconds) {
    const sockaddr_in native = ToNative(peer);
    const auto* address = reinterpret_cast<const sockaddr*>(&native);
    if (timeoutMilliseconds <= 0) return Result(::connect(Fd(socket), address, sizeof native));

    // A bounded connect: start it non-blocking, wait for the outcome, then
    // give the socket its blocking mode back.
    const int flags = fcntl(Fd(socket), F_GETFL, 0);
    if (flags < 0 || fcntl(Fd(socket), F_SETFL, flags | O_NONBLOCK) != 0) return errno;
    int error = 0;
    if (::connect(Fd(socket), address, sizeof native) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            pollfd waiting{Fd(socket), POLLOUT, 0};
            const int ready = ::poll(&waiting, 1, timeoutMilliseconds);
            if (ready == 0) {
                error = ETIMEDOUT;
            } else if (ready < 0) {
                error = errno;
            } else {
                socklen_t length = sizeof error;
                if (getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
            }
        }
    }
    if (fcntl(Fd(socket), F_SETFL, flags) != 0 && error == 0) error = errno;
    errno = error;
    return error;
}

int64_t SendTo(SocketHandle socket, const uint8_t* data, size_t size, const SocketAddress& peer) {
    const sockaddr_in native = ToNative(peer);
    return ::sendto(Fd(socket), data, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&native),
                    sizeof native);
}

int64_t ReceiveFrom(SocketHandle socket, uint8_t* buffer, size_t capacity, SocketAddress& from) {
    sockaddr_in native{};
    socklen_t length = sizeof native;
    // MSG_TRUNC makes the call answer the datagram's real length, so that a
    // datagram longer than the buffer is recognised rather than cut.
    const ssize_t received = ::recvfrom(Fd(socket), buffer, capacity, MSG_TRUNC,
                                        reinterpret_cast<sockaddr*>(&native), &length);
    if (received < 0) return -1;
    from = FromNative(native);
    if (static_cast<size_t>(received) > capacity) {
        errno = EMSGSIZE;
        return -1;
    }
    return received;
}

int64_t SendBytes(SocketHandle socket, const uint8_t* data, size_t size) {
    return ::send(Fd(socket), data, size, MSG_NOSIGNAL);
}

int64_t ReceiveBytes(SocketHandle socket, uint8_t* buffer, size_t capacity) {
    return ::recv(Fd(socket), buffer, capacity, 0);
}

bool ParseDottedAddress(const std::string& text, uint32_t& address) {
    in_addr native{};
    if (text.find('\0') != std::string::npos || inet_pton(AF_INET, text.c_str(), &native) != 1)
        return false;
    address = ntohl(native.s_addr);
    return true;
}

int LookupHostAddresses(const std::string& name, std::vector<uint32_t>& addresses) {
    addresses.clear();
    if (name.find('\0') != std::string::npos) {
        errno = EINVAL;
        return EINVAL;
    }
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

}  // namespace quil
