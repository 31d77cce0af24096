#pragma once

#include <array>
#include <cstdint>
#include <system_error>

#include <asio/io_context.hpp>
#include <asio/ip/address.hpp>
#include <asio/ip/udp.hpp>
#include <asio/steady_timer.hpp>

#include "net/QueryPackets.h"
#include "server/SessionTable.h"
#include "server/SongIdentifier.h"

namespace quil {

// The identification service's UDP side: one socket on which clients shake
// hands, stream code packets and get their answer, with the sessions kept
// in a SessionTable. It runs on the caller's io_context, one thread:
//
//     asio::io_context io;
//     IdentificationServer server(io, identifier, options, logSink);
//     if (const std::error_code error = server.Start(address, 5747))
//         return Fail(error);
//     io.run();  // until Stop(), e.g. from an asio::signal_set handler
//
// Replies leave from the socket the client sent to, so they carry the
// address and port it expects; on a host with several addresses bind the
// one clients use, as the wildcard lets the system pick the source.
// Destroy the server only once run() has returned: its pending handlers
// refer to it.
class IdentificationServer {
  public:
    using LogSink = SessionTable::LogSink;

    // `io` and `identifier` (not owned) must outlive the server; `log` gets
    // one line per finished session on the io_context's thread, the last
    // ones from Stop or the destructor, so what it refers to must outlive
    // the server too.
    IdentificationServer(asio::io_context& io, const SongIdentifier& identifier,
                         const ServerOptions& options = {}, LogSink log = {});
    ~IdentificationServer();
    IdentificationServer(const IdentificationServer&) = delete;
    IdentificationServer& operator=(const IdentificationServer&) = delete;

    // Binds to `address`:`port` (port 0: any free one) and starts serving
    // once the io_context runs. Call before io_context::run; a failure to
    // open or bind is returned and leaves the server closed.
    std::error_code Start(const asio::ip::address& address, uint16_t port);
    // Closes the socket and cancels the sweep so that io_context::run
    // returns; open sessions end with a log line. Safe from any thread: the
    // work is done on the io_context's thread.
    void Stop();

    // Safe from any thread.
    ServerCounters Counters() const { return table_.Counters(); }
    // Where Start bound the socket; the port is the real one after port 0.
    asio::ip::udp::endpoint LocalEndpoint() const { return local_; }

  private:
    void Receive();
    void Received(const std::error_code& error, size_t size);
    void ScheduleSweep();
    void Close();

    asio::io_context& io_;
    asio::ip::udp::socket socket_;
    asio::steady_timer sweep_;
    ServerOptions options_;
    SessionTable table_;
    asio::ip::udp::endpoint local_;
    asio::ip::udp::endpoint sender_;
    // Longer than any datagram of the protocol, so that an over-long one
    // arrives too long (and is dropped) instead of silently cut to size.
    std::array<uint8_t, 2 * kQueryBufferSize> buffer_{};
};

}  // namespace quil
