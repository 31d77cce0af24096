#include <cstdlib>

#include "platform/UserLocale.h"

namespace quil {

std::string UserLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return value;
    }
    return {};
}

}  // namespace quil
