#pragma once
// The environment variables the program reads, one way for all of them.

#include <optional>
#include <string>

// The value of an environment variable; nullopt when it is unset or empty.
std::optional<std::string> EnvironmentValue(const char* name);

// The locale the user chose for messages: LC_ALL, else LC_MESSAGES, else LANG, as POSIX orders
// them; empty when none is set.
std::string MessageLocale();
