#include "server/WebHost.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <system_error>
#include <utility>

namespace quil {

namespace {

// Clients send one small request each; a few threads keep up, and a few
// stalled clients cannot starve the rest for longer than the time-outs.
constexpr size_t kRequestThreads = 4;
constexpr time_t kIdleSeconds = 1;
constexpr time_t kReadWriteSeconds = 2;
// The routes read no request body; a longer one is refused unread.
constexpr size_t kMaxPayloadBytes = 4096;

// The client copies the body into a 63-byte buffer and resolves it as it
// stands, so a longer name or one with spaces or a line break cannot work.
bool IsPublicHostName(const std::string& name) {
    if (name.empty() || name.size() > 63) {
        return false;
    }
    for (const char c : name) {
        if (c <= ' ' || c > '~') {
            return false;
        }
    }
    return true;
}

// Numeric only, so that Start never waits on a name lookup.
bool IsNumericAddress(const std::string& address) {
    in6_addr scratch{};
    return inet_pton(AF_INET, address.c_str(), &scratch) == 1 ||
           inet_pton(AF_INET6, address.c_str(), &scratch) == 1;
}

int StartError(int error) {
    switch (error) {
        case EADDRINUSE:
            return WebHost::kPortInUse;
        case EACCES:
            return WebHost::kNoPermission;
        case EADDRNOTAVAIL:
            return WebHost::kBadAddress;
        default:
            return WebHost::kCannotListen;
    }
}

}  // namespace

WebHost::WebHost(std::string publicHost, std::vector<SongInfo> songs)
    : publicHost_(std::move(publicHost)), pages_(std::move(songs), publicHost_) {}

WebHost::~WebHost() {
    Stop();
}

int WebHost::Start(const std::string& address, int port) {
    if (thread_.joinable()) {
        return kAlreadyStarted;
    }
    if (!IsPublicHostName(publicHost_)) {
        return kBadHostName;
    }
    if (!IsNumericAddress(address) || port < 0 || port > 65535) {
        return kBadAddress;
    }
    server_ = std::make_unique<httplib::Server>();
    Route(*server_);
    bound_ = false;
    finished_ = false;
    bindError_ = 0;
    // The thread binds as well as listens, so that no path leaves a bound
    // socket without the loop that closes it.
    try {
        thread_ = std::thread(&WebHost::Serve, this, address, port);
    } catch (const std::system_error&) {
        server_.reset();
        return kCannotListen;
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return bound_ || finished_; });
    if (bound_) {
        return 0;
    }
    const int error = bindError_;
    lock.unlock();
    thread_.join();
    server_.reset();
    return error;
}

void WebHost::Stop() {
    if (!thread_.joinable()) {
        return;
    }
    {
        std::unique_lock lock(mutex_);
        // httplib drops a stop that comes before its loop has marked itself
        // running, and must not be stopped twice.
        while (!finished_ && !server_->is_running()) {
            changed_.wait_for(lock, std::chrono::milliseconds(1));
        }
        if (!finished_) {
            server_->stop();
        }
    }
    thread_.join();
    server_.reset();
    port_ = 0;
}

void WebHost::Serve(const std::string& address, int port) {
    // httplib writes without MSG_NOSIGNAL, so a write to a connection that
    // the client has hung up may raise SIGPIPE, which would end the whole
    // service. Blocked here, it stays blocked in the request threads, which
    // this thread starts; the process's other threads are left alone.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

    errno = 0;
    int bound = -1;
    if (port == 0) {
        bound = server_->bind_to_any_port(address);
    } else if (server_->bind_to_port(address, port)) {
        bound = port;
    }
    const int error = errno;
    {
        std::lock_guard lock(mutex_);
        if (bound > 0) {
            bound_ = true;
            port_ = bound;
        } else {
            bindError_ = StartError(error);
            finished_ = true;
        }
    }
    changed_.notify_all();
    if (bound <= 0) {
        return;
    }
    try {
        server_->listen_after_bind();
    } catch (const std::system_error&) {
        // The request threads could not all start; the loop had marked
        // itself running, so stop closes the listening socket.
        server_->stop();
    }
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }
    changed_.notify_all();
}

void WebHost::Route(httplib::Server& server) const {
    // Address reuse lets a restart bind at once despite connections still in
    // TIME_WAIT; httplib's default, port reuse, would let a second service
    // share the port unnoticed.
    server.set_socket_options([](socket_t socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.new_task_queue = [] { return new httplib::ThreadPool(kRequestThreads); };
    server.set_keep_alive_max_count(1);
    server.set_keep_alive_timeout(kIdleSeconds);
    server.set_read_timeout(kReadWriteSeconds, 0);
    server.set_write_timeout(kReadWriteSeconds, 0);
    server.set_payload_max_length(kMaxPayloadBytes);

    server.Get("/harkbox/harkbox-host", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(publicHost_, "text/plain");
    });
    server.Get(
        R"(/harkbox/links\.pl)", [this](const httplib::Request& req, httplib::Response& res) {
            res.set_content(pages_.Song(req.get_param_value("title"), req.get_param_value("artist"),
                                        req.get_param_value("lang"), req.get_param_value("loc")),
                            "text/html; charset=utf-8");
        });
    server.Get("/harkbox/", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(pages_.Home(), "text/html; charset=utf-8");
    });
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        res.set_content(res.status == 404 ? "Not found.\n" : "Request refused.\n", "text/plain");
    });
}

const char* WebHost::ErrorText(int code) {
    switch (code) {
        case 0:
            return "no error";
        case kAlreadyStarted:
            return "the web host is already serving";
        case kBadHostName:
            return "the public host name must be 1 to 63 printable ASCII characters without spaces";
        case kBadAddress:
            return "the address must be a numeric IPv4 or IPv6 address of this machine, and the "
                   "port 0 to 65535";
        case kPortInUse:
            return "the port is already in use";
        case kNoPermission:
            return "no permission to listen at that port";
        case kCannotListen:
            return "cannot listen at that address and port";
        default:
            return "unknown error";
    }
}

}  // namespace quil
