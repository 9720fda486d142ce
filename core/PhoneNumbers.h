#pragma once
// Numbers brought into the form the line delivers them in, so that the phone book's exact lookup
// finds them: numbers of the user's own country in national form with the trunk prefix
// (+49 30 1234567 -> 0301234567 for Germany), others with the own country's international prefix
// (+44 20 7946 0018 -> 00442079460018). libphonenumber knows every country's prefixes.

#include <optional>
#include <string>
#include <string_view>

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

// How the user's own country writes its numbers: its calling code ("49") and the trunk prefix a
// national call begins with ("0"). nullopt for an unknown country.
struct HomeDialling {
    std::string callingCode;
    std::string trunkPrefix;
};
std::optional<HomeDialling> HomeDiallingOf(const std::string& country);

// The form the line delivers `written` in, where that needs no numbering plan: digits with only
// blanks, dashes, slashes or dots between them, either starting with the trunk prefix (national,
// or international dialled from home) or "+", the own calling code and a national number
// without its trunk prefix. nullopt for everything else (ask NumberAsLineDelivers). Such a
// number is taken as written, not checked against the numbering plan: parsing each number of a
// list of 100,000 with the plan takes seconds.
std::optional<std::string> PlainLineForm(std::string_view written, const HomeDialling& home);
