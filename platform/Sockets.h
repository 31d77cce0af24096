#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The socket seam: the few socket calls the network code needs, so that a
// second platform is one more implementation of this file. Error numbers are
// the platform's own (errno on POSIX), always positive; functions that
// answer an int answer 0 on success or such a number.

namespace quil {

class StopToken;

// An IPv4 endpoint; the address is in host byte order.
struct SocketAddress {
    uint32_t address = 0;
    uint16_t port = 0;

    friend bool operator==(const SocketAddress&, const SocketAddress&) = default;
};

using SocketHandle = int64_t;
inline constexpr SocketHandle kNoSocket = -1;

// The error number of the last failed socket call on this thread.
int LastSocketError();
// Whether an error number means a receive time-out, or that a non-blocking
// call found nothing to do.
bool IsTimeoutError(int error);
bool IsWouldBlockError(int error);
// The error number that ReceiveFrom reports for a datagram longer than its buffer.
int DatagramTooLongError();

// kNoSocket on failure (see LastSocketError).
SocketHandle OpenUdpSocket();
SocketHandle OpenTcpSocket();
// Closes the socket if it is open and marks it closed.
void CloseSocket(SocketHandle& socket);

// Time-outs in milliseconds; 0 means none (block without limit).
int SetReceiveTimeout(SocketHandle socket, int32_t milliseconds);
int SetSendTimeout(SocketHandle socket, int32_t milliseconds);
int SetNonBlocking(SocketHandle socket, bool nonBlocking);
// Binds to the given local endpoint (port 0: any free port).
int BindSocket(SocketHandle socket, const SocketAddress& local);
// Makes a bound stream socket accept connections, at most `backlog` waiting.
int ListenSocket(SocketHandle socket, int backlog);
// The next waiting connection of a listening socket, blocking; kNoSocket on
// failure (see LastSocketError), which for a non-blocking socket without a
// waiting connection is a would-block error. The connection is blocking.
SocketHandle AcceptSocket(SocketHandle socket);
// The local endpoint the socket is bound to.
int LocalAddress(SocketHandle socket, SocketAddress& local);
// Connects a stream socket; with a time-out above 0 (milliseconds) the
// attempt gives up after that long (ETIMEDOUT), and when `stop` (not owned,
// may be null) is raised meanwhile within a tenth of a second (ECANCELED).
int ConnectSocket(SocketHandle socket, const SocketAddress& peer, int32_t timeoutMilliseconds,
                  const StopToken* stop = nullptr);

// Bytes sent, or -1 (see LastSocketError).
int64_t SendTo(SocketHandle socket, const uint8_t* data, size_t size, const SocketAddress& peer);
// One datagram: its length, or -1. A datagram longer than `capacity` is
// consumed and reported as the error DatagramTooLongError(); `from` names
// its sender then too, so that callers can ignore strangers' datagrams.
int64_t ReceiveFrom(SocketHandle socket, uint8_t* buffer, size_t capacity, SocketAddress& from);
// Stream transfer: bytes moved (0 from ReceiveBytes when the peer closed), or -1.
int64_t SendBytes(SocketHandle socket, const uint8_t* data, size_t size);
int64_t ReceiveBytes(SocketHandle socket, uint8_t* buffer, size_t capacity);

// A dotted IPv4 address ("192.0.2.7") in host byte order; false for anything else.
bool ParseDottedAddress(const std::string& text, uint32_t& address);
// The IPv4 addresses of a host name, in the resolver's order; 0 or an error
// number (a resolver failure sets the last socket error too). With a
// time-out above 0 (milliseconds) or a `stop` (not owned, may be null), the
// caller waits at most that long (ETIMEDOUT) and no longer than a tenth of a
// second after the stop (ECANCELED); the system's resolver, which cannot be
// interrupted, then finishes on a helper thread of its own whose result is
// dropped.
int LookupHostAddresses(const std::string& name, std::vector<uint32_t>& addresses,
                        int32_t timeoutMilliseconds = 0, const StopToken* stop = nullptr);

}  // namespace quil
