#include "capi/CCAPIAccess.h"

#include "capi/CallNumbers.h"
#include "capi/CapiErrors.h"
#include "capi/msgBuilders.h"
#include "platform/ShowMessage.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {
constexpr unsigned kMaxLogicalConnection = 2;
constexpr unsigned kMaxBDataBlocks = 7;
constexpr unsigned kMaxBDataLen = 2048;

std::optional<std::string> Report(std::string text, bool show) {
    if (show)
        ShowMessage(text);
    return text;
}
} // namespace

CCAPIAccess::CCAPIAccess(CapiProvider* capi, IncomingCallReceiver& receiver)
    : capi(capi), receiver(receiver), receiveMsg(std::make_unique<cmsg>()) {}

CCAPIAccess::~CCAPIAccess() {
    ReleaseCAPI(true);
}

std::optional<std::string> CCAPIAccess::RegisterCAPI(bool showErrors) {
    return CommitRegistration(*TryRegistration(capi, [] { return false; }), showErrors);
}

std::optional<CapiRegistration>
CCAPIAccess::TryRegistration(CapiProvider* capi, const std::function<bool()>& abandoned) {
    CapiRegistration outcome;
    if (capi == nullptr) {
        outcome.error = NoDriverError;
        return outcome;
    }
    bool installed = IsCapiInstalled(*capi);
    if (abandoned())
        return std::nullopt;
    if (!installed) {
        outcome.error = NoDriverError;
        return outcome;
    }
    unsigned controllers = ControllerCount(*capi);
    if (abandoned())
        return std::nullopt;
    if (controllers == 0) {
        outcome.error = "Error: No ISDN-controller installed";
        return outcome;
    }
    unsigned error = 0;
    outcome.applId =
        RegisterApplication(*capi, kMaxLogicalConnection, kMaxBDataBlocks, kMaxBDataLen, error);
    if (abandoned())
        return std::nullopt;
    if (outcome.applId == 0) {
        char text[96];
        std::snprintf(text, sizeof text,
                      "Error: registering the application in function RegisterCAPI.\n%d",
                      static_cast<int>(error));
        outcome.error = text;
    }
    return outcome;
}

std::optional<std::string> CCAPIAccess::CommitRegistration(const CapiRegistration& outcome,
                                                           bool showErrors) {
    applId = outcome.error ? 0 : outcome.applId;
    registered = !outcome.error;
    if (outcome.error)
        return Report(*outcome.error, showErrors);
    return std::nullopt;
}

std::optional<std::string> CCAPIAccess::ReleaseCAPI(bool showErrors) {
    if (capi == nullptr || !registered)
        return std::nullopt;
    registered = false;
    unsigned result = capi->Release(applId);
    applId = 0;
    if (result == CapiNoError)
        return std::nullopt;
    char text[96];
    std::snprintf(text, sizeof text,
                  "Error: deregistering the application in function ReleaseCAPI,\ncode: 0x%04X",
                  result);
    return Report(text, showErrors);
}

unsigned CCAPIAccess::GetControllerCount() {
    return capi == nullptr ? 0 : ControllerCount(*capi);
}

unsigned CCAPIAccess::ControllerCount(CapiProvider& capi) {
    std::array<uint8_t, 64> profile{};
    if (capi.GetProfile(0, profile.data()) != CapiNoError)
        return 0;
    return profile[0] | (profile[1] << 8);
}

unsigned CCAPIAccess::ListenOnAllControllers(uint32_t cipMask) {
    unsigned count = GetControllerCount();
    for (unsigned k = 1; k <= count; ++k) {
        cmsg listen;
        FillCmsgHeader(listen, static_cast<uint16_t>(applId), CAPI_LISTEN, CAPI_REQ, 0, k);
        listen.cipMask = cipMask;
        unsigned result = PutCmsg(*capi, listen);
        if (result != CapiNoError)
            return result;
    }
    return CapiNoError;
}

unsigned CCAPIAccess::WaitForCapiSignal(std::chrono::milliseconds slice) {
    return capi->WaitForMessage(applId, slice);
}

bool CCAPIAccess::IsConnectionLost() {
    return capi != nullptr && capi->IsConnectionLost(applId);
}

CCAPIAccess::FetchResult CCAPIAccess::FetchMessages() {
    for (int taken = 0; taken < 2; ++taken) {
        // libcapi20 blocks in get_message while nothing is queued: look before taking another.
        if (taken > 0 && capi->WaitForMessage(applId, std::chrono::milliseconds(0)) != CapiNoError)
            break;
        std::span<const uint8_t> message;
        unsigned result = capi->GetMessage(applId, message);
        if (result != CapiNoError) {
            // Signalled and handed nothing: the server went away, or the library ate a frame it
            // could not read and the ones after it may be cut in the wrong places.
            if (result == CapiReceiveQueueEmpty && IsConnectionLost())
                return FetchResult::ConnectionLost;
            return Refuse(result, message);
        }
        result = MessageToCmsg(*receiveMsg, message);
        if (result != CapiNoError)
            return Refuse(result, message);
        if (receiveMsg->subcommand == CAPI_IND)
            HandleIndication();
    }
    return FetchResult::Handled;
}

CCAPIAccess::FetchResult CCAPIAccess::Refuse(unsigned result, std::span<const uint8_t> octets) {
    undecodable.result = result;
    undecodable.length = static_cast<unsigned>(octets.size());
    const auto told = octets.first(std::min(octets.size(), kUndecodableOctetsKept));
    undecodable.firstOctets.assign(told.begin(), told.end());
    return FetchResult::Undecodable;
}

void CCAPIAccess::HandleIndication() {
    cmsg& m = *receiveMsg;
    const uint16_t id = static_cast<uint16_t>(applId);
    switch (m.command) {
    case CAPI_CONNECT: {
        IncomingCallNotice notice = BuildIncomingCallNotice(m);
        // Answer the call on the line first, so the network never waits for the user interface:
        // ignored (1), or refused as busy (3) where the receiver's rules say so.
        notice.refused = receiver.RefusesCall(notice);
        const uint16_t reject = notice.refused ? 3 : 1;
        CONNECT_RESP(*capi, m, id, m.messageNumber, m.adr, reject, 0, 0, 0, nullptr, nullptr,
                     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        receiver.DeliverIncomingCall(notice);
        break;
    }
    case CAPI_DISCONNECT:
        DISCONNECT_RESP(*capi, m, id, m.messageNumber, m.adr);
        break;
    default:
        break;
    }
}
