#include "capi/CallNumbers.h"
#include "WireBytes.h"

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> Calling(uint8_t type, uint8_t presentation, const std::string& digits) {
    std::vector<uint8_t> s = {static_cast<uint8_t>(2 + digits.size()), type, presentation};
    s.insert(s.end(), digits.begin(), digits.end());
    return s;
}

std::string CallingText(uint8_t type, uint8_t presentation, const std::string& digits) {
    std::vector<uint8_t> s = Calling(type, presentation, digits);
    return CallingNumberText(s.data());
}

TEST(CallingNumber, NationalAndUnknownTypesGetOneZero) {
    EXPECT_EQ(CallingText(0x21, 0x80, "301234567"), "0301234567");
    EXPECT_EQ(CallingText(0x00, 0x80, "301234567"), "0301234567");
}

TEST(CallingNumber, EveryOtherTypeGetsTwoZeros) {
    EXPECT_EQ(CallingText(0x11, 0x80, "4930123"), "004930123");
    EXPECT_EQ(CallingText(0x01, 0x80, "4930123"), "004930123");
    EXPECT_EQ(CallingText(0x41, 0x81, "123"), "00123");
}

TEST(CallingNumber, RestrictedPresentationIsWithheld) {
    for (uint8_t presentation : {0xA0, 0xA1, 0xA2, 0xA3, 0xE0, 0xE1, 0xE2, 0xE3}) {
        EXPECT_EQ(CallingText(0x21, presentation, "301234567"), "0") << int(presentation);
        EXPECT_EQ(CallingText(0x11, presentation, "301234567"), "0") << int(presentation);
    }
    for (uint8_t presentation : {0x80, 0x81, 0x82, 0x83})
        EXPECT_EQ(CallingText(0x21, presentation, "55"), "055") << int(presentation);
}

TEST(CallingNumber, NotAvailableKeepsThePrefix) {
    EXPECT_EQ(CallingText(0x21, 0xC0, ""), "0");
    EXPECT_EQ(CallingText(0x11, 0xC0, ""), "00");
}

TEST(CallingNumber, AbsentOrTooShortStructIsWithheld) {
    EXPECT_EQ(CallingNumberText(nullptr), "0");
    const auto empty = Hex("00");
    EXPECT_EQ(CallingNumberText(empty.data()), "0");
    const auto typeOnly = Hex("01 11");
    EXPECT_EQ(CallingNumberText(typeOnly.data()), "0");
}

TEST(CallingNumber, ZeroOctetEndsTheDigitsButAZeroPresentationOctetDoesNot) {
    const auto zeroInDigits = Hex("06 21 80 33 34 00 35");
    EXPECT_EQ(CallingNumberText(zeroInDigits.data()), "034");
    EXPECT_EQ(CallingText(0x21, 0x00, "301234567"), "0301234567");
}

TEST(CallingNumber, OnlyDiallingCharactersOfTheLineAreKept) {
    // A CR LF would forge a line in "caller.txt", an ESC sequence drive a terminal.
    EXPECT_EQ(CallingText(0x21, 0x80,
                          "30\r\n2026-01-01 - forged\x1b]0;x\x07"
                          "12"),
              "03020260101012");
    EXPECT_EQ(CallingText(0x11, 0x80, "+49*30#1"), "00+49*30#1");
    EXPECT_EQ(CallingText(0x21, 0x80, "\x7f\xff\x80"), "0");
    const auto msn = Hex("07 81 35 0D 0A 1B 35 36");
    EXPECT_EQ(CalledNumberText(msn.data()), "556");
}

TEST(CallingNumber, LongNumbersAreCutAt127Characters) {
    std::string digits(200, '7');
    std::vector<uint8_t> s = {0xFF, 202, 0, 0x11, 0x80};
    s.insert(s.end(), digits.begin(), digits.end());
    std::string text = CallingNumberText(s.data());
    EXPECT_EQ(text, "00" + std::string(125, '7'));
    EXPECT_EQ(CallingText(0x21, 0x80, std::string(140, '1')), "0" + std::string(126, '1'));
}

TEST(CalledNumber, DigitsOnly) {
    const auto msn = Hex("05 81 35 35 35 31");
    EXPECT_EQ(CalledNumberText(msn.data()), "5551");
    const auto empty = Hex("00");
    EXPECT_EQ(CalledNumberText(empty.data()), "");
    EXPECT_EQ(CalledNumberText(nullptr), "");
    const auto typeOnly = Hex("01 81");
    EXPECT_EQ(CalledNumberText(typeOnly.data()), "");
    std::vector<uint8_t> longMsn = {201, 0x81};
    longMsn.insert(longMsn.end(), 200, '9');
    EXPECT_EQ(CalledNumberText(longMsn.data()), std::string(127, '9'));
}

TEST(Notice, CarriesPlciAndCipUnchanged) {
    const auto called = Hex("05 81 35 35 35 32");
    const auto calling = Hex("05 21 80 33 34 35");
    for (uint16_t cip : {1, 16}) {
        cmsg c;
        FillCmsgHeader(c, 1, CAPI_CONNECT, CAPI_IND, 3, 0x00020301);
        c.cipValue = cip;
        c.calledPartyNumber = called.data();
        c.callingPartyNumber = calling.data();
        IncomingCallNotice notice = BuildIncomingCallNotice(c);
        EXPECT_EQ(notice.connectionId, 0x00020301u);
        EXPECT_EQ(notice.cipValue, cip);
        EXPECT_EQ(notice.calledNumber, "5552");
        EXPECT_EQ(notice.callingNumber, "0345");
    }
}

} // namespace
