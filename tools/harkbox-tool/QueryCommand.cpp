// query: one identification query against a server, with a sound file in
// place of the capture: the handshake, the query over the file, the
// goodbye. Prints each step's result code and the answer's fields.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "net/QueryClient.h"
#include "platform/Sockets.h"
#include "audiofile/FileSampleSource.h"
#include "tools/harkbox-tool/ToolCommands.h"

namespace quil::tool {

namespace {

struct QueryCommandOptions {
    std::string server;
    bool realTime = false;
    std::string file;
};

[[noreturn]] void Fail(const std::string& message) {
    FailCommand("query", message);
}

// ADDRESS:PORT, the address dotted or a host name (its first address).
SocketAddress ParseServer(const std::string& text) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size())
        Fail("bad server '" + text + "': give ADDRESS:PORT");
    const std::string host = text.substr(0, colon);
    const std::string portText = text.substr(colon + 1);
    if (portText.find_first_not_of("0123456789") != std::string::npos || portText.size() > 5 ||
        std::stoi(portText) < 1 || std::stoi(portText) > 65535)
        Fail("bad port '" + portText + "'");
    SocketAddress server;
    server.port = static_cast<uint16_t>(std::stoi(portText));
    if (!ParseDottedAddress(host, server.address)) {
        std::vector<uint32_t> addresses;
        if (LookupHostAddresses(host, addresses) != 0 || addresses.empty())
            Fail("cannot resolve '" + host + "'");
        server.address = addresses.front();
    }
    return server;
}

void Run(const QueryCommandOptions& o) {
    const SocketAddress server = ParseServer(o.server);
    FileSampleSource source;
    if (source.Open(o.file) != 0)
        Fail(source.ErrorText());
    source.SetRealTime(o.realTime);
    QueryClient query;
    const int handshake = query.Handshake(server.address, server.port);
    std::printf("handshake %d\n", handshake);
    std::fflush(stdout);
    const int result = query.RunQuery(source);
    query.Close();
    std::printf("query %d\n", result);
    if (result == QueryClient::kAnswered) {
        for (size_t i = 0; i < kAnswerFieldCount; ++i)
            std::printf("field%zu %s\n", i, query.Field(i).c_str());
    }
    if (std::fflush(stdout) != 0)
        Fail("cannot write to the standard output");
    // Both results are printed as they came; the exit status tells a script
    // that no server was reached.
    if (handshake != 0)
        std::exit(1);
}

}  // namespace

void AddQueryCommand(CLI::App& app) {
    auto options = std::make_shared<QueryCommandOptions>();
    CLI::App* cmd = app.add_subcommand(
        "query",
        "Identify a sound file with an identification server: prints the handshake's and the "
        "query's result codes and the answer's fields");
    cmd->add_option("--server", options->server, "the server's ADDRESS:PORT")->required();
    cmd->add_flag("--realtime", options->realTime,
                  "read the file no faster than it would be captured live");
    cmd->add_option("file", options->file, "sound file (WAV, FLAC, Ogg Vorbis, MP3, ...)")
        ->required();
    cmd->callback([options] { Run(*options); });
}

}  // namespace quil::tool
