#pragma once
// Numbers brought into the form the line delivers them in, so that the phone book's exact lookup
// finds them: numbers of the user's own country in national form with the trunk prefix
// (+49 30 1234567 -> 0301234567 for Germany), others with the own country's international prefix
// (+44 20 7946 0018 -> 00442079460018). libphonenumber knows every country's prefixes.

#include <string>

// True for a two-letter country code libphonenumber knows ("DE", "gb").
bool IsKnownCountry(const std::string& country);

// The code in upper case ("de" -> "DE").
std::string CountryCodeUpper(const std::string& country);

struct LineNumber {
    std::string number; // digits only; empty when `error` says why
    std::string error;
};

// `written` as an address book has it: blanks, dashes, brackets, "+", "(0)" and letters on the
// keys included. `country` must be a known country.
LineNumber NumberAsLineDelivers(const std::string& written, const std::string& country);
