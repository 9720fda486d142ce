#pragma once
// The user's country, for bringing numbers into the form the line delivers: --country, else
// `country=` in the [names] section of tavo.conf, else the territory of the locale.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

struct CountryChoice {
    std::string country; // upper case; empty when none was found, with `error` saying why
    std::string from;    // "--country", the configuration file's path, or the locale variable
    std::string error;
};

// "de_DE.UTF-8" -> "DE"; "C", "POSIX" and locales without a territory give "".
std::string CountryOfLocale(std::string_view locale);

using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

// `option`, else the [names] country of `$XDG_CONFIG_HOME/TAVO/tavo.conf`, else the first of
// LC_ALL, LC_MESSAGES and LANG that is set. A country libphonenumber does not know is an error.
CountryChoice ChooseCountry(const std::optional<std::string>& option,
                            const EnvironmentLookup& environment = {});
