#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "server/SongInfo.h"
#include "server/WebPages.h"

namespace httplib {
class Server;
}

namespace quil {

// The service's web host: what the desktop program fetches before every
// run and the pages its links open.
//   GET /harkbox/harkbox-host  200, text/plain: the public host name, bare
//   GET /harkbox/links.pl      200, text/html: the song named by the query
//                              keys title and artist (lang, loc optional)
//   GET /harkbox/              200, text/html: the home page
// HEAD is answered like GET without the body. Every other path, and every
// other method, gets 404: the host has nothing else, and no files. httplib
// itself answers 400 to a method it does not know or a malformed request.
// Each connection carries one request and is closed after the response.
//
// Start and Stop are called by the owner's thread; requests are served on
// threads of the host's own, which only read what construction gave.
class WebHost {
  public:
    // Start's answers besides 0.
    static constexpr int kAlreadyStarted = -1;
    static constexpr int kBadHostName = -2;  // not 1 to 63 printable ASCII bytes without spaces
    static constexpr int kBadAddress = -3;   // not a numeric address of this machine, or bad port
    static constexpr int kPortInUse = -4;
    static constexpr int kNoPermission = -5;  // e.g. a port below 1024 without the privilege
    static constexpr int kCannotListen = -6;  // any other failure to bind, listen or start

    // `publicHost`: the identification server's host name or dotted IPv4
    // address, which clients resolve and send their UDP queries to.
    // `songs`: the catalogue as of now, copied.
    WebHost(std::string publicHost, std::vector<SongInfo> songs);
    // Stops.
    ~WebHost();
    WebHost(const WebHost&) = delete;
    WebHost& operator=(const WebHost&) = delete;

    // Listens at `address` (numeric IPv4 or IPv6, e.g. "0.0.0.0") and
    // `port` (0: any free one, see port()) and serves until Stop. Answers 0
    // once listening, or one of the codes above (see ErrorText).
    int Start(const std::string& address, int port);
    // Stops listening and waits for the requests in flight. Immediate when
    // none is; a client that stalls holds it for the idle time-out (1 s)
    // before its request, or the read or write time-out (2 s) of each
    // stalled transfer. Harmless when not started; Start may follow.
    void Stop();
    // The port listened at while started, else 0.
    int port() const { return port_; }

    // A text for people about one of Start's answers.
    static const char* ErrorText(int code);

  private:
    void Serve(const std::string& address, int port);
    void Route(httplib::Server& server) const;

    const std::string publicHost_;
    const WebPages pages_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    std::atomic<int> port_{0};
    // Serve's progress, for Start and Stop.
    std::mutex mutex_;
    std::condition_variable changed_;
    bool bound_ = false;
    bool finished_ = false;
    int bindError_ = 0;
};

}  // namespace quil
