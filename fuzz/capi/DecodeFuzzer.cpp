// Feeds arbitrary octets to the decoder as if CAPI had delivered them, then re-encodes what was
// decoded. Every struct a decoded record points at must lie inside the delivered octets, and
// a call's number texts must keep their promised shape.
#include "capi/CallNumbers.h"
#include "capi/CapiErrors.h"
#include "capi/msg.h"

#include <cstdlib>

namespace {
void CheckInside(CapiStruct s, const uint8_t* begin, const uint8_t* end) {
    if (s == nullptr)
        return;
    if (s < begin || s >= end)
        std::abort();
    std::size_t size =
        s[0] == 0xFF ? (s + 3 <= end ? 3u + (s[1] | (s[2] << 8)) : 99999u) : 1u + s[0];
    if (size > static_cast<std::size_t>(end - s))
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cmsg c{};
    unsigned result = MessageToCmsg(c, std::span<const uint8_t>(data, size));
    if (result != CapiNoError)
        return 0;
    const uint8_t* end = data + c.workingPosition;
    for (CapiStruct s : {c.b1Configuration,
                         c.b2Configuration,
                         c.b3Configuration,
                         c.bc,
                         c.bChannelInformation,
                         c.calledPartyNumber,
                         c.calledPartySubaddress,
                         c.callingPartyNumber,
                         c.callingPartySubaddress,
                         c.connectedNumber,
                         c.connectedSubaddress,
                         c.facilityConfirmationParameter,
                         c.facilityDataArray,
                         c.facilityIndicationParameter,
                         c.facilityRequestParameter,
                         c.facilityResponseParameters,
                         c.hlc,
                         c.infoElement,
                         c.keypadFacility,
                         c.llc,
                         c.manuData,
                         c.ncpi,
                         c.userUserData})
        CheckInside(s, data, end);
    std::array<uint8_t, kSendBufferSize> out{};
    CmsgToMessage(c, out);
    if (c.command == CAPI_CONNECT && c.subcommand == CAPI_IND) {
        // The texts every later stage relies on: bounded, and the caller always starts with 0.
        IncomingCallNotice notice = BuildIncomingCallNotice(c);
        if (notice.calledNumber.size() > kMaxNumberLength ||
            notice.callingNumber.size() > kMaxNumberLength || notice.callingNumber.empty() ||
            notice.callingNumber[0] != '0')
            std::abort();
    }
    return 0;
}
