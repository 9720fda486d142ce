#include "core/UserCountry.h"
#include "platform/Environment.h"

#include "core/PhoneNumbers.h"
#include "settings/TavoConf.h"

#include <cctype>
#include <cstdlib>

namespace {

CountryChoice Checked(const std::string& country, std::string from) {
    if (!IsKnownCountry(country))
        return {std::string(), from,
                "'" + country + "' (from " + from + ") is not a country code such as DE or GB"};
    return {CountryCodeUpper(country), std::move(from), std::string()};
}

} // namespace

std::string CountryOfLocale(std::string_view locale) {
    // language[_territory][.codeset][@modifier]
    locale = locale.substr(0, locale.find_first_of(".@"));
    const size_t underscore = locale.find('_');
    if (underscore == std::string_view::npos)
        return std::string();
    const std::string_view territory = locale.substr(underscore + 1);
    if (territory.size() != 2)
        return std::string();
    return CountryCodeUpper(std::string(territory));
}

CountryChoice ChooseCountry(const std::optional<std::string>& option,
                            const EnvironmentLookup& environment) {
    if (option)
        return Checked(*option, "--country");
    const std::string path = TavoConfPath();
    if (const TavoConfLoad conf = LoadTavoConf(path); conf.ok) {
        if (std::string country = conf.conf.GetString("names", "country", ""); !country.empty())
            return Checked(country, path);
    }
    const EnvironmentLookup lookup =
        environment ? environment : EnvironmentLookup(EnvironmentValue);
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const std::optional<std::string> value = lookup(name);
        if (!value)
            continue;
        const std::string country = CountryOfLocale(*value);
        if (country.empty())
            break; // the locale that applies names no territory
        return Checked(country, name);
    }
    return {std::string(), std::string(),
            "no country known: give --country CC, or set country= in the [names] section of "
            "tavo.conf"};
}
