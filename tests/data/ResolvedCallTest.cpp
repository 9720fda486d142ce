#include "data/ResolvedCall.h"

#include <gtest/gtest.h>

namespace {

DirectoryEntry Entry(const std::string& key, const std::string& name, OptText speak = {}) {
    DirectoryEntry entry;
    entry.key = key;
    entry.value = name;
    entry.speakText = std::move(speak);
    return entry;
}

struct Lists {
    Directory msnList, phoneBook;
    AreaCodeTable areaCodes;
    Lists() {
        msnList.append(Entry("555", "Office", std::string("the office")));
        phoneBook.append(Entry("0301777", "Anna"));
        phoneBook.append(Entry("", "Nobody at all")); // an entry whose number is empty
        areaCodes.AddAreaCodes("0301\tBerlin Mitte\r\n030\tBerlin\r\n");
    }
    ResolvedCall Resolve(OptText called, OptText calling, int cip = 1) {
        return ResolveCall(called, calling, cip, msnList, phoneBook, areaCodes);
    }
};

} // namespace

TEST(ResolvedCall, FindsMsnCallerAndPlaceOnce) {
    Lists lists;
    const ResolvedCall call = lists.Resolve(std::string("555"), std::string("0301777"), 1);
    EXPECT_TRUE(call.msnKnown);
    EXPECT_EQ(call.msnName, "Office");
    EXPECT_EQ(call.msnSpokenName, "the office");
    EXPECT_STREQ(call.service, "speech");
    EXPECT_EQ(call.callerKind, CallerKind::Number);
    EXPECT_EQ(call.callerName, "Anna");
    EXPECT_EQ(call.callerSpokenName, "Anna"); // no speak text: the name
    EXPECT_TRUE(call.areaCodeFound);
    EXPECT_EQ(call.placeName, "Berlin Mitte"); // the first matching code wins
    EXPECT_EQ(SplitNumber(call), "0301/777");

    const ResolvedCall other = lists.Resolve(std::string("999"), std::string("0401234"), 0);
    EXPECT_FALSE(other.msnKnown);
    EXPECT_EQ(other.service, nullptr);
    EXPECT_FALSE(other.callerName);
    EXPECT_FALSE(other.areaCodeFound);
    EXPECT_EQ(SplitNumber(other), "0401234"); // unsplit without an area code
}

TEST(ResolvedCall, MarksAndAbsentNumbers) {
    Lists lists;
    EXPECT_EQ(lists.Resolve(std::string("555"), std::string("0")).callerKind, CallerKind::Withheld);
    EXPECT_EQ(lists.Resolve(std::string("555"), std::string("*")).callerKind,
              CallerKind::IsdnUnknown);
    // An absent number finds nothing, not even the entry with the empty number.
    const ResolvedCall absent = lists.Resolve(std::nullopt, std::nullopt);
    EXPECT_EQ(absent.callerKind, CallerKind::Absent);
    EXPECT_FALSE(absent.callerName);
    EXPECT_FALSE(absent.msnKnown);
    EXPECT_FALSE(absent.areaCodeFound);
    // Without the table nothing is split.
    const ResolvedCall names =
        ResolveCall(std::string("555"), std::string("0301888"), 1, lists.msnList, lists.phoneBook);
    EXPECT_FALSE(names.areaCodeFound);
    EXPECT_TRUE(names.msnKnown);
}

TEST(ResolvedCall, AnEmptyAreaCodeSplitsBeforeTheFirstDigit) {
    Directory none;
    AreaCodeTable table;
    table.AddAreaCodes("\tanywhere\r\n");
    const ResolvedCall call =
        ResolveCall(std::string("1"), std::string("301234"), 0, none, none, table);
    ASSERT_TRUE(call.areaCodeFound);
    EXPECT_EQ(SplitNumber(call), "/301234");
}
