#pragma once
// One incoming call as the listener hands it to the main window. The receiver copies what it
// keeps: the notice lives only while the handler runs.

#include <cstdint>
#include <string>

struct IncomingCallNotice {
    std::string callingNumber; // "0" when withheld, else the digits after "0" or "00"; <= 127 chars
    std::string calledNumber;  // the MSN dialled, digits only; <= 127 chars
    uint32_t connectionId = 0; // the PLCI
    int32_t cipValue = 0;      // the CIP value (1 speech, 16 telephony, ...)
    // Which of the monitor's line sources delivered it: 0 the CAPI line (or the simulated one),
    // others numbered by the monitor; a call seen through two sources is one call.
    uint8_t source = 0;
    // The line refused it (CONNECT_RESP "user busy") because the receiver asked for that;
    // otherwise it was ignored, and the phones went on ringing.
    bool refused = false;
};
