#include "IncomingCallTexts.h"

#include "CipServiceNames.h"

#include <cctype>
#include <string_view>

namespace {

// The name a directory entry is announced by: its speak text when there is one.
const std::string& SpokenName(const DirectoryEntry& entry) {
    if (entry.speakText && !entry.speakText->empty())
        return *entry.speakText;
    return TextOf(entry.value);
}

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

std::optional<std::string> MsnText(Directory& msnList, const std::string& calledNumber, int cip,
                                   bool onlyNamedMsns) {
    std::string text;
    if (const DirectoryEntry* entry = msnList.findByKey(calledNumber)) {
        text = TextOf(entry->value);
        if (text.empty() && onlyNamedMsns)
            return std::nullopt;
    } else {
        if (onlyNamedMsns)
            return std::nullopt;
        text = calledNumber;
    }
    if (const char* service = CipServiceName(cip)) {
        text += '/';
        text += service;
    }
    return BoundText(std::move(text));
}

std::string CallerText(Directory& phoneBook, const AreaCodeTable& areaCodes,
                       const std::string& callingNumber) {
    if (callingNumber == "0")
        return UnknownCallerText;
    if (const DirectoryEntry* entry = phoneBook.findByKey(callingNumber))
        return BoundText(TextOf(entry->value) + "  " + callingNumber);
    if (const AreaCodeEntry* area = areaCodes.FindAreaCode(callingNumber)) {
        const size_t n = area->areaCode.size();
        return BoundText(callingNumber.substr(0, n) + "/" + callingNumber.substr(n));
    }
    return std::string();
}

std::string LogLine(const std::string& timeText, const std::string& callerText,
                    const std::string& msnText, const std::string& calledNumber) {
    return BoundText(timeText + " - " + callerText + " -->> " + msnText + "(" + calledNumber + ")");
}

std::string PopupText(const std::string& callerText, const std::string& msnText) {
    return BoundText(callerText + "  ( " + msnText + " ) ");
}

std::string ToSpeech(Directory& msnList, const std::string& calledNumber,
                     const std::string& unknownSpeakText) {
    if (calledNumber.empty())
        return BoundText(unknownSpeakText + " ");
    if (const DirectoryEntry* entry = msnList.findByKey(calledNumber))
        return BoundText(SpokenName(*entry) + " ");
    // An MSN nobody named: read its digits out one by one, as an unknown caller's number is.
    std::string spoken;
    for (char c : calledNumber) {
        spoken += c;
        spoken += ' ';
    }
    return BoundText(std::move(spoken));
}

std::string FromSpeech(Directory& phoneBook, const AreaCodeTable& areaCodes,
                       const std::string& callingNumber, const std::string& unknownSpeakText) {
    if (const DirectoryEntry* entry = phoneBook.findByKey(callingNumber))
        return BoundText(SpokenName(*entry) + " ");
    if (callingNumber.size() >= 2 && std::isdigit(static_cast<unsigned char>(callingNumber[0]))) {
        const AreaCodeEntry* area = areaCodes.FindAreaCode(callingNumber);
        if (!area)
            return BoundText(callingNumber);
        std::string spoken;
        for (size_t i = 0; i < callingNumber.size(); ++i) {
            if (i == area->areaCode.size())
                spoken += SpeechPauseTag;
            spoken += callingNumber[i];
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
