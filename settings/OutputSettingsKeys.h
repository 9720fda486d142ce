#pragma once
// The keys of tavo.conf that hold the outputs' settings, in one table that reading and writing
// both go by: where each key stands, what it holds (its type, and a whole number's range) and
// which field of OutputSettings it is. A field's default is the one OutputSettings gives it.
// A new setting is one line of the table.

#include "settings/TavoConf.h"

#include <span>
#include <string>
#include <string_view>
#include <variant>

template <typename T> using OutputSettingsField = T& (*)(OutputSettings&);

struct OutputSettingsKey {
    std::string_view section;
    std::string_view name;
    std::variant<OutputSettingsField<bool>, OutputSettingsField<int>,
                 OutputSettingsField<std::string>, OutputSettingsField<AnnounceWith>>
        field;
    int low = 0; // a whole number's range
    int high = 0;
    bool secret = false; // a password: the file holding it must be private
};

// In the order new keys are written to the file.
std::span<const OutputSettingsKey> OutputSettingsKeys();

// The names "announce_with" takes, in the order of AnnounceWith.
std::span<const std::string_view> AnnounceWithNames();

// A key that holds a password or a secret with a value: one of the secret keys of this table or
// of the line sources' (settings/LineSettings.h), or any
// key named like one ("password", "secret", "token"), for keys other programs' parts may read.
bool HoldsSecret(const TavoConf& conf);
