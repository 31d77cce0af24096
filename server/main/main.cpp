// harkbox-server: the reference identification service and its catalogue.
#include <cstdio>

#include "server/main/ServerCommands.h"

int main(int argc, char** argv) {
    CLI::App app{"harkbox-server: the Harkbox reference identification service"};
    app.require_subcommand(1);
    for (auto add : {quil::server::AddIndexCommand, quil::server::AddIdentifyCommand,
                     quil::server::AddServeCommand, quil::server::AddStatsCommand})
        add(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForAllHelp& help) {
        return app.exit(help);
    } catch (const CLI::RuntimeError& failure) {
        return failure.get_exit_code();
    } catch (const CLI::ParseError& error) {
        // One line, and the status of every usage error.
        std::fprintf(stderr, "harkbox-server: %s (see --help)\n", error.what());
        return quil::server::kUsageStatus;
    }
    return 0;
}
