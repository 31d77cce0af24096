// http-get: one fetch as the identification run makes it (a GET with a
// 63-byte body buffer and the lookup's time-out), to try a web host.
#include <cstdio>
#include <memory>
#include <string>

#include "net/HttpClient.h"
#include "net/WebHost.h"
#include "tools/harkbox-tool/ToolCommands.h"

namespace quil::tool {

namespace {

struct HttpGetOptions {
    std::string host;
    int port = 0;
    std::string path;
};

void Run(const HttpGetOptions& o) {
    uint8_t storage[64] = {};
    HttpBodyBuffer body{0, storage, 63};
    int status = 0;
    const int result = HttpFetch(nullptr, o.host, o.port, 1, o.path, nullptr, &status, body,
                                 kHostLookupTimeoutSeconds);
    std::printf("result %d status %d\n", result, status);
    std::fwrite(storage, 1, body.length, stdout);
    std::fflush(stdout);
    if (result != 0)
        throw CLI::RuntimeError(1);
}

}  // namespace

void AddHttpGetCommand(CLI::App& app) {
    auto options = std::make_shared<HttpGetOptions>();
    CLI::App* cmd = app.add_subcommand(
        "http-get",
        "Fetch PATH from HOST:PORT as the server-host lookup does; print the result, "
        "the status and the body (at most 63 bytes)");
    cmd->add_option("host", options->host, "host name or dotted IPv4 address")->required();
    cmd->add_option("port", options->port, "TCP port (0 means 80)")
        ->required()
        ->check(CLI::Range(0, 65535));
    cmd->add_option("path", options->path, "path of the resource, such as /harkbox/harkbox-host")
        ->required();
    cmd->callback([options] { Run(*options); });
}

}  // namespace quil::tool
