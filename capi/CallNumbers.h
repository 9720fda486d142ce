#pragma once
// The texts of an incoming call's numbers, as the rest of the program shows and stores them.

#include "capi/IncomingCallNotice.h"
#include "capi/msg.h"

#include <string>
#include <string_view>

// Numbers keep only dialling characters (digits, '*', '#', '+'); other bytes are dropped.

// Longest number text kept; longer numbers are cut.
inline constexpr std::size_t kMaxNumberLength = 127;

// The dialling characters of a number another source gives as text (a router's feed, a PBX),
// cut to kMaxNumberLength.
std::string DiallingCharactersOf(std::string_view text);

// The called party number (the MSN dialled): its digits only. An empty or absent struct gives "".
std::string CalledNumberText(CapiStruct calledPartyNumber);

// The calling party number: "0" when withheld or absent; otherwise the digits behind "0" for a
// national or unknown number, behind "00" for every other type.
std::string CallingNumberText(CapiStruct callingPartyNumber);

// The notice for a decoded CONNECT_IND.
IncomingCallNotice BuildIncomingCallNotice(const cmsg& connectInd);
