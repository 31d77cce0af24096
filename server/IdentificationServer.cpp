#include "server/IdentificationServer.h"

#include <algorithm>

#include <asio/post.hpp>

namespace quil {

IdentificationServer::IdentificationServer(asio::io_context& io, const SongIdentifier& identifier,
                                           const ServerOptions& options, LogSink log)
    : io_(io),
      socket_(io),
      sweep_(io),
      options_(options),
      table_(identifier, options, std::move(log)) {}

IdentificationServer::~IdentificationServer() {
    Close();
}

std::error_code IdentificationServer::Start(const asio::ip::address& address, uint16_t port) {
    if (socket_.is_open())
        return asio::error::already_open;
    const asio::ip::udp::endpoint endpoint(address, port);
    std::error_code error;
    socket_.open(endpoint.protocol(), error);
    if (!error)
        socket_.bind(endpoint, error);
    // Replies go out without waiting: when the send buffer is full the
    // reply is lost like any datagram, and the client's next packet asks
    // for it again.
    if (!error)
        socket_.non_blocking(true, error);
    if (!error)
        local_ = socket_.local_endpoint(error);
    if (error) {
        std::error_code ignored;
        socket_.close(ignored);
        return error;
    }
    Receive();
    ScheduleSweep();
    return {};
}

void IdentificationServer::Stop() {
    asio::post(io_, [this] { Close(); });
}

void IdentificationServer::Close() {
    if (!socket_.is_open())
        return;
    table_.EndAll(SessionTable::Clock::now(), "server stopped");
    std::error_code ignored;
    socket_.close(ignored);
    sweep_.cancel();
}

void IdentificationServer::Receive() {
    socket_.async_receive_from(
        asio::buffer(buffer_), sender_,
        [this](const std::error_code& error, size_t size) { Received(error, size); });
}

void IdentificationServer::Received(const std::error_code& error, size_t size) {
    if (error == asio::error::operation_aborted || !socket_.is_open())
        return;
    // Other errors (an ICMP report about an earlier reply, say) concern one
    // datagram, not the socket.
    if (!error) {
        const auto replies =
            table_.Handle(ByteReader(buffer_.data(), size), sender_, SessionTable::Clock::now());
        for (const SessionTable::Datagram& reply : replies) {
            std::error_code ignored;
            socket_.send_to(asio::buffer(reply), sender_, 0, ignored);
        }
    }
    Receive();
}

void IdentificationServer::ScheduleSweep() {
    // A zero interval would spin.
    sweep_.expires_after(std::max(options_.sweepInterval, std::chrono::milliseconds(1)));
    sweep_.async_wait([this](const std::error_code& error) {
        if (error || !socket_.is_open())
            return;
        table_.Sweep(SessionTable::Clock::now());
        ScheduleSweep();
    });
}

}  // namespace quil
