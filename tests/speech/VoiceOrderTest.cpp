#include "platform/Environment.h"
#include "speech/VoiceOrder.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

SpeechVoice Voice(std::string id, std::vector<std::pair<std::string, int>> languages) {
    return {id, id, std::move(languages), true};
}

std::vector<std::string> Ids(const std::vector<SpeechVoice>& voices) {
    std::vector<std::string> ids;
    for (const auto& v : voices)
        ids.push_back(v.identifier);
    return ids;
}

// A cut of the synthesizer's list: alphabetical by language, English in several dialects.
std::vector<SpeechVoice> SampleVoices() {
    return {
        Voice("af", {{"af", 5}}),
        Voice("de", {{"de", 5}}),
        Voice("en-029", {{"en-029", 5}, {"en", 10}}),
        Voice("en", {{"en-gb", 2}, {"en", 2}}),
        Voice("en-GB-scotland", {{"en-gb-scotland", 5}, {"en", 4}}),
        Voice("en-US", {{"en-us", 2}, {"en", 3}}),
        Voice("en-US-nyc", {{"en-us-nyc", 5}}),
        Voice("fr-BE", {{"fr-be", 5}, {"fr", 8}}),
        Voice("fr", {{"fr-fr", 5}, {"fr", 5}}),
        Voice("sv", {{"sv", 5}}),
    };
}

} // namespace

TEST(VoiceOrder, ParsesLocaleNames) {
    UserLanguage de = ParseLocaleName("de_AT.UTF-8@euro");
    EXPECT_EQ(de.language, "de");
    EXPECT_EQ(de.territory, "at");
    EXPECT_EQ(ParseLocaleName("fr").language, "fr");
    EXPECT_EQ(ParseLocaleName("fr").territory, "");
    EXPECT_EQ(ParseLocaleName("C.UTF-8").language, "");
    EXPECT_EQ(ParseLocaleName("POSIX").language, "");
    EXPECT_EQ(ParseLocaleName("").language, "");
}

TEST(VoiceOrder, MessageLocaleFollowsPrecedence) {
    setenv("LC_ALL", "", 1);
    setenv("LC_MESSAGES", "fr_FR.UTF-8", 1);
    setenv("LANG", "de_DE.UTF-8", 1);
    EXPECT_EQ(MessageLocale(), "fr_FR.UTF-8");
    setenv("LC_ALL", "sv_SE", 1);
    EXPECT_EQ(MessageLocale(), "sv_SE");
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    EXPECT_EQ(MessageLocale(), "de_DE.UTF-8");
    unsetenv("LANG");
    EXPECT_EQ(MessageLocale(), "");
}

TEST(VoiceOrder, UserLanguageAndTerritoryComeFirst) {
    const auto ordered = Ids(OrderVoicesForUser(SampleVoices(), {"en", "us"}));
    ASSERT_EQ(ordered.size(), 10u);
    // Territory match, then the bare language by preference, then its other dialects.
    EXPECT_EQ(std::vector<std::string>(ordered.begin(), ordered.begin() + 5),
              (std::vector<std::string>{"en-US", "en", "en-GB-scotland", "en-029", "en-US-nyc"}));
    EXPECT_EQ(std::vector<std::string>(ordered.begin() + 5, ordered.end()),
              (std::vector<std::string>{"af", "de", "fr-BE", "fr", "sv"}));
}

TEST(VoiceOrder, LanguageWithoutTerritoryMatch) {
    const auto ordered = Ids(OrderVoicesForUser(SampleVoices(), {"fr", "ca"}));
    EXPECT_EQ(ordered[0], "fr");
    EXPECT_EQ(ordered[1], "fr-BE");
    EXPECT_EQ(ordered[2], "af");
}

TEST(VoiceOrder, EnglishWhenTheLanguageHasNoVoice) {
    for (const UserLanguage& user : {UserLanguage{"xx", "yy"}, UserLanguage{}}) {
        const auto ordered = Ids(OrderVoicesForUser(SampleVoices(), user));
        EXPECT_EQ(ordered[0], "en");
        EXPECT_EQ(ordered[1], "en-US");
    }
}

TEST(VoiceOrder, NoEnglishEitherKeepsTheOrder) {
    std::vector<SpeechVoice> voices{Voice("sv", {{"sv", 5}}), Voice("af", {{"af", 5}})};
    EXPECT_EQ(Ids(OrderVoicesForUser(voices, {"de", ""})), (std::vector<std::string>{"sv", "af"}));
    EXPECT_TRUE(OrderVoicesForUser({}, {"de", ""}).empty());
}
