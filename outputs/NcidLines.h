#pragma once
// The lines an NCID server sends, as plain functions over the call event, and the reading of
// what its clients send.

#include "outputs/CallEvent.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Clients show the line label in a narrow column.
inline constexpr size_t NcidLineLabelLength = 8;

// A field's text: "*", line ends and other control characters become blanks, so that a name
// can neither end a field nor a line.
std::string NcidField(const std::string& text);
// The MSN's name cut to NcidLineLabelLength, else the MSN's last four digits, else "-".
std::string NcidLineLabel(const CallEvent& call);
// The number as delivered; "PRIVATE" when withheld; "NO-NUMBER" when the network had none.
std::string NcidNumber(const CallEvent& call);
// The phone-book name, else the area's place name, else "NO NAME".
std::string NcidName(const CallEvent& call);

// "<kind>: *DATE*mmddyyyy*TIME*hhmm*LINE*...*NMBR*...*MESG*NONE*NAME*...*" without the line end;
// `kind` is "CID" for a new call, "CIDLOG" for one from the history.
std::string NcidCallLine(const char* kind, const CallEvent& call);

// What a client sends, cut into lines: CR or LF ends a line; empty lines (keepalives, the LF of
// a CR LF) are not handed on; a line longer than MaxLine is dropped whole.
class NcidClientLines {
public:
    static constexpr size_t MaxLine = 1024;
    // Appends the lines that `bytes` completes to `lines`.
    void Take(std::string_view bytes, std::vector<std::string>& lines);

private:
    std::string input;
    bool skippingLongLine = false;
};

// What a line of a client during its startup means. The startup ends with "HELLO: CMD: ..."
// or with any line that is no HELLO; "no_log" in a HELLO line declines the call log.
struct NcidHello {
    bool noLog = false;
    bool endsStartup = false;
};
NcidHello ReadHello(const std::string& line);
