#pragma once
// The ten CAPI 2.0 operations as one table, so the monitor can run on libcapi20, on the
// simulated line, or on a test's scripted line without knowing which. Every operation returns a
// CAPI result code (0 = success) or, where CAPI fills a buffer, the caller's buffer.

#include <chrono>
#include <cstdint>
#include <span>

class CapiProvider {
public:
    virtual ~CapiProvider() = default;

    // libcapi20 sizes its own message queue, so there is no message-buffer size here.
    virtual unsigned Register(unsigned maxLogicalConnection, unsigned maxBDataBlocks,
                              unsigned maxBDataLen, unsigned& applId) = 0;
    virtual unsigned Release(unsigned applId) = 0;
    // `message` is a wire message; its first two octets give its length.
    virtual unsigned PutMessage(unsigned applId, const uint8_t* message) = 0;
    // On 0, `message` holds one wire message, valid until the next GetMessage for `applId`. On a
    // failure it may hold the octets that were refused, for telling.
    virtual unsigned GetMessage(unsigned applId, std::span<const uint8_t>& message) = 0;
    // 0 when a message is waiting (or the line has gone, see IsConnectionLost); a non-zero code
    // when the timeout passed first. Never call GetMessage without a 0 from here first: some
    // lines block in GetMessage while nothing is queued.
    virtual unsigned WaitForMessage(unsigned applId, std::chrono::milliseconds timeout) = 0;
    virtual uint8_t* GetManufacturer(unsigned controller, uint8_t* buffer64) = 0;
    // Fills four 32-bit values: CAPI major, CAPI minor, manufacturer major, manufacturer minor.
    virtual uint8_t* GetVersion(unsigned controller, uint8_t* buffer16) = 0;
    virtual uint8_t* GetSerialNumber(unsigned controller, uint8_t* buffer8) = 0;
    // Controller 0: the buffer's first 16-bit word is the number of installed controllers.
    virtual unsigned GetProfile(unsigned controller, uint8_t* buffer64) = 0;
    virtual unsigned IsInstalled() = 0;

    // True when the application's connection to its CAPI server has closed. CAPI itself never
    // reports this: the queue just stays empty while the wait keeps returning at once.
    virtual bool IsConnectionLost(unsigned applId) = 0;
};

// The thin wrappers the rest of the program uses.
bool IsCapiInstalled(CapiProvider& capi);
// The low 16 bits of the application id (0 on failure); CAPI's own result goes to `error`.
uint16_t RegisterApplication(CapiProvider& capi, unsigned maxLogicalConnection,
                             unsigned maxBDataBlocks, unsigned maxBDataLen, unsigned& error);
// The low byte of each of the four version numbers, packed in that order (CAPI major first).
uint32_t GetCapiVersion(CapiProvider& capi, unsigned controller);
