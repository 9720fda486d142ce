#include "WireBytes.h"
#include "capi/CapiErrors.h"
#include "capi/msg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

std::vector<uint8_t> Encode(cmsg& c, unsigned* result = nullptr) {
    std::vector<uint8_t> buffer(kSendBufferSize);
    unsigned r = CmsgToMessage(c, buffer);
    if (result)
        *result = r;
    buffer.resize(r == CapiNoError || r == CapiIllegalCommand ? c.workingPosition : 0);
    return buffer;
}

// A CONNECT_IND as a line delivers it: PLCI 0x00010201, CIP 16, called "5551" (type 0x81),
// calling national "301234567" allowed, subaddresses/BC/LLC/HLC empty, Additional Info default.
const std::vector<uint8_t> kConnectInd = Hex("26 00 07 00 02 82 33 00"
                                             " 01 02 01 00 10 00"
                                             " 05 81 35 35 35 31"
                                             " 0B 21 80 33 30 31 32 33 34 35 36 37"
                                             " 00 00 00 00 00 00");

TEST(CommandToIndex, PlacesEveryMessageInItsRowAndColumn) {
    EXPECT_EQ(CommandToIndex(0xFF, 0x83), 78u);
    EXPECT_EQ(CommandToIndex(0x41, 0x80), 10u);
    EXPECT_EQ(CommandToIndex(0x86, 0x82), 51u);
    EXPECT_EQ(CommandToIndex(0x02, 0x82), 38u);
    EXPECT_EQ(CommandToIndex(0x02, 0x83), 56u);
    EXPECT_EQ(CommandToIndex(0x05, 0x80), 5u);
    EXPECT_EQ(CommandToIndex(0xFF, 0x80), 24u);
    EXPECT_EQ(CommandToIndex(0xFF, 0x81), 42u);
    EXPECT_EQ(CommandToIndex(0xFF, 0x82), 60u);
}

TEST(MessageParameterLists, EveryListEndsAndUsesKnownDescriptors) {
    for (const uint8_t* list : messageParameterLists) {
        if (list == nullptr)
            continue;
        int depth = 0;
        std::size_t i = 0;
        for (; list[i] != 0; ++i) {
            ASSERT_LT(list[i], kParameterDescriptorCount);
            ParameterKind kind = parameterDescriptors[list[i]].kind;
            if (kind == ParameterKind::Composite)
                depth++;
            if (kind == ParameterKind::End)
                depth--;
        }
        EXPECT_EQ(depth, -1); // every composite closed, then the list's own end marker
        EXPECT_EQ(list[i - 1], 1);
    }
}

TEST(Encode, ConnectRespIgnoringTheCallIs32Octets) {
    cmsg c;
    FillCmsgHeader(c, 0x0102, CAPI_CONNECT, CAPI_RESP, 0x0304, 0x00050601);
    c.reject = 1;
    EXPECT_EQ(Encode(c), Hex("20 00 02 01 02 83 04 03 01 06 05 00 01 00"
                             " 09 00 00 00 00 00 00 00 00 00"
                             " 00 00 00 04 00 00 00 00"));
}

TEST(Encode, DisconnectRespIs12Octets) {
    cmsg c;
    FillCmsgHeader(c, 7, CAPI_DISCONNECT, CAPI_RESP, 9, 0x00010201);
    EXPECT_EQ(Encode(c), Hex("0C 00 07 00 04 83 09 00 01 02 01 00"));
}

TEST(Encode, ListenReqIs26Octets) {
    cmsg c;
    FillCmsgHeader(c, 3, CAPI_LISTEN, CAPI_REQ, 0, 2);
    c.cipMask = 0x1FFF03FF;
    EXPECT_EQ(Encode(c), Hex("1A 00 03 00 05 80 00 00 02 00 00 00 00 00 00 00"
                             " FF 03 FF 1F 00 00 00 00 00 00"));
}

TEST(Encode, DefaultCompositeIsOneZeroOctetAndSkipsItsMembers) {
    cmsg c;
    FillCmsgHeader(c, 1, CAPI_CONNECT, CAPI_RESP, 0, 1);
    c.bProtocol = CAPI_DEFAULT;
    c.b1Protocol = 5; // must not appear
    c.additionalInfo = CAPI_DEFAULT;
    c.reject = 1;
    EXPECT_EQ(Encode(c), Hex("13 00 01 00 02 83 00 00 01 00 00 00 01 00 00 00 00 00 00"));
}

TEST(Encode, LongStructsAreCopiedWithTheirThreeOctetHead) {
    std::vector<uint8_t> ncpi = {0xFF, 0x02, 0x00, 0xAA, 0xBB, 0xCC /* not part of it */};
    cmsg c;
    FillCmsgHeader(c, 1, CAPI_CONNECT_B3, CAPI_REQ, 0, 0x10101);
    c.ncpi = ncpi.data();
    EXPECT_EQ(Encode(c), Hex("11 00 01 00 82 80 00 00 01 01 01 00 FF 02 00 AA BB"));
}

// Additional Info's members sum to `members` octets: three empty structs plus one struct of the
// remaining size.
std::vector<uint8_t> EncodeDisconnectReqWithAdditionalInfo(std::size_t members,
                                                           std::vector<uint8_t>& userData) {
    std::size_t contents = members - 3 - 1;
    userData.assign(1 + contents, 0x55);
    userData[0] = static_cast<uint8_t>(contents);
    cmsg c;
    FillCmsgHeader(c, 1, CAPI_DISCONNECT, CAPI_REQ, 0, 0x101);
    c.userUserData = userData.data();
    return Encode(c);
}

TEST(Encode, CompositeSwitchesToTheLongFormAt255Octets) {
    std::vector<uint8_t> userData;
    std::vector<uint8_t> shortForm = EncodeDisconnectReqWithAdditionalInfo(254, userData);
    ASSERT_EQ(shortForm.size(), 8u + 4 + 1 + 254);
    EXPECT_EQ(shortForm[12], 254);
    EXPECT_EQ(shortForm[13], 0); // B channel information, the first member

    std::vector<uint8_t> longForm = EncodeDisconnectReqWithAdditionalInfo(255, userData);
    ASSERT_EQ(longForm.size(), 8u + 4 + 3 + 255);
    EXPECT_EQ(longForm[0] | (longForm[1] << 8), static_cast<int>(longForm.size()));
    EXPECT_EQ(longForm[12], 0xFF);
    EXPECT_EQ(longForm[13], 255);
    EXPECT_EQ(longForm[14], 0);
    EXPECT_EQ(longForm[15], 0); // members follow the 3-octet head
    EXPECT_EQ(longForm[17], 251);
    EXPECT_EQ(longForm.back(), 0); // Facility data array, the last member

    cmsg back;
    ASSERT_EQ(MessageToCmsg(back, longForm), CapiNoError);
    ASSERT_NE(back.userUserData, nullptr);
    EXPECT_EQ(back.userUserData[0], 251);
    EXPECT_EQ(back.workingPosition, longForm.size());
}

TEST(Encode, MessageThatDoesNotFitIsRefused) {
    std::vector<uint8_t> manuData(300, 0x11);
    manuData[0] = 0xFF;
    manuData[1] = 40;
    manuData[2] = 1; // 296 octets of contents
    cmsg c;
    FillCmsgHeader(c, 1, CAPI_MANUFACTURER, CAPI_REQ, 0, 1);
    c.manuData = manuData.data();
    std::vector<uint8_t> small(100);
    EXPECT_EQ(CmsgToMessage(c, small), CapiIllegalParameterCoding);
}

TEST(Encode, PairWithoutParameterListGivesHeaderOnly) {
    cmsg c;
    FillCmsgHeader(c, 1, CAPI_CONNECT_ACTIVE, CAPI_REQ, 5, 0x101);
    unsigned result = 0;
    EXPECT_EQ(Encode(c, &result), Hex("08 00 01 00 03 80 05 00"));
    EXPECT_EQ(result, CapiIllegalCommand);
    FillCmsgHeader(c, 1, 0x50, CAPI_RESP, 5, 0x101); // beyond the 79 slots
    EXPECT_EQ(Encode(c, &result), Hex("08 00 01 00 50 83 05 00"));
    EXPECT_EQ(result, CapiIllegalCommand);
}

TEST(Decode, ConnectIndFillsEveryListedField) {
    cmsg c;
    ASSERT_EQ(MessageToCmsg(c, kConnectInd), CapiNoError);
    EXPECT_EQ(c.applId, 7);
    EXPECT_EQ(c.command, CAPI_CONNECT);
    EXPECT_EQ(c.subcommand, CAPI_IND);
    EXPECT_EQ(c.messageNumber, 0x33);
    EXPECT_EQ(c.adr, 0x00010201u);
    EXPECT_EQ(c.cipValue, 16);
    ASSERT_NE(c.calledPartyNumber, nullptr);
    EXPECT_EQ(c.calledPartyNumber, kConnectInd.data() + 14); // points into the message
    ASSERT_NE(c.callingPartyNumber, nullptr);
    EXPECT_EQ(c.callingPartyNumber[0], 0x0B);
    EXPECT_EQ(c.hlc, kConnectInd.data() + 36);
    EXPECT_EQ(c.additionalInfo, CAPI_DEFAULT);
    EXPECT_EQ(c.bChannelInformation, nullptr);
    EXPECT_EQ(c.keypadFacility, nullptr);
    EXPECT_EQ(c.userUserData, nullptr);
    EXPECT_EQ(c.facilityDataArray, nullptr);
    EXPECT_EQ(c.workingPosition, kConnectInd.size());
}

TEST(Decode, ComposedAdditionalInfoFillsItsMembers) {
    std::vector<uint8_t> m = Hex("1C 00 01 00 02 82 00 00 01 01 00 00 01 00"
                                 " 00 00 00 00 00 00 00"   // numbers, subaddresses, BC, LLC, HLC
                                 " 06 00 02 31 32 00 00"); // B chan, keypad "12", UUI, facility
    cmsg c;
    ASSERT_EQ(MessageToCmsg(c, m), CapiNoError);
    EXPECT_EQ(c.additionalInfo, CAPI_COMPOSE);
    ASSERT_NE(c.keypadFacility, nullptr);
    EXPECT_EQ(c.keypadFacility, m.data() + 23);
    EXPECT_EQ(c.facilityDataArray, m.data() + 27);
}

TEST(Decode, LongStructIsSkippedByItsLengthPlusThree) {
    // DISCONNECT_B3_IND: NCPI in the long form, 2 octets of contents.
    std::vector<uint8_t> m = Hex("13 00 01 00 84 82 00 00 01 01 01 00 01 33 FF 02 00 AA BB");
    cmsg c;
    ASSERT_EQ(MessageToCmsg(c, m), CapiNoError);
    EXPECT_EQ(c.reasonB3, 0x3301);
    EXPECT_EQ(c.ncpi, m.data() + 14);
    // The same message with one octet less is cut inside the struct.
    std::vector<uint8_t> cut(m.begin(), m.end() - 1);
    cut[0] = static_cast<uint8_t>(cut.size());
    EXPECT_EQ(MessageToCmsg(c, cut), CapiIllegalParameterCoding);
}

TEST(Decode, OctetsAfterTheLastListedParameterAreIgnored) {
    std::vector<uint8_t> m = Hex("10 00 01 00 04 82 05 00 01 01 00 00 90 34 EE EE");
    cmsg c;
    ASSERT_EQ(MessageToCmsg(c, m), CapiNoError);
    EXPECT_EQ(c.reason, 0x3490);
    EXPECT_EQ(c.workingPosition, 16u);
}

TEST(Decode, ThenEncodeReproducesTheMessage) {
    const std::vector<std::vector<uint8_t>> messages = {
        kConnectInd,
        Hex("1C 00 01 00 02 82 00 00 01 01 00 00 01 00 00 00 00 00 00 00 00"
            " 06 00 02 31 32 00 00"),
        Hex("1A 00 03 00 05 80 00 00 02 00 00 00 00 00 00 00 FF 03 FF 1F 00 00 00 00 00 00"),
        Hex("0E 00 01 00 05 81 00 00 01 00 00 00 00 00"),
        Hex("1B 00 01 00 FF 82 00 00 01 00 00 00 02 00 00 00 03 00 00 00 04 00 00 00"
            " 02 78 79"),
        Hex("16 00 01 00 86 82 04 00 01 01 01 00 00 10 00 00 40 00 01 00 00 00")};
    for (const auto& m : messages) {
        cmsg c;
        ASSERT_EQ(MessageToCmsg(c, m), CapiNoError);
        std::vector<uint8_t> again = Encode(c);
        EXPECT_EQ(again, m);
    }
}

TEST(Decode, CutAtEveryLengthIsRefusedAndLeavesTheRecordUntouched) {
    for (std::size_t length = 0; length < kConnectInd.size(); ++length) {
        // Delivered shorter than the header says.
        std::vector<uint8_t> cut(kConnectInd.begin(), kConnectInd.begin() + length);
        cmsg c;
        std::memset(&c, 0xA5, sizeof c);
        cmsg before = c;
        EXPECT_NE(MessageToCmsg(c, cut), CapiNoError) << length;
        EXPECT_EQ(std::memcmp(&c, &before, sizeof c), 0) << length;

        // Header length matching the cut: a parameter runs past the message's end.
        if (length >= 2) {
            cut[0] = static_cast<uint8_t>(length);
            EXPECT_NE(MessageToCmsg(c, cut), CapiNoError) << length;
            EXPECT_EQ(std::memcmp(&c, &before, sizeof c), 0) << length;
        }
    }
}

TEST(Decode, HeaderLengthBeyondTheDeliveredOctetsOrBelowTheHeaderIsRefused) {
    std::vector<uint8_t> m = Hex("0E 00 01 00 04 82 05 00 01 01 00 00 90 34");
    cmsg c{};
    m[0] = 0x0F;
    EXPECT_EQ(MessageToCmsg(c, m), CapiIllegalCommand);
    m[0] = 0x07;
    EXPECT_EQ(MessageToCmsg(c, m), CapiIllegalCommand);
    EXPECT_EQ(c.command, 0);
}

TEST(Decode, StructLengthPastTheEndIsRefused) {
    // Called party number claims 0x40 octets in a 20-octet message.
    std::vector<uint8_t> m = Hex("14 00 01 00 02 82 00 00 01 01 00 00 10 00 40 81 35 35 35 31");
    cmsg c{};
    EXPECT_EQ(MessageToCmsg(c, m), CapiIllegalParameterCoding);
    EXPECT_EQ(c.calledPartyNumber, nullptr);
}

TEST(Decode, PairWithoutParameterListConvertsOnlyTheHeader) {
    std::vector<uint8_t> m = Hex("0E 00 09 00 01 82 21 00 01 01 00 00 90 34"); // ALERT_IND
    cmsg c;
    std::memset(&c, 0xA5, sizeof c);
    EXPECT_EQ(MessageToCmsg(c, m), CapiIllegalCommand);
    EXPECT_EQ(c.applId, 9);
    EXPECT_EQ(c.command, CAPI_ALERT);
    EXPECT_EQ(c.subcommand, CAPI_IND);
    EXPECT_EQ(c.messageNumber, 0x21);
    EXPECT_EQ(c.adr, 0u);
    EXPECT_EQ(c.workingPosition, 14u);
}

TEST(Helpers, FillCmsgHeaderClearsEverythingAndAnswerCmsgMakesTheResponse) {
    cmsg c;
    std::memset(&c, 0xA5, sizeof c);
    FillCmsgHeader(c, 4, CAPI_CONNECT, CAPI_IND, 8, 0x101);
    EXPECT_EQ(c.callingPartyNumber, nullptr);
    EXPECT_EQ(c.reject, 0);
    EXPECT_EQ(c.bProtocol, CAPI_COMPOSE);
    EXPECT_EQ(c.cipMask, 0u);
    AnswerCmsg(c);
    EXPECT_EQ(c.subcommand, CAPI_RESP);
}

} // namespace
