#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <string>

#include "server/FingerprintIndex.h"
#include "server/SqliteCatalogue.h"

// The subcommands of harkbox-server. Each is added to the application with
// its options and action; an action that fails reports one line on the
// standard error stream and ends the program with a status by throwing
// CLI::RuntimeError: 2 for bad arguments, a missing catalogue or one made
// with other codebooks, 1 for other failures.

namespace quil::server {

void AddIndexCommand(CLI::App& app);
void AddIdentifyCommand(CLI::App& app);
void AddServeCommand(CLI::App& app);
void AddStatsCommand(CLI::App& app);

inline constexpr int kUsageStatus = 2;

// Reports "harkbox-server <command>: <message>" and ends with `status`.
[[noreturn]] void FailCommand(const char* command, const std::string& message,
                              int status = kUsageStatus);

// Opens an existing catalogue and reads it into `index`, or fails the
// command with status 2.
void LoadCatalogue(const char* command, const std::string& path, SqliteCatalogue& store,
                   FingerprintIndex& index);

}  // namespace quil::server
