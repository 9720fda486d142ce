#pragma once
// The texts composed for one incoming call: how the MSN and the caller are shown, the log line,
// the popup text and the spoken announcement. Plain functions over the call as it was resolved
// once, so that every rule can be checked without windows.
//
// Every composed text is bounded: names in the directories are the user's own and may be of any
// length, and a text that reaches MaxComposedText bytes is cut there.

#include "data/ResolvedCall.h"
#include "platform/Text.h"

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>

inline constexpr size_t MaxComposedText = 1023;
inline constexpr const char* UnknownCallerText = "<< unknown >>";
inline constexpr const char* SpeechPauseTag = "\\Pau=500\\";

// Cuts `text` to MaxComposedText bytes.
std::string BoundText(std::string text);

// Local time as "%Y-%m-%d %H:%M:%S".
std::string TimeText(std::time_t time);



// How the called MSN is shown: its name in the MSN list, or the called number, then "/" and the
// service name for CIP values 1 to 31. nullopt when `onlyNamedMsns` drops the call (the MSN is
// not in the list, or its name is empty).
std::optional<std::string> MsnText(const ResolvedCall& call, bool onlyNamedMsns);

// How the caller is shown: "<< unknown >>" for the withheld mark "0", else the phone-book name,
// two blanks and the number, else the number split after its area code, else the number as it
// is; empty for the mark "*" and an absent number.
std::string CallerText(const ResolvedCall& call);

// "<time> - <caller> -->> <msn>(<called number>)", control bytes replaced (data/ControlBytes.h).
std::string LogLine(const std::string& timeText, const std::string& callerText,
                    const std::string& msnText, const std::string& calledNumber);

// "<caller>  ( <msn> ) "
std::string PopupText(const std::string& callerText, const std::string& msnText);

// What replaces %to%: the MSN's speak text or name, the unknown text for an empty called number,
// or the called number spoken digit by digit; always ending with one blank.
std::string ToSpeech(const ResolvedCall& call, const std::string& unknownSpeakText);

// What replaces %from%: the caller's speak text or name and a blank; a number with an area code
// spoken character by character with a pause after the code; a number without one as it is; else
// the unknown text.
std::string FromSpeech(const ResolvedCall& call, const std::string& unknownSpeakText);

// The template with three blanks appended and every %to% and %from%, together with the one
// character after it, replaced. Inserted texts are not searched again. A cut never splits the
// pause tag.
std::string SpeechText(const std::string& speakTemplate, const std::string& toSpeech,
                       const std::string& fromSpeech);
