#include "capi/CapiProvider.h"

#include "capi/CapiErrors.h"

#include <array>

bool IsCapiInstalled(CapiProvider& capi) {
    return capi.IsInstalled() == CapiNoError;
}

uint16_t RegisterApplication(CapiProvider& capi, unsigned maxLogicalConnection,
                             unsigned maxBDataBlocks, unsigned maxBDataLen, unsigned& error) {
    unsigned applId = 0;
    error = capi.Register(maxLogicalConnection, maxBDataBlocks, maxBDataLen, applId);
    if (error != CapiNoError)
        return 0;
    return static_cast<uint16_t>(applId & 0xFFFF);
}

uint32_t GetCapiVersion(CapiProvider& capi, unsigned controller) {
    std::array<uint8_t, 16> buffer{};
    capi.GetVersion(controller, buffer.data());
    // Each value is a little-endian 32-bit number; keep its low byte.
    return static_cast<uint32_t>(buffer[0]) | static_cast<uint32_t>(buffer[4]) << 8 |
           static_cast<uint32_t>(buffer[8]) << 16 | static_cast<uint32_t>(buffer[12]) << 24;
}
