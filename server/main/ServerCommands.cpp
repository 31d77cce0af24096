#include "server/main/ServerCommands.h"

#include <cstdio>

#include "server/CatalogueLoader.h"

namespace quil::server {

void FailCommand(const char* command, const std::string& message, int status) {
    std::fprintf(stderr, "harkbox-server %s: %s\n", command, message.c_str());
    throw CLI::RuntimeError(status);
}

void LoadCatalogue(const char* command, const std::string& path, SqliteCatalogue& store,
                   FingerprintIndex& index) {
    if (store.Open(path, false) != 0)
        FailCommand(command, store.ErrorText());
    std::string error;
    if (LoadIndex(store, index, error) != 0)
        FailCommand(command, error);
}

}  // namespace quil::server
