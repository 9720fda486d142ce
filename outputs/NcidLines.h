#pragma once
// The lines an NCID server sends, as plain functions over the call event.

#include "outputs/CallEvent.h"

#include <cstddef>
#include <string>

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
