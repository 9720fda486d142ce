#include "core/UserCountry.h"

#include "core/PhoneNumbers.h"
#include "platform/FileBytes.h"
#include "platform/XdgDirectories.h"

#include <cctype>
#include <cstdlib>

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

bool SameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

CountryChoice Checked(std::string country, std::string from) {
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

std::string CountryInTavoConf(std::string_view confText) {
    bool inNames = false;
    while (!confText.empty()) {
        const size_t lf = confText.find('\n');
        std::string_view line = Trimmed(confText.substr(0, lf));
        confText = lf == std::string_view::npos ? std::string_view() : confText.substr(lf + 1);
        if (line.empty() || line.front() == '#' || line.front() == ';')
            continue;
        if (line.front() == '[') {
            inNames = SameNoCase(Trimmed(line.substr(1, line.find(']') - 1)), "names");
            continue;
        }
        const size_t equals = line.find('=');
        if (inNames && equals != std::string_view::npos &&
            SameNoCase(Trimmed(line.substr(0, equals)), "country"))
            return std::string(Trimmed(line.substr(equals + 1)));
    }
    return std::string();
}

CountryChoice ChooseCountry(const std::optional<std::string>& option,
                            const EnvironmentLookup& environment) {
    if (option)
        return Checked(*option, "--country");
    // Until the settings folder reads tavo.conf, this one key is read here.
    if (const std::string dir = TavoConfigDirectory(); !dir.empty()) {
        const std::string path = dir + "/tavo.conf";
        const FileReadResult conf = ReadFileBytes(path, MissingFile::Fail);
        if (conf.opened) {
            if (std::string country = CountryInTavoConf(conf.bytes); !country.empty())
                return Checked(std::move(country), path);
        }
    }
    const EnvironmentLookup lookup =
        environment ? environment : [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        if (value == nullptr || *value == '\0')
            return std::nullopt;
        return std::string(value);
    };
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
