#include "outputs/NcidLines.h"

#include "platform/Text.h"

#include <ctime>

namespace {

// Cuts UTF-8 text to at most `count` characters.
std::string FirstCharacters(const std::string& text, size_t count) {
    size_t i = 0;
    for (size_t characters = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && characters++ == count)
            break;
    }
    return text.substr(0, i);
}


} // namespace

std::string NcidField(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c == '*' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return std::string(Trim(out, " "));
}

std::string NcidLineLabel(const CallEvent& call) {
    const std::string name = NcidField(call.msnName);
    if (!name.empty())
        return std::string(Trim(FirstCharacters(name, NcidLineLabelLength), " "));
    const std::string msn = NcidField(call.msn);
    if (msn.empty())
        return "-";
    return msn.size() > 4 ? msn.substr(msn.size() - 4) : msn;
}

std::string NcidNumber(const CallEvent& call) {
    switch (call.callerKind) {
    case CallerKind::Withheld:
        return "PRIVATE";
    case CallerKind::IsdnUnknown:
    case CallerKind::Absent:
        return "NO-NUMBER";
    case CallerKind::Number:
        break;
    }
    const std::string number = NcidField(call.number);
    return number.empty() ? "NO-NUMBER" : number;
}

std::string NcidName(const CallEvent& call) {
    std::string name = NcidField(call.callerName);
    if (name.empty())
        name = NcidField(call.place);
    return name.empty() ? "NO NAME" : name;
}

std::string NcidCallLine(const char* kind, const CallEvent& call) {
    std::tm local{};
    localtime_r(&call.time, &local);
    char date[16];
    char time[8];
    std::strftime(date, sizeof date, "%m%d%Y", &local);
    std::strftime(time, sizeof time, "%H%M", &local);
    return std::string(kind) + ": *DATE*" + date + "*TIME*" + time + "*LINE*" +
           NcidLineLabel(call) + "*NMBR*" + NcidNumber(call) + "*MESG*NONE*NAME*" + NcidName(call) +
           "*";
}

void NcidClientLines::Take(std::string_view bytes, std::vector<std::string>& lines) {
    for (const char c : bytes) {
        if (c != '\r' && c != '\n') {
            if (input.size() < MaxLine)
                input += c;
            else
                skippingLongLine = true;
            continue;
        }
        if (!skippingLongLine && !input.empty())
            lines.push_back(input);
        input.clear();
        skippingLongLine = false;
    }
}

NcidHello ReadHello(const std::string& line) {
    NcidHello hello;
    if (line.rfind("HELLO:", 0) != 0) {
        hello.endsStartup = true;
        return hello;
    }
    hello.noLog = line.find("no_log") != std::string::npos;
    hello.endsStartup = line.rfind("HELLO: CMD:", 0) == 0;
    return hello;
}
