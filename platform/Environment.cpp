#include "platform/Environment.h"

#include <cstdlib>

std::optional<std::string> EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0')
        return std::nullopt;
    return std::string(value);
}

std::string MessageLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (std::optional<std::string> value = EnvironmentValue(name))
            return *value;
    return std::string();
}
