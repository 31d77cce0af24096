// harkbox-tool: developer commands around the program's graphics, data and
// fingerprints.
#include "tools/harkbox-tool/ToolCommands.h"

int main(int argc, char** argv) {
    CLI::App app{"harkbox-tool: developer commands for Harkbox"};
    app.require_subcommand(1);
    for (auto add : {quil::tool::AddRenderTextCommand, quil::tool::AddRenderSkinCommand,
                     quil::tool::AddFingerprintCommand, quil::tool::AddTrainCodebooksCommand,
                     quil::tool::AddHttpGetCommand, quil::tool::AddQueryCommand})
        add(app);
    CLI11_PARSE(app, argc, argv);
    return 0;
}
