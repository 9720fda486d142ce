#include "data/CipServiceNames.h"

#include <array>

namespace {
// Index 0 is never shown: a call without a CIP value gets no service text at all.
constexpr std::array<const char*, 32> serviceNames = {
    "",
    "speech",
    "digital",
    "restricted digital",
    "3.1 kHz audio",
    "7.0 kHz audio",
    "video",
    "packet mode",
    "56 kBit/s",
    "digital",
    "unknown",
    "unknown",
    "unknown",
    "unknown",
    "unknown",
    "unknown",
    "telephony",
    "fax grp 2/3",
    "fax grp 4 class 1",
    "Teletex service (basic and mixed), fax group 4 class 2",
    "Teletex service (basic and processable)",
    "Teletex service (basic)",
    "Videotex",
    "Telex",
    "unknown",
    "OSI applications according X.200",
    "7 kHz Telephony",
    "Video Telephony F.721, first connection",
    "Video Telephony F.721, second connection",
    "reserved",
    "reserved",
    "reserved",
};
} // namespace

const char* CipServiceName(int cip) {
    if (cip < 1 || cip > 31)
        return nullptr;
    return serviceNames[static_cast<unsigned>(cip)];
}
