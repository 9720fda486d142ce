#include "outputs/CallEvent.h"

#include "OutputTestCalls.h"

#include <gtest/gtest.h>

namespace {

TEST(CallEvent, MadeFromTheResolvedCallAndItsRecord) {
    ResolvedCall resolved;
    resolved.calledNumber = "5551234";
    resolved.msnKnown = true;
    resolved.msnName = "B\xfcro"; // Windows-1252, as in the data files
    resolved.service = "Telephony";
    resolved.callerKind = CallerKind::Number;
    resolved.callingNumber = "04012345678";
    resolved.callerName = "M\xfcller \x80";
    resolved.areaCodeFound = true;
    resolved.areaCodeLength = 3;
    resolved.placeName = "Hamburg";
    CallRecord record;
    record.callTime = static_cast<int32_t>(SampleTime);
    record.connectionId = 0x0102; // PLCI 1 on controller 2
    record.repeatCount = 3;

    const CallEvent event = MakeCallEvent(resolved, record, "M\xfcller  ( B\xfcro ) ");
    EXPECT_EQ(event.time, SampleTime);
    EXPECT_EQ(event.controller, 2);
    EXPECT_EQ(event.msnName, "B\xc3\xbcro");
    EXPECT_EQ(event.callerName, "M\xc3\xbcller \xe2\x82\xac");
    EXPECT_EQ(event.areaCode, "040");
    EXPECT_EQ(event.localNumber, "12345678");
    EXPECT_EQ(event.text, "M\xc3\xbcller  ( B\xc3\xbcro ) ");
    EXPECT_TRUE(event.Repeat());

    // A withheld number has no area code, whatever the table matched for "0".
    resolved.callerKind = CallerKind::Withheld;
    resolved.callingNumber = "0";
    resolved.callerName.reset();
    resolved.areaCodeLength = 1;
    record.repeatCount = 1;
    const CallEvent withheld = MakeCallEvent(resolved, record, "");
    EXPECT_EQ(withheld.areaCode, "");
    EXPECT_EQ(withheld.callerName, "");
    EXPECT_FALSE(withheld.Repeat());

    EXPECT_EQ(IsoTime(SampleTime), "2026-03-01T18:05:00+01:00");
    EXPECT_EQ(IsoTime(SampleTime + 120 * 86400), "2026-06-29T19:05:00+02:00");
}

} // namespace
