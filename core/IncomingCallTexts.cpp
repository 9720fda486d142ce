#include "core/IncomingCallTexts.h"

#include "data/ControlBytes.h"

#include <cctype>
#include <string_view>

namespace {

bool StartsWith(const std::string& text, size_t position, std::string_view prefix) {
    return text.compare(position, prefix.size(), prefix) == 0;
}

} // namespace

std::string BoundText(std::string text) {
    if (text.size() > MaxComposedText)
        text.resize(MaxComposedText);
    return text;
}

std::string TimeText(std::time_t time) {
    std::tm local{};
    char text[64];
    if (localtime_r(&time, &local) == nullptr ||
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) == 0)
        return std::string();
    return text;
}

std::optional<std::string> MsnText(const ResolvedCall& call, bool onlyNamedMsns) {
    if (onlyNamedMsns && (!call.msnKnown || call.msnName.empty()))
        return std::nullopt;
    std::string text = call.msnKnown ? call.msnName : call.calledNumber;
    if (call.service) {
        text += '/';
        text += call.service;
    }
    return BoundText(std::move(text));
}

std::string CallerText(const ResolvedCall& call) {
    if (call.callerKind == CallerKind::Withheld)
        return UnknownCallerText;
    if (call.callerName)
        return BoundText(*call.callerName + "  " + call.callingNumber);
    // A number with no rule is still a number the line delivered: it shows as it is, unsplit.
    // Only the mark "*" and an absent number leave the text empty.
    if (call.areaCodeFound || call.callerKind == CallerKind::Number)
        return BoundText(SplitNumber(call));
    return std::string();
}

std::string LogLine(const std::string& timeText, const std::string& callerText,
                    const std::string& msnText, const std::string& calledNumber) {
    // The line goes to "caller.txt" and to terminals: a name or number must not end it early or
    // reach the terminal as a command.
    return BoundText(ReplaceControlBytes(timeText + " - " + callerText + " -->> " + msnText + "(" +
                                         calledNumber + ")"));
}

std::string PopupText(const std::string& callerText, const std::string& msnText) {
    return BoundText(callerText + "  ( " + msnText + " ) ");
}

std::string ToSpeech(const ResolvedCall& call, const std::string& unknownSpeakText) {
    if (call.calledNumber.empty())
        return BoundText(unknownSpeakText + " ");
    if (call.msnKnown)
        return BoundText(call.msnSpokenName + " ");
    // An MSN nobody named: read its digits out one by one, as an unknown caller's number is.
    std::string spoken;
    for (char c : call.calledNumber) {
        spoken += c;
        spoken += ' ';
    }
    return BoundText(std::move(spoken));
}

std::string FromSpeech(const ResolvedCall& call, const std::string& unknownSpeakText) {
    if (call.callerName)
        return BoundText(call.callerSpokenName + " ");
    const std::string& number = call.callingNumber;
    if (number.size() >= 2 && std::isdigit(static_cast<unsigned char>(number[0]))) {
        if (!call.areaCodeFound)
            return BoundText(number);
        std::string spoken;
        for (size_t i = 0; i < number.size(); ++i) {
            if (i == call.areaCodeLength)
                spoken += SpeechPauseTag;
            spoken += number[i];
            spoken += ' ';
        }
        return BoundText(std::move(spoken));
    }
    return BoundText(unknownSpeakText);
}

std::string SpeechText(const std::string& speakTemplate, const std::string& toSpeech,
                       const std::string& fromSpeech) {
    const std::string work = speakTemplate + "   ";
    std::string spoken;
    size_t i = 0;
    while (i < work.size() && spoken.size() <= MaxComposedText) {
        if (StartsWith(work, i, "%to%")) {
            spoken += toSpeech;
            i += 5; // the placeholder and the character after it
        } else if (StartsWith(work, i, "%from%")) {
            spoken += fromSpeech;
            i += 7;
        } else {
            spoken += work[i++];
        }
    }
    if (spoken.size() <= MaxComposedText)
        return spoken;
    // Cut, but never inside a pause tag: a broken tag would be read out character by character.
    const std::string_view tag = SpeechPauseTag;
    size_t cut = MaxComposedText;
    for (size_t k = tag.size() - 1; k >= 1; --k) {
        if (cut >= k && StartsWith(spoken, cut - k, tag)) {
            cut -= k;
            break;
        }
    }
    spoken.resize(cut);
    return spoken;
}
