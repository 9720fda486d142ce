#include "core/NumberKinds.h"

#include "core/PhoneNumbers.h"

#include <phonenumbers/phonenumberutil.h>

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;

unsigned NumberKindsOf(const std::string& lineNumber, const std::string& country) {
    const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
    PhoneNumber number;
    if (!IsKnownCountry(country) ||
        util.Parse(lineNumber, CountryCodeUpper(country), &number) != PhoneNumberUtil::NO_PARSING_ERROR ||
        !util.IsValidNumber(number))
        return NumberKindBit(NumberKind::Invalid);
    switch (util.GetNumberType(number)) {
    case PhoneNumberUtil::PREMIUM_RATE:
        return NumberKindBit(NumberKind::Premium);
    case PhoneNumberUtil::TOLL_FREE:
        return NumberKindBit(NumberKind::TollFree);
    case PhoneNumberUtil::MOBILE:
        return NumberKindBit(NumberKind::Mobile);
    case PhoneNumberUtil::FIXED_LINE:
        return NumberKindBit(NumberKind::Fixed);
    case PhoneNumberUtil::FIXED_LINE_OR_MOBILE:
        return NumberKindBit(NumberKind::Fixed) | NumberKindBit(NumberKind::Mobile);
    default:
        return 0; // shared cost, VoIP, pager and the like: none of the kinds the rules name
    }
}
