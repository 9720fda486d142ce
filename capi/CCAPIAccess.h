#pragma once
// The monitor's one registration with CAPI: registration and release, listening on every
// controller, and handling what arrives (each call is answered on the line, ignored or, where the
// receiver asks for it, refused; then delivered).
// Only the listener thread calls CAPI through this object; its owner may destroy it only after
// that thread has ended.

#include "capi/CapiProvider.h"
#include "capi/IncomingCallReceiver.h"
#include "capi/msg.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

inline constexpr uint32_t kListenAllServices = 0x1FFF03FF;

// The registration's error on a machine without an ISDN driver (no CAPI library, or no device).
inline constexpr const char* NoDriverError = "Error: ISDN-driver not installed";

// What the CAPI calls of a registration produced: an application id, or the error text.
struct CapiRegistration {
    unsigned applId = 0;
    std::optional<std::string> error;
};

class CCAPIAccess {
public:
    // `capi` may be nullptr: no CAPI library on this machine. Nothing is called on CAPI here.
    CCAPIAccess(CapiProvider* capi, IncomingCallReceiver& receiver);
    // Releases the registration if one is left (reporting a failure with ShowMessage).
    ~CCAPIAccess();
    CCAPIAccess(const CCAPIAccess&) = delete;
    CCAPIAccess& operator=(const CCAPIAccess&) = delete;

    // Checks the driver, counts the controllers and registers. On failure returns the error
    // text; with `showErrors` it is also shown with ShowMessage (at start-up).
    std::optional<std::string> RegisterCAPI(bool showErrors);
    // The same in two steps, for a caller that may have to walk away from a CAPI that never
    // answers: the first touches only `capi` and stops early (nullopt) once `abandoned` says so;
    // the second stores the outcome here.
    static std::optional<CapiRegistration> TryRegistration(CapiProvider* capi,
                                                           const std::function<bool()>& abandoned);
    std::optional<std::string> CommitRegistration(const CapiRegistration& outcome, bool showErrors);
    CapiProvider* Provider() const { return capi; }
    // Deregisters (if registered). A failure is shown with `showErrors`, else returned.
    std::optional<std::string> ReleaseCAPI(bool showErrors);

    // The number of installed controllers; 0 when the profile cannot be read.
    unsigned GetControllerCount();
    static unsigned ControllerCount(CapiProvider& capi);
    // LISTEN_REQ to controllers 1..N; 0, or the first error from putting one.
    unsigned ListenOnAllControllers(uint32_t cipMask);
    // Waits at most `slice` for a message; 0 when one is waiting.
    unsigned WaitForCapiSignal(std::chrono::milliseconds slice);

    enum class FetchResult { Handled, ConnectionLost, Undecodable };
    // Takes up to two messages and handles the indications among them. Undecodable: CAPI
    // signalled a message and handed over something that is none, or nothing at all; what it
    // was is in LastUndecodable(). The stream may no longer be in step: give the registration up.
    FetchResult FetchMessages();
    struct Undecodable {
        unsigned result = 0; // CAPI's or the decoder's result
        unsigned length = 0; // how many octets were handed over
        std::vector<uint8_t> firstOctets;
    };
    static constexpr size_t kUndecodableOctetsKept = 16;
    const Undecodable& LastUndecodable() const { return undecodable; }
    // Acts on the indication that stands in the receive record.
    void HandleIndication();

    bool IsRegistered() const { return registered.load(); }
    unsigned ApplId() const { return applId; }
    bool HasLibrary() const { return capi != nullptr; }
    bool IsConnectionLost();

private:
    FetchResult Refuse(unsigned result, std::span<const uint8_t> octets);

    CapiProvider* capi;
    IncomingCallReceiver& receiver;
    unsigned applId = 0;
    std::unique_ptr<cmsg> receiveMsg;
    Undecodable undecodable;
    std::atomic<bool> registered{false};
};
