#include "speech/VoiceOrder.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// 0: language and territory, 1: the bare language, 2: a dialect of the language, 3: no match.
struct Match {
    int group = 3;
    int preference = INT_MAX;
};

Match MatchVoice(const SpeechVoice& voice, const UserLanguage& user) {
    Match best;
    if (user.language.empty())
        return best;
    for (const auto& [tag, preference] : voice.languages) {
        const std::string lower = Lower(tag);
        int group = 3;
        if (!user.territory.empty() && lower == user.language + "-" + user.territory)
            group = 0;
        else if (lower == user.language)
            group = 1;
        else if (lower.starts_with(user.language + "-"))
            group = 2;
        if (group < best.group || (group == best.group && preference < best.preference))
            best = {group, preference};
    }
    return best;
}

} // namespace

UserLanguage ParseLocaleName(std::string_view locale) {
    const size_t end = locale.find_first_of(".@");
    std::string_view base = locale.substr(0, end);
    if (base.empty() || base == "C" || base == "POSIX")
        return {};
    UserLanguage user;
    const size_t separator = base.find_first_of("_-");
    user.language = Lower(base.substr(0, separator));
    if (separator != std::string_view::npos)
        user.territory = Lower(base.substr(separator + 1));
    return user;
}



std::vector<SpeechVoice> OrderVoicesForUser(std::vector<SpeechVoice> voices,
                                            const UserLanguage& user) {
    UserLanguage wanted = user;
    const auto speaks = [&](const UserLanguage& who) {
        return std::any_of(voices.begin(), voices.end(),
                           [&](const SpeechVoice& v) { return MatchVoice(v, who).group < 3; });
    };
    if (!speaks(wanted))
        wanted = {"en", ""};
    std::vector<std::pair<Match, size_t>> keys;
    keys.reserve(voices.size());
    for (size_t i = 0; i < voices.size(); ++i)
        keys.push_back({MatchVoice(voices[i], wanted), i});
    std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
        if (a.first.group != b.first.group)
            return a.first.group < b.first.group;
        // Unmatched voices keep the synthesizer's order.
        if (a.first.group == 3)
            return false;
        return a.first.preference < b.first.preference;
    });
    std::vector<SpeechVoice> ordered;
    ordered.reserve(voices.size());
    for (const auto& key : keys)
        ordered.push_back(std::move(voices[key.second]));
    return ordered;
}
