#pragma once
// Object names of the options sheet and of the few controls that have no resource id of their
// own, beside the ids in ResourceIds.h.

namespace OptionIds {
inline constexpr const char* Sheet = "IDD_OPTIONS";
inline constexpr const char* Tabs = "IDC_OPTION_TABS";
inline constexpr const char* MainPage = "IDD_OPTION_MAIN";
inline constexpr const char* CallerPage = "IDD_OPTION_CALLER";
inline constexpr const char* MsnPage = "IDD_OPTION_MSN";
inline constexpr const char* SpeechPage = "IDD_OPTION_TTS";
inline constexpr const char* TelnetPage = "IDD_OPTION_TELNET";
inline constexpr const char* RulesPage = "IDD_OPTION_RULES";
inline constexpr const char* LinePage = "IDD_OPTION_LINE";
inline constexpr const char* RulesText = "IDC_RULES_TEXT";
inline constexpr const char* RulesCheck = "IDC_RULES_CHECK";
inline constexpr const char* RulesState = "IDC_RULES_STATE";
inline constexpr const char* RulesFaults = "IDC_RULES_FAULTS";
inline constexpr const char* FontGroup = "IDC_FONT_GROUP";
inline constexpr const char* TelnetHint = "IDC_TELNET_HINT";
} // namespace OptionIds
