#include "capi/msg.h"

#include "capi/CapiErrors.h"
#include "capi/CapiProvider.h"

#include <cstring>
#include <type_traits>

static_assert(std::is_standard_layout_v<cmsg> && std::is_trivially_copyable_v<cmsg>,
              "the descriptor table addresses cmsg fields by offset");

namespace {

// Descriptor numbers. 0, 1 and 2 are end markers; 1 is the one that closes every list.
enum : uint8_t {
    kEnd = 1,
    kAdr = 3,
    kAdditionalInfo = 4,
    kB1Configuration = 5,
    kB1Protocol = 6,
    kB2Configuration = 7,
    kB2Protocol = 8,
    kB3Configuration = 9,
    kB3Protocol = 10,
    kBC = 11,
    kBChannelInformation = 12,
    kBProtocol = 13,
    kCalledPartyNumber = 14,
    kCalledPartySubaddress = 15,
    kCallingPartyNumber = 16,
    kCallingPartySubaddress = 17,
    kCipMask = 18,
    kCipMask2 = 19,
    kCipValue = 20,
    kClass = 21,
    kConnectedNumber = 22,
    kConnectedSubaddress = 23,
    kData = 24,
    kDataHandle = 25,
    kDataLength = 26,
    kFacilityConfirmationParameter = 27,
    kFacilityDataArray = 28,
    kFacilityIndicationParameter = 29,
    kFacilityRequestParameter = 30,
    kFacilityResponseParameters = 31,
    kFacilitySelector = 32,
    kFlags = 33,
    kFunction = 34,
    kHLC = 35,
    kInfo = 36,
    kInfoElement = 37,
    kInfoMask = 38,
    kInfoNumber = 39,
    kKeypadFacility = 40,
    kLLC = 41,
    kManuData = 42,
    kManuId = 43,
    kNCPI = 44,
    kReason = 45,
    kReasonB3 = 46,
    kReject = 47,
    kUserUserData = 48,
};

// The two composites always carry the same members.
#define TAVO_B_PROTOCOL                                                                            \
    kBProtocol, kB1Protocol, kB2Protocol, kB3Protocol, kB1Configuration, kB2Configuration,         \
        kB3Configuration, kEnd
#define TAVO_ADDITIONAL_INFO                                                                       \
    kAdditionalInfo, kBChannelInformation, kKeypadFacility, kUserUserData, kFacilityDataArray, kEnd

constexpr uint8_t kAdrAdditionalInfo[] = {kAdr, TAVO_ADDITIONAL_INFO, kEnd, 0};
constexpr uint8_t kConnectReq[] = {kAdr,
                                   kCipValue,
                                   kCalledPartyNumber,
                                   kCallingPartyNumber,
                                   kCalledPartySubaddress,
                                   kCallingPartySubaddress,
                                   TAVO_B_PROTOCOL,
                                   kBC,
                                   kLLC,
                                   kHLC,
                                   TAVO_ADDITIONAL_INFO,
                                   kEnd,
                                   0};
constexpr uint8_t kListenReq[] = {
    kAdr, kInfoMask, kCipMask, kCipMask2, kCallingPartyNumber, kCallingPartySubaddress, kEnd, 0};
constexpr uint8_t kInfoReq[] = {kAdr, kCalledPartyNumber, TAVO_ADDITIONAL_INFO, kEnd, 0};
constexpr uint8_t kFacilityReq[] = {kAdr, kFacilitySelector, kFacilityRequestParameter, kEnd, 0};
constexpr uint8_t kSelectBProtocolReq[] = {kAdr, TAVO_B_PROTOCOL, kEnd, 0};
constexpr uint8_t kAdrNcpi[] = {kAdr, kNCPI, kEnd, 0};
constexpr uint8_t kDataB3[] = {kAdr, kData, kDataLength, kDataHandle, kFlags, kEnd, 0};
constexpr uint8_t kManufacturer[] = {kAdr, kManuId, kClass, kFunction, kManuData, kEnd, 0};
constexpr uint8_t kAdrInfo[] = {kAdr, kInfo, kEnd, 0};
constexpr uint8_t kFacilityConf[] = {kAdr, kInfo, kFacilitySelector, kFacilityConfirmationParameter,
                                     kEnd, 0};
constexpr uint8_t kDataB3Conf[] = {kAdr, kDataHandle, kInfo, kEnd, 0};
constexpr uint8_t kConnectInd[] = {kAdr,
                                   kCipValue,
                                   kCalledPartyNumber,
                                   kCallingPartyNumber,
                                   kCalledPartySubaddress,
                                   kCallingPartySubaddress,
                                   kBC,
                                   kLLC,
                                   kHLC,
                                   TAVO_ADDITIONAL_INFO,
                                   kEnd,
                                   0};
constexpr uint8_t kConnectActiveInd[] = {kAdr, kConnectedNumber, kConnectedSubaddress, kLLC, kEnd,
                                         0};
constexpr uint8_t kDisconnectInd[] = {kAdr, kReason, kEnd, 0};
constexpr uint8_t kInfoInd[] = {kAdr, kInfoNumber, kInfoElement, kEnd, 0};
constexpr uint8_t kFacilityInd[] = {kAdr, kFacilitySelector, kFacilityIndicationParameter, kEnd, 0};
constexpr uint8_t kDisconnectB3Ind[] = {kAdr, kReasonB3, kNCPI, kEnd, 0};
constexpr uint8_t kConnectResp[] = {kAdr,
                                    kReject,
                                    TAVO_B_PROTOCOL,
                                    kConnectedNumber,
                                    kConnectedSubaddress,
                                    kLLC,
                                    TAVO_ADDITIONAL_INFO,
                                    kEnd,
                                    0};
constexpr uint8_t kAdrOnly[] = {kAdr, kEnd, 0};
constexpr uint8_t kFacilityResp[] = {kAdr, kFacilitySelector, kFacilityResponseParameters, kEnd, 0};
constexpr uint8_t kConnectB3Resp[] = {kAdr, kReject, kNCPI, kEnd, 0};
constexpr uint8_t kDataB3Resp[] = {kAdr, kDataHandle, kEnd, 0};

#undef TAVO_B_PROTOCOL
#undef TAVO_ADDITIONAL_INFO

#define TAVO_FIELD(kind, field)                                                                    \
    ParameterDescriptor {                                                                          \
        ParameterKind::kind, offsetof(cmsg, field)                                                 \
    }

constexpr ParameterDescriptor kEndDescriptor{ParameterKind::End, 0};

} // namespace

const std::array<ParameterDescriptor, kParameterDescriptorCount> parameterDescriptors = {
    kEndDescriptor,
    kEndDescriptor,
    kEndDescriptor,
    TAVO_FIELD(Dword, adr),
    TAVO_FIELD(Composite, additionalInfo),
    TAVO_FIELD(Struct, b1Configuration),
    TAVO_FIELD(Word, b1Protocol),
    TAVO_FIELD(Struct, b2Configuration),
    TAVO_FIELD(Word, b2Protocol),
    TAVO_FIELD(Struct, b3Configuration),
    TAVO_FIELD(Word, b3Protocol),
    TAVO_FIELD(Struct, bc),
    TAVO_FIELD(Struct, bChannelInformation),
    TAVO_FIELD(Composite, bProtocol),
    TAVO_FIELD(Struct, calledPartyNumber),
    TAVO_FIELD(Struct, calledPartySubaddress),
    TAVO_FIELD(Struct, callingPartyNumber),
    TAVO_FIELD(Struct, callingPartySubaddress),
    TAVO_FIELD(Dword, cipMask),
    TAVO_FIELD(Dword, cipMask2),
    TAVO_FIELD(Word, cipValue),
    TAVO_FIELD(Dword, classValue),
    TAVO_FIELD(Struct, connectedNumber),
    TAVO_FIELD(Struct, connectedSubaddress),
    TAVO_FIELD(Dword, data),
    TAVO_FIELD(Word, dataHandle),
    TAVO_FIELD(Word, dataLength),
    TAVO_FIELD(Struct, facilityConfirmationParameter),
    TAVO_FIELD(Struct, facilityDataArray),
    TAVO_FIELD(Struct, facilityIndicationParameter),
    TAVO_FIELD(Struct, facilityRequestParameter),
    TAVO_FIELD(Struct, facilityResponseParameters),
    TAVO_FIELD(Word, facilitySelector),
    TAVO_FIELD(Word, flags),
    TAVO_FIELD(Dword, function),
    TAVO_FIELD(Struct, hlc),
    TAVO_FIELD(Word, info),
    TAVO_FIELD(Struct, infoElement),
    TAVO_FIELD(Dword, infoMask),
    TAVO_FIELD(Word, infoNumber),
    TAVO_FIELD(Struct, keypadFacility),
    TAVO_FIELD(Struct, llc),
    TAVO_FIELD(Struct, manuData),
    TAVO_FIELD(Dword, manuId),
    TAVO_FIELD(Struct, ncpi),
    TAVO_FIELD(Word, reason),
    TAVO_FIELD(Word, reasonB3),
    TAVO_FIELD(Word, reject),
    TAVO_FIELD(Struct, userUserData),
};
#undef TAVO_FIELD

// Rows of 18 slots: REQ, CONF, IND, RESP (see CommandToIndex).
const std::array<const uint8_t*, kMessageSlotCount> messageParameterLists = {
    // REQ
    nullptr, kAdrAdditionalInfo, kConnectReq, nullptr, kAdrAdditionalInfo, kListenReq, nullptr,
    nullptr, kInfoReq, kFacilityReq, kSelectBProtocolReq, kAdrNcpi, nullptr, kAdrNcpi, nullptr,
    kDataB3, kAdrNcpi, nullptr,
    // CONF
    nullptr, kAdrInfo, kAdrInfo, nullptr, kAdrInfo, kAdrInfo,
    kManufacturer /* 24: MANUFACTURER_REQ */, nullptr, kAdrInfo, kFacilityConf, kAdrInfo, kAdrInfo,
    nullptr, kAdrInfo, nullptr, kDataB3Conf, kAdrInfo, nullptr,
    // IND
    nullptr, nullptr, kConnectInd, kConnectActiveInd, kDisconnectInd, nullptr,
    kManufacturer /* 42: MANUFACTURER_CONF */, nullptr, kInfoInd, kFacilityInd, nullptr, kAdrNcpi,
    kAdrNcpi, kDisconnectB3Ind, nullptr, kDataB3, kAdrNcpi, kAdrNcpi,
    // RESP
    nullptr, nullptr, kConnectResp, kAdrOnly, kAdrOnly, nullptr, kManufacturer /* 60 */, nullptr,
    kAdrOnly, kFacilityResp, nullptr, kConnectB3Resp, kAdrOnly, kAdrOnly, nullptr, kDataB3Resp,
    kAdrOnly, kAdrOnly,
    // beyond the RESP row: MANUFACTURER_RESP
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, kManufacturer /* 78 */};

namespace {

uint16_t ReadWord(const uint8_t* at) {
    return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

void WriteWord(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

ParameterKind KindAt(const cmsg& c) {
    return parameterDescriptors[c.parameterList[c.p]].kind;
}

template <typename T> T* FieldAt(cmsg& c) {
    return reinterpret_cast<T*>(reinterpret_cast<char*>(&c) +
                                parameterDescriptors[c.parameterList[c.p]].offset);
}

std::size_t ScalarSize(ParameterKind kind) {
    switch (kind) {
    case ParameterKind::Byte:
        return 1;
    case ParameterKind::Word:
        return 2;
    default:
        return 4;
    }
}

// Steps `p` from a composite's descriptor onto the end marker of its member list.
void SkipMemberList(cmsg& c) {
    c.p++;
    int depth = 1;
    while (depth > 0) {
        c.p++;
        ParameterKind kind = KindAt(c);
        if (kind == ParameterKind::Composite)
            depth++;
        else if (kind == ParameterKind::End)
            depth--;
    }
}

uint32_t ReadScalar(cmsg& c, ParameterKind kind) {
    switch (kind) {
    case ParameterKind::Byte:
        return *FieldAt<uint8_t>(c);
    case ParameterKind::Word:
        return *FieldAt<uint16_t>(c);
    default:
        return *FieldAt<uint32_t>(c);
    }
}

void StoreScalar(cmsg& c, ParameterKind kind, uint32_t value) {
    switch (kind) {
    case ParameterKind::Byte:
        *FieldAt<uint8_t>(c) = static_cast<uint8_t>(value);
        break;
    case ParameterKind::Word:
        *FieldAt<uint16_t>(c) = static_cast<uint16_t>(value);
        break;
    default:
        *FieldAt<uint32_t>(c) = value;
        break;
    }
}

class Encoder {
public:
    Encoder(cmsg& c, std::span<uint8_t> out) : c(c), out(out) {}

    // Encodes the list from `p` up to its end marker; false when the buffer is too small.
    bool EncodeList() {
        while (KindAt(c) != ParameterKind::End) {
            if (!EncodeParameter())
                return false;
            c.p++;
        }
        return true;
    }

private:
    bool Room(std::size_t count) const { return c.workingPosition + count <= out.size(); }

    bool EncodeParameter() {
        ParameterKind kind = KindAt(c);
        switch (kind) {
        case ParameterKind::Byte:
        case ParameterKind::Word:
        case ParameterKind::Dword: {
            std::size_t size = ScalarSize(kind);
            if (!Room(size))
                return false;
            uint32_t value = ReadScalar(c, kind);
            for (std::size_t i = 0; i < size; ++i)
                out[c.workingPosition + i] = static_cast<uint8_t>(value >> (8 * i));
            c.workingPosition += static_cast<uint32_t>(size);
            return true;
        }
        case ParameterKind::Struct: {
            CapiStruct s = *FieldAt<CapiStruct>(c);
            std::size_t size = 1;
            if (s != nullptr)
                size = s[0] == 0xFF ? 3u + ReadWord(s + 1) : 1u + s[0];
            if (!Room(size))
                return false;
            if (s == nullptr)
                out[c.workingPosition] = 0;
            else
                std::memcpy(out.data() + c.workingPosition, s, size);
            c.workingPosition += static_cast<uint32_t>(size);
            return true;
        }
        case ParameterKind::Composite:
            return EncodeComposite();
        case ParameterKind::End:
            break;
        }
        return true;
    }

    bool EncodeComposite() {
        if (!Room(1))
            return false;
        if (*FieldAt<uint32_t>(c) == CAPI_DEFAULT) {
            out[c.workingPosition++] = 0;
            SkipMemberList(c);
            return true;
        }
        uint32_t start = c.workingPosition++;
        c.p++;
        if (!EncodeList())
            return false;
        std::size_t n = c.workingPosition - start - 1;
        if (n < 255) {
            out[start] = static_cast<uint8_t>(n);
            return true;
        }
        // Long form: 0xFF and a 16-bit length in front of the members.
        if (!Room(2) || n > 0xFFFF)
            return false;
        std::memmove(out.data() + start + 3, out.data() + start + 1, n);
        out[start] = 0xFF;
        WriteWord(out.data() + start + 1, static_cast<uint16_t>(n));
        c.workingPosition += 2;
        return true;
    }

    cmsg& c;
    std::span<uint8_t> out;
};

class Decoder {
public:
    Decoder(cmsg& c, std::span<const uint8_t> in) : c(c), in(in) {}

    bool DecodeList() {
        while (KindAt(c) != ParameterKind::End) {
            if (!DecodeParameter())
                return false;
            c.p++;
        }
        return true;
    }

private:
    // True when `count` octets from the working position lie inside the delivered message.
    bool Have(std::size_t count) const {
        return c.workingPosition <= in.size() && count <= in.size() - c.workingPosition;
    }
    const uint8_t* At() const { return in.data() + c.workingPosition; }

    bool DecodeParameter() {
        ParameterKind kind = KindAt(c);
        switch (kind) {
        case ParameterKind::Byte:
        case ParameterKind::Word:
        case ParameterKind::Dword: {
            std::size_t size = ScalarSize(kind);
            if (!Have(size))
                return false;
            uint32_t value = 0;
            for (std::size_t i = 0; i < size; ++i)
                value |= static_cast<uint32_t>(At()[i]) << (8 * i);
            StoreScalar(c, kind, value);
            c.workingPosition += static_cast<uint32_t>(size);
            return true;
        }
        case ParameterKind::Struct: {
            if (!Have(1))
                return false;
            std::size_t size = 1u + At()[0];
            if (At()[0] == 0xFF) {
                if (!Have(3))
                    return false;
                size = 3u + ReadWord(At() + 1);
            }
            if (!Have(size))
                return false;
            *FieldAt<CapiStruct>(c) = At();
            c.workingPosition += static_cast<uint32_t>(size);
            return true;
        }
        case ParameterKind::Composite: {
            if (!Have(1))
                return false;
            uint8_t first = At()[0];
            if (first == 0) {
                *FieldAt<uint32_t>(c) = CAPI_DEFAULT;
                c.workingPosition += 1;
                SkipMemberList(c);
                return true;
            }
            *FieldAt<uint32_t>(c) = CAPI_COMPOSE;
            // The composite's own length is not checked against its members; every member
            // read is bounded by the message instead.
            c.workingPosition += first == 0xFF ? 3 : 1;
            c.p++;
            return DecodeList();
        }
        case ParameterKind::End:
            break;
        }
        return true;
    }

    cmsg& c;
    std::span<const uint8_t> in;
};

} // namespace

unsigned CommandToIndex(uint8_t command, uint8_t subcommand) {
    unsigned c = command;
    if (command & 0x80)
        c = 9 + (command & 0x0F);
    else if (command == 0x41)
        c = 10;
    return (subcommand & 3u) * 18 + c;
}

const uint8_t* ParameterListFor(uint8_t command, uint8_t subcommand) {
    unsigned slot = CommandToIndex(command, subcommand);
    return slot < messageParameterLists.size() ? messageParameterLists[slot] : nullptr;
}

unsigned CmsgToMessage(cmsg& c, std::span<uint8_t> buffer) {
    if (buffer.size() < kCapiHeaderSize)
        return CapiIllegalParameterCoding;
    c.message = buffer.data();
    c.workingPosition = kCapiHeaderSize;
    c.p = 0;
    c.parameterList = ParameterListFor(c.command, c.subcommand);
    unsigned result = CapiNoError;
    if (c.parameterList == nullptr) {
        result = CapiIllegalCommand;
    } else {
        Encoder encoder(c, buffer);
        if (!encoder.EncodeList())
            return CapiIllegalParameterCoding;
    }
    WriteWord(buffer.data(), static_cast<uint16_t>(c.workingPosition));
    WriteWord(buffer.data() + 2, c.applId);
    buffer[4] = c.command;
    buffer[5] = c.subcommand;
    WriteWord(buffer.data() + 6, c.messageNumber);
    return result;
}

unsigned MessageToCmsg(cmsg& c, std::span<const uint8_t> message) {
    if (message.size() < kCapiHeaderSize)
        return CapiIllegalCommand;
    uint16_t total = ReadWord(message.data());
    if (total < kCapiHeaderSize || total > message.size())
        return CapiIllegalCommand;
    message = message.first(total);

    cmsg decoded{};
    decoded.message = message.data();
    decoded.workingPosition = kCapiHeaderSize;
    decoded.p = 0;
    decoded.command = message[4];
    decoded.subcommand = message[5];
    decoded.parameterList = ParameterListFor(decoded.command, decoded.subcommand);
    unsigned result = CapiNoError;
    if (decoded.parameterList == nullptr) {
        result = CapiIllegalCommand;
    } else {
        Decoder decoder(decoded, message);
        if (!decoder.DecodeList())
            return CapiIllegalParameterCoding;
    }
    decoded.workingPosition = total;
    decoded.applId = ReadWord(message.data() + 2);
    decoded.messageNumber = ReadWord(message.data() + 6);
    c = decoded;
    return result;
}

unsigned FillCmsgHeader(cmsg& c, uint16_t applId, uint8_t command, uint8_t subcommand,
                        uint16_t messageNumber, uint32_t address) {
    c = cmsg{};
    c.applId = applId;
    c.command = command;
    c.subcommand = subcommand;
    c.messageNumber = messageNumber;
    c.adr = address;
    return 0;
}

unsigned AnswerCmsg(cmsg& c) {
    c.subcommand |= 0x01;
    return 0;
}

unsigned PutCmsg(CapiProvider& capi, cmsg& c) {
    // One buffer per thread: no allocation per message, and senders on different threads (tests,
    // benchmarks) never share it.
    thread_local std::array<uint8_t, kSendBufferSize> sendBuffer{};
    unsigned result = CmsgToMessage(c, sendBuffer);
    if (result != CapiNoError)
        return result;
    return capi.PutMessage(c.applId, sendBuffer.data());
}

unsigned GetCmsg(CapiProvider& capi, cmsg& c, unsigned applId) {
    std::span<const uint8_t> message;
    unsigned result = capi.GetMessage(applId, message);
    if (result != CapiNoError)
        return result;
    return MessageToCmsg(c, message);
}
