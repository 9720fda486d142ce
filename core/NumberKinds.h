#pragma once
// What libphonenumber says of a number as the line delivers it (premium rate, toll free,
// mobile, fixed line, or no valid number at all), read with the user's country.

#include "core/CallRules.h"

#include <string>

// Bits of NumberKindBit; a number of a plan that does not tell fixed from mobile is both.
// `country` must be one libphonenumber knows, else every number is Invalid.
unsigned NumberKindsOf(const std::string& lineNumber, const std::string& country);
