#pragma once

#include <CLI/CLI.hpp>

#include <string>

// The subcommands of harkbox-tool. Each one is set up by a function that adds
// it to the application with its options and its action; the action reports
// failures on the standard error stream and ends with a non-zero status by
// throwing CLI::RuntimeError(status). A new subcommand is one new file and
// one line here and in main.cpp's list.

namespace quil::tool {

void AddRenderTextCommand(CLI::App& app);
void AddRenderSkinCommand(CLI::App& app);
void AddFingerprintCommand(CLI::App& app);
void AddTrainCodebooksCommand(CLI::App& app);
void AddHttpGetCommand(CLI::App& app);
void AddQueryCommand(CLI::App& app);

// Reports "harkbox-tool <command>: <message>" on the standard error stream and
// ends the command with status 1.
[[noreturn]] void FailCommand(const char* command, const std::string& message);

}  // namespace quil::tool
