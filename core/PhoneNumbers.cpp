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
