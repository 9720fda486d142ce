#pragma once
// Which voice comes first in the mode table: the user's language, else English, then the rest.

#include "speech/SpeechBackend.h"

#include <string>
#include <string_view>
#include <vector>

struct UserLanguage {
    std::string language;  // lower case, e.g. "de"; empty for the C/POSIX locale
    std::string territory; // lower case, e.g. "at"; may be empty
};

// From a locale name such as "de_AT.UTF-8@euro".
UserLanguage ParseLocaleName(std::string_view locale);

// Voices for the user's language and territory first, then the others of that language, each
// group by the voices' own preference; when the language has no voice at all, English takes its
// place. All other voices follow in their original order.
std::vector<SpeechVoice> OrderVoicesForUser(std::vector<SpeechVoice> voices,
                                            const UserLanguage& user);
