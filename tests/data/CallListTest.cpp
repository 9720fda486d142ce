#include "data/CallList.h"
#include "data/DirectoryIndex.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>

namespace {

CallRecord Entry(OptText key, std::string value) {
    CallRecord r;
    r.key = std::move(key);
    r.value = std::move(value);
    return r;
}

CallRecord Call(uint32_t connectionId, int32_t callTime) {
    CallRecord r;
    r.connectionId = connectionId;
    r.callTime = callTime;
    r.repeatCount = 1;
    return r;
}

std::vector<std::string> Values(const CallList& list) {
    std::vector<std::string> out;
    for (const CallRecord& r : list)
        out.push_back(TextOf(r.value));
    return out;
}

} // namespace

TEST(CallList, AppendCopiesTheRecordAndKeepsOrder) {
    CallList list;
    CallRecord temp = Entry("1", "first");
    CallRecord* stored = list.append(temp);
    temp.value = "changed by the caller";
    list.append(Entry("2", "second"));
    EXPECT_EQ(TextOf(stored->value), "first");
    EXPECT_EQ(Values(list), (std::vector<std::string>{"first", "second"}));
}

TEST(CallList, AtCountsFromZeroAndEndsWithNone) {
    CallList list;
    EXPECT_EQ(list.at(0), nullptr);
    list.append(Entry("1", "a"));
    list.append(Entry("2", "b"));
    ASSERT_NE(list.at(1), nullptr);
    EXPECT_EQ(TextOf(list.at(1)->value), "b");
    EXPECT_EQ(list.at(2), nullptr);
}

TEST(CallList, AssignReplacesWithACopy) {
    CallList source;
    source.append(Entry("1", "a"));
    source.append(Entry("2", "b"));
    CallList target;
    target.append(Entry("9", "old"));
    target.assign(source);
    EXPECT_EQ(Values(target), (std::vector<std::string>{"a", "b"}));
    target.at(0)->value = "edited";
    EXPECT_EQ(TextOf(source.at(0)->value), "a");
}

TEST(CallList, AssignToItselfKeepsTheRecords) {
    CallList list;
    list.append(Entry("1", "a"));
    list.assign(list);
    EXPECT_EQ(Values(list), (std::vector<std::string>{"a"}));
}

TEST(CallList, RemoveByIdentityOnly) {
    CallList list;
    list.append(Entry("1", "a"));
    CallRecord* middle = list.append(Entry("1", "b"));
    list.append(Entry("1", "c"));
    CallRecord lookalike = *middle;
    list.remove(&lookalike);
    EXPECT_EQ(list.size(), 3u);
    list.remove(middle);
    EXPECT_EQ(Values(list), (std::vector<std::string>{"a", "c"}));
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.at(0), nullptr);
}

TEST(CallList, FindByKeyIgnoresAsciiCaseAndTakesTheLastMatch) {
    CallList book;
    book.append(Entry("ABC", "first"));
    book.append(Entry("0123", "zero one two three"));
    book.append(Entry("abc", "second"));
    book.append(Entry("xyz", "other"));
    CallRecord* found = book.findByKey("aBc");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(TextOf(found->value), "second");
    EXPECT_EQ(std::as_const(book).findByKey("ABC"), found);
    // Whole texts only: no prefix, no stripped digits.
    EXPECT_EQ(book.findByKey("123"), nullptr);
    EXPECT_EQ(book.findByKey("01234"), nullptr);
    EXPECT_EQ(book.findByKey("012"), nullptr);
}

TEST(CallList, FindByKeyTakesTheLastLiveMatchAcrossChunks) {
    // A phone book of more than one chunk of slots, with the same number early and late.
    CallList book;
    book.append(Entry("0301234567", "early"));
    for (int i = 0; i < 5000; ++i)
        book.append(Entry("0302" + std::to_string(100000 + i), "filler"));
    CallRecord* late = book.append(Entry("0301234567", "late"));
    book.append(Entry("0301234568", "neighbour"));
    EXPECT_EQ(book.findByKey("0301234567"), late);
    book.remove(late);
    ASSERT_NE(book.findByKey("0301234567"), nullptr);
    EXPECT_EQ(TextOf(book.findByKey("0301234567")->value), "early");
    EXPECT_EQ(TextOf(book.findByKey("0302104999")->value), "filler");
    EXPECT_EQ(book.findByKey("030123456"), nullptr);
    // Same length and last digit, another digit in the middle; and numbers too long to be kept
    // in place.
    EXPECT_EQ(book.findByKey("0309234567"), nullptr);
    book.append(Entry("004930123456789012", "long"));
    EXPECT_EQ(book.findByKey("004930123456780012"), nullptr);
    ASSERT_NE(book.findByKey("004930123456789012"), nullptr);
    // A number with a letter in it still matches in either case.
    book.append(Entry("0800CALLME", "letters"));
    ASSERT_NE(book.findByKey("0800callme"), nullptr);
    EXPECT_EQ(TextOf(book.findByKey("0800callme")->value), "letters");
}

// The index of a directory must answer every lookup as the walk does: random keys with letters
// in both cases, repeated keys, absent and empty keys, removed entries.
TEST(CallList, DirectoryIndexFindsWhatTheWalkFinds) {
    std::mt19937 random(7);
    const std::string alphabet = "01aAbB@`\xC4\xE4";
    auto key = [&] {
        std::string text(random() % 4, ' ');
        for (char& c : text)
            c = alphabet[random() % alphabet.size()];
        return text;
    };
    for (int round = 0; round < 20; ++round) {
        CallList book;
        std::vector<CallRecord*> added;
        for (int i = 0; i < 300; ++i)
            added.push_back(book.append(Entry(random() % 10 == 0 ? OptText() : OptText(key()),
                                              std::to_string(i))));
        for (int i = 0; i < 30; ++i)
            book.remove(added[random() % added.size()]);
        const DirectoryIndex index(book);
        for (int i = 0; i < 200; ++i) {
            const std::string wanted = key();
            ASSERT_EQ(index.findByKey(wanted), std::as_const(book).findByKey(wanted))
                << "round " << round << " key " << wanted;
        }
    }
}

TEST(CallList, FindByKeyFoldsOnlyAsciiLetters) {
    CallList book;
    book.append(Entry(std::string("\xC4"), "upper A umlaut in Latin-1"));
    EXPECT_EQ(book.findByKey("\xE4"), nullptr);
    EXPECT_NE(book.findByKey("\xC4"), nullptr);
    // '@' and '`' sit next to the letters; they are not case pairs of anything.
    book.append(Entry("@", "at"));
    EXPECT_EQ(book.findByKey("`"), nullptr);
}

TEST(CallList, AbsentKeyNeverMatchesButEmptyKeyMatchesEmptyText) {
    CallList book;
    book.append(Entry(std::nullopt, "absent"));
    EXPECT_EQ(book.findByKey(""), nullptr);
    book.append(Entry("", "empty"));
    ASSERT_NE(book.findByKey(""), nullptr);
    EXPECT_EQ(TextOf(book.findByKey("")->value), "empty");
}

TEST(CallList, FindRepeatWithinFiveSeconds) {
    CallList calls;
    const std::time_t now = 1'000'000'000;
    calls.append(Call(0x101, static_cast<int32_t>(now - 5)));
    EXPECT_EQ(calls.findRepeat(0x101, now), nullptr);
    CallRecord* recent = calls.append(Call(0x101, static_cast<int32_t>(now - 4)));
    EXPECT_EQ(calls.findRepeat(0x101, now), recent);
    EXPECT_EQ(calls.findRepeat(0x102, now), nullptr);
}

TEST(CallList, FindRepeatTakesTheLastMatchAndFutureTimes) {
    CallList calls;
    const std::time_t now = 1'000'000'000;
    calls.append(Call(7, static_cast<int32_t>(now - 1)));
    CallRecord* future = calls.append(Call(7, static_cast<int32_t>(now + 3600)));
    EXPECT_EQ(calls.findRepeat(7, now), future);
}
