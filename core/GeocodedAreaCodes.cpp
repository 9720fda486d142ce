#include "core/GeocodedAreaCodes.h"
#include "platform/Environment.h"

#include "core/PhoneNumbers.h"
#include "data/TextCharset.h"

#include <phonenumbers/phonenumberutil.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <list>

// The geocoding library's own tables. Debian ships its library but not this header, so the
// declarations are repeated here as the library defines them.
namespace i18n::phonenumbers {
struct PrefixDescriptions {
    const int32_t* prefixes;
    const int prefixes_size;
    const char** descriptions;
    const int32_t* possible_lengths;
    const int possible_lengths_size;
};
const char** get_prefix_language_code_pairs();
int get_prefix_language_code_pairs_size();
const PrefixDescriptions* get_prefix_descriptions(int index);
} // namespace i18n::phonenumbers

namespace pn = i18n::phonenumbers;

namespace {

// The index of "<calling code>_<language>" in the geocoding data, or -1.
int FindTable(int callingCode, const std::string& language) {
    const std::string wanted = std::to_string(callingCode) + "_" + language;
    const char** pairs = pn::get_prefix_language_code_pairs();
    const int count = pn::get_prefix_language_code_pairs_size();
    for (int i = 0; i < count; ++i)
        if (wanted == pairs[i])
            return i;
    return -1;
}

// Any table for the calling code, in the data's order.
int FindAnyTable(int callingCode, std::string& language) {
    const std::string prefix = std::to_string(callingCode) + "_";
    const char** pairs = pn::get_prefix_language_code_pairs();
    const int count = pn::get_prefix_language_code_pairs_size();
    for (int i = 0; i < count; ++i) {
        const std::string pair = pairs[i];
        if (pair.starts_with(prefix)) {
            language = pair.substr(prefix.size());
            return i;
        }
    }
    return -1;
}

// Where several countries share a calling code (+1, +7, +44), a code belongs to the country
// whose numbers it begins: the country's example number with its start replaced must still be
// that country's.
bool BelongsTo(const pn::PhoneNumberUtil& util, const std::string& region, int callingCode,
               const std::string& nationalCode) {
    pn::PhoneNumber example;
    if (!util.GetExampleNumber(region, &example))
        return false;
    std::string national;
    util.GetNationalSignificantNumber(example, &national);
    if (nationalCode.size() >= national.size())
        return false;
    national.replace(0, nationalCode.size(), nationalCode);
    pn::PhoneNumber candidate;
    if (util.Parse("+" + std::to_string(callingCode) + national, region, &candidate) !=
        pn::PhoneNumberUtil::NO_PARSING_ERROR)
        return false;
    std::string found;
    util.GetRegionCodeForNumber(candidate, &found);
    return found == region;
}

} // namespace

void OrderForFirstMatch(std::vector<AreaCodeEntry>& entries) {
    // A code followed by a character above every digit sorts after the longer codes that begin
    // with it, and in plain ascending order otherwise.
    std::sort(entries.begin(), entries.end(), [](const AreaCodeEntry& a, const AreaCodeEntry& b) {
        return a.areaCode + '\x7f' < b.areaCode + '\x7f';
    });
}

std::string AreaCodeFileText(const std::vector<AreaCodeEntry>& entries) {
    std::string text;
    for (const AreaCodeEntry& entry : entries)
        text += entry.areaCode + "\t" + entry.placeName + "\r\n";
    return text;
}

std::string LocaleLanguage() {
    const std::string locale = MessageLocale();
    if (locale.empty())
        return "en";
    std::string language = locale.substr(0, locale.find_first_of("_.@"));
    if (language.size() < 2 || language == "C" || language == "POSIX")
        return "en";
    return language;
}

GeocodedTable GeocodedAreaCodes(const std::string& country, const std::string& language) {
    GeocodedTable table;
    if (!IsKnownCountry(country)) {
        table.error = "'" + country + "' is not a country code such as DE or GB";
        return table;
    }
    const std::string region = CountryCodeUpper(country);
    const pn::PhoneNumberUtil& util = *pn::PhoneNumberUtil::GetInstance();
    const int callingCode = util.GetCountryCodeForRegion(region);
    table.language = language;
    int index = FindTable(callingCode, language);
    if (index < 0) {
        table.language = "en";
        index = FindTable(callingCode, "en");
    }
    if (index < 0)
        index = FindAnyTable(callingCode, table.language);
    if (index < 0) {
        table.error = "libphonenumber's geocoding data has no area codes for " + region + " (+" +
                      std::to_string(callingCode) + ")";
        return table;
    }
    std::string trunkPrefix;
    util.GetNddPrefixForRegion(region, true, &trunkPrefix);
    std::list<std::string> regions;
    util.GetRegionCodesForCountryCallingCode(callingCode, &regions);
    const bool shared = regions.size() > 1;

    const pn::PrefixDescriptions* data = pn::get_prefix_descriptions(index);
    const std::string callingDigits = std::to_string(callingCode);
    for (int i = 0; i < data->prefixes_size; ++i) {
        const std::string prefix = std::to_string(data->prefixes[i]);
        if (!prefix.starts_with(callingDigits) || prefix.size() == callingDigits.size())
            continue;
        const std::string nationalCode = prefix.substr(callingDigits.size());
        if (shared && !BelongsTo(util, region, callingCode, nationalCode))
            continue;
        const std::string place = ToStoredText(data->descriptions[i]);
        if (place.empty())
            continue;
        table.entries.push_back({trunkPrefix + nationalCode, place});
    }
    if (table.entries.empty()) {
        table.error = "libphonenumber's geocoding data has no area codes for " + region;
        return table;
    }
    OrderForFirstMatch(table.entries);
    return table;
}
