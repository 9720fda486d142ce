#include "core/PhoneNumbers.h"

#include <phonenumbers/phonenumberutil.h>

#include <cctype>

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;

std::string CountryCodeUpper(const std::string& country) {
    std::string upper = country;
    for (char& c : upper)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

bool IsKnownCountry(const std::string& country) {
    const std::string region = CountryCodeUpper(country);
    if (region.size() != 2)
        return false;
    return PhoneNumberUtil::GetInstance()->GetCountryCodeForRegion(region) != 0;
}

namespace {

std::string DigitsOf(const std::string& text) {
    std::string digits;
    for (char c : text)
        if (c >= '0' && c <= '9')
            digits += c;
    return digits;
}

} // namespace

LineNumber NumberAsLineDelivers(const std::string& written, const std::string& country) {
    const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
    const std::string region = CountryCodeUpper(country);
    PhoneNumber number;
    if (util.Parse(written, region, &number) != PhoneNumberUtil::NO_PARSING_ERROR)
        return {std::string(), "not a phone number"};
    // A local number without its area code, or a number too short or too long, would be stored
    // in a form the line never delivers.
    if (!util.IsValidNumber(number))
        return {std::string(), "not a complete phone number"};
    std::string nationalNumber;
    util.GetNationalSignificantNumber(number, &nationalNumber);
    if (number.country_code() == util.GetCountryCodeForRegion(region)) {
        // At home: the trunk prefix and the national number, as a national call arrives.
        std::string trunkPrefix;
        util.GetNddPrefixForRegion(region, true, &trunkPrefix);
        return {trunkPrefix + nationalNumber, std::string()};
    }
    // Abroad: dialled from the own country, which is how an international call arrives.
    std::string dialled;
    util.FormatOutOfCountryCallingNumber(number, region, &dialled);
    std::string digits = DigitsOf(dialled);
    if (digits.empty())
        return {std::string(), "not a phone number"};
    return {digits, std::string()};
}

std::optional<HomeDialling> HomeDiallingOf(const std::string& country) {
    const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
    const std::string region = CountryCodeUpper(country);
    const int code = region.size() == 2 ? util.GetCountryCodeForRegion(region) : 0;
    if (code == 0)
        return std::nullopt;
    HomeDialling home;
    home.callingCode = std::to_string(code);
    util.GetNddPrefixForRegion(region, true, &home.trunkPrefix);
    return home;
}

std::optional<std::string> PlainLineForm(std::string_view written, const HomeDialling& home) {
    // Without a trunk prefix a national number cannot be told from the rest by its start.
    if (home.trunkPrefix.empty() || written.empty())
        return std::nullopt;
    const bool international = written.front() == '+';
    if (international)
        written.remove_prefix(1);
    std::string digits;
    digits.reserve(written.size());
    for (const char c : written) {
        if (c >= '0' && c <= '9')
            digits += c;
        else if (digits.empty() || (c != ' ' && c != '-' && c != '/' && c != '.'))
            return std::nullopt; // brackets, letters, "(0)": the numbering plan decides
    }
    if (!international)
        return digits.starts_with(home.trunkPrefix) ? std::optional(digits) : std::nullopt;
    if (!digits.starts_with(home.callingCode))
        return std::nullopt;
    std::string national = digits.substr(home.callingCode.size());
    // "+49 030": a trunk prefix where none belongs is the plan's to sort out.
    if (national.empty() || national.starts_with(home.trunkPrefix))
        return std::nullopt;
    return home.trunkPrefix + national;
}
