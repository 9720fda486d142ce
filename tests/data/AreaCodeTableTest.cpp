#include "data/AreaCodeTable.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <random>

namespace {

AreaCodeTable Table(const std::string& text) {
    AreaCodeTable table;
    table.AddAreaCodes(text);
    return table;
}

std::string CodeFor(const AreaCodeTable& table, const std::string& number) {
    const AreaCodeEntry* entry = table.FindAreaCode(number);
    return entry ? entry->areaCode : "(none)";
}

} // namespace

TEST(AreaCodeTable, FirstMatchInFileOrderWinsNotTheLongest) {
    AreaCodeTable table = Table("0201\tEssen\n02010\tSomewhere\n030\tBerlin\n");
    EXPECT_EQ(CodeFor(table, "020101234"), "0201");
    EXPECT_EQ(CodeFor(table, "0301234"), "030");
    EXPECT_EQ(table.FindAreaCode("0301234")->placeName, "Berlin");
    EXPECT_EQ(CodeFor(table, "03"), "(none)");
    EXPECT_EQ(CodeFor(table, "0401234"), "(none)");
}

TEST(AreaCodeTable, LinesAreCodeTabPlaceName) {
    AreaCodeTable table = Table("no tab here\n089\tMunich\tBavaria\r\n\tcatch-all\n040\tHamburg\n");
    ASSERT_EQ(table.size(), 3u);
    auto it = table.begin();
    EXPECT_EQ(it->areaCode, "089");
    EXPECT_EQ(it->placeName, "Munich\tBavaria");
    ++it;
    EXPECT_EQ(it->areaCode, "");
    EXPECT_EQ(it->placeName, "catch-all");
    // The empty code matches every number and hides the lines after it.
    EXPECT_EQ(CodeFor(table, "0401234"), "");
    EXPECT_EQ(CodeFor(table, "0891234"), "089");
}

TEST(AreaCodeTable, LastLineWithoutLineFeedIsIgnored) {
    EXPECT_EQ(Table("0201\tEssen\n030\tBerlin").size(), 1u);
    EXPECT_EQ(Table("030\tBerlin\r").size(), 0u);
    EXPECT_EQ(Table("").size(), 0u);
}

TEST(AreaCodeTable, LongLinesAreReadIn1023CharacterPieces) {
    // Exactly 1,023 characters: the line feed then makes an empty piece, which is skipped.
    const std::string exact = "0201\t" + std::string(1018, 'p');
    AreaCodeTable one = Table(exact + "\n");
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one.begin()->placeName.size(), 1018u);

    // 1,030 characters: the first piece ends at 1,023, the rest "\tX" + 5 is a line of its own.
    const std::string longLine = std::string(1023, 'a') + "7\tTail" + "\n";
    AreaCodeTable two = Table(longLine);
    ASSERT_EQ(two.size(), 1u);
    EXPECT_EQ(two.begin()->areaCode, "7");
    EXPECT_EQ(two.begin()->placeName, "Tail");

    // A tab in the first piece and one in the second give two entries.
    AreaCodeTable three = Table("1\t" + std::string(1021, 'x') + "2\ty\n");
    ASSERT_EQ(three.size(), 2u);
    EXPECT_EQ(std::next(three.begin())->areaCode, "2");

    // A last piece that fills the buffer was not cut by the end of the file, so it counts.
    EXPECT_EQ(Table("1\t" + std::string(1021, 'x')).size(), 1u);
}

TEST(AreaCodeTable, LoadAppendsClearEmptiesAndMissingFileIsCreated) {
    TempDir dir;
    AreaCodeTable table;
    table.LoadAreaCodes(dir.file("areacode.lst"));
    EXPECT_EQ(table.size(), 0u);
    EXPECT_TRUE(Exists(dir.file("areacode.lst")));

    WriteBytes(dir.file("areacode.lst"), "0201\tEssen\r\n");
    table.LoadAreaCodes(dir.file("areacode.lst"));
    table.LoadAreaCodes(dir.file("areacode.lst"));
    EXPECT_EQ(table.size(), 2u);
    EXPECT_EQ(table.FindAreaCode("0201")->placeName, "Essen");
    table.ClearAreaCodes();
    EXPECT_EQ(table.size(), 0u);
    EXPECT_EQ(table.FindAreaCode("0201"), nullptr);
}

namespace {

// The rule the index must keep, as the plain walk over the file's entries.
const AreaCodeEntry* FirstMatchByWalking(const AreaCodeTable& table, const std::string& number) {
    for (const AreaCodeEntry& entry : table)
        if (number.starts_with(entry.areaCode))
            return &entry;
    return nullptr;
}

} // namespace

TEST(AreaCodeTable, IndexedLookupFindsTheSameEntryAsWalkingTheFile) {
    // Codes of a few digits from a small alphabet: many are prefixes of each other, some repeat,
    // and now and then the empty code takes every number after it.
    std::mt19937 random(18);
    const std::string digits = "0129";
    auto randomDigits = [&](size_t maxLength) {
        std::string text;
        for (size_t n = random() % (maxLength + 1); n > 0; --n)
            text += digits[random() % digits.size()];
        return text;
    };
    for (int round = 0; round < 200; ++round) {
        std::string file;
        const int lines = 1 + static_cast<int>(random() % 40);
        for (int line = 0; line < lines; ++line) {
            const std::string code = random() % 30 == 0 ? "" : randomDigits(5);
            file += code + "\tplace " + std::to_string(line) + "\n";
        }
        AreaCodeTable table = Table(file);
        if (round % 2)
            table.AddAreaCodes("00\tadded later\n"); // a second file keeps the first one's order
        const AreaCodeTable copy = table;
        for (int probe = 0; probe < 50; ++probe) {
            const std::string number = randomDigits(8);
            const AreaCodeEntry* expected = FirstMatchByWalking(table, number);
            EXPECT_EQ(table.FindAreaCode(number), expected) << file << " number " << number;
            const AreaCodeEntry* inCopy = copy.FindAreaCode(number);
            ASSERT_EQ(inCopy == nullptr, expected == nullptr);
            if (expected) {
                EXPECT_EQ(inCopy, FirstMatchByWalking(copy, number));
            }
        }
    }
}

TEST(AreaCodeTable, ClearedTableFindsNothingAndIndexesWhatComesNext) {
    AreaCodeTable table = Table("\tcatch-all\n030\tBerlin\n");
    ASSERT_NE(table.FindAreaCode("0401"), nullptr);
    table.ClearAreaCodes();
    EXPECT_EQ(table.size(), 0u);
    EXPECT_EQ(table.FindAreaCode("0301"), nullptr);
    table.AddAreaCodes("040\tHamburg\n");
    EXPECT_EQ(CodeFor(table, "0401"), "040");
    EXPECT_EQ(CodeFor(table, "0301"), "(none)");
}
