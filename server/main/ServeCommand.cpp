#include <unistd.h>

#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>
#include <csignal>
#include <cstdio>

#include "server/IdentificationServer.h"
#include "server/Matcher.h"
#include "server/WebHost.h"
#include "server/main/ServerCommands.h"

namespace quil::server {

namespace {

// The name clients are told to send their queries to: the bound address
// when it is a specific one, else this machine's host name.
std::string DefaultPublicHost(const std::string& address) {
    if (address != "0.0.0.0" && address != "::")
        return address;
    char name[256] = {};
    if (gethostname(name, sizeof(name) - 1) != 0 || name[0] == 0)
        return "127.0.0.1";
    return name;
}

}  // namespace

void AddServeCommand(CLI::App& app) {
    auto* command =
        app.add_subcommand("serve",
                           "Serve a catalogue: the UDP identification side and the web host, until "
                           "SIGINT or SIGTERM");
    struct Options {
        std::string catalogue;
        std::string address = "0.0.0.0";
        int udpPort = 5747;
        int httpPort = 80;
        std::string publicHost;
        size_t maxSessions = 256;
    };
    auto options = std::make_shared<Options>();
    command->add_option("--catalogue", options->catalogue, "catalogue file (SQLite)")->required();
    command->add_option("--address", options->address, "numeric address to listen on")
        ->capture_default_str();
    command->add_option("--udp-port", options->udpPort, "UDP port of the identification side")
        ->capture_default_str()
        ->check(CLI::Range(0, 65535));
    command->add_option("--http-port", options->httpPort, "TCP port of the web host")
        ->capture_default_str()
        ->check(CLI::Range(0, 65535));
    command->add_option("--public-host", options->publicHost,
                        "host name or address that clients send queries to (default: the "
                        "listening address, or this machine's name)");
    command->add_option("--max-sessions", options->maxSessions, "sessions served at once")
        ->capture_default_str()
        ->check(CLI::Range(1, 100000));
    command->callback([options] {
        SqliteCatalogue store;
        FingerprintIndex index;
        LoadCatalogue("serve", options->catalogue, store, index);
        Matcher matcher(std::move(index), MatcherSettings{});

        asio::io_context io;
        std::error_code error;
        const asio::ip::address address = asio::ip::make_address(options->address, error);
        if (error)
            FailCommand("serve", "not a numeric address: " + options->address);
        ServerOptions serverOptions;
        serverOptions.maxSessions = options->maxSessions;
        IdentificationServer udp(io, matcher, serverOptions, [](const std::string& line) {
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
        });
        if (std::error_code failed = udp.Start(address, static_cast<uint16_t>(options->udpPort)))
            FailCommand("serve",
                        "cannot serve UDP port " + std::to_string(options->udpPort) + ": " +
                            failed.message(),
                        1);

        const std::string publicHost =
            options->publicHost.empty() ? DefaultPublicHost(options->address) : options->publicHost;
        WebHost web(publicHost, matcher.index().songs());
        if (int failed = web.Start(options->address, options->httpPort); failed != 0) {
            udp.Stop();
            FailCommand("serve",
                        "cannot serve HTTP port " + std::to_string(options->httpPort) + ": " +
                            WebHost::ErrorText(failed),
                        1);
        }

        asio::signal_set signals(io, SIGINT, SIGTERM);
        signals.async_wait([&](const std::error_code&, int) {
            web.Stop();
            udp.Stop();
        });
        std::fprintf(stderr,
                     "harkbox-server: %zu songs; identification on UDP %s:%u, web host on "
                     "http://%s:%d/harkbox/ (public host %s)\n",
                     matcher.index().songCount(), options->address.c_str(),
                     udp.LocalEndpoint().port(), options->address.c_str(), web.port(),
                     publicHost.c_str());
        io.run();

        const ServerCounters counters = udp.Counters();
        std::printf(
            "sessions %llu, answers %llu, refusals %llu, expiries %llu, dropped "
            "datagrams %llu\n",
            static_cast<unsigned long long>(counters.sessionsStarted),
            static_cast<unsigned long long>(counters.sessionsAnswered),
            static_cast<unsigned long long>(counters.refusals),
            static_cast<unsigned long long>(counters.expiries),
            static_cast<unsigned long long>(counters.dropped));
    });
}

}  // namespace quil::server
