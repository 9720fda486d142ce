#include "core/IncomingCallTexts.h"
#include "HandlerTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

class TextsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream(dir.Path() / "areacode.lst") << "012\tSomewhere\n0301\tElsewhere\n";
        areaCodes.LoadAreaCodes();
        msnList.append(Entry("555", "Office"));
        msnList.append(Entry("556", "Fax", "the fax line"));
        msnList.append(Entry("557", ""));
        phoneBook.append(Entry("0301777", "Anna", ""));
        phoneBook.append(Entry("0987", "Bert", "Uncle Bert"));
    }

    TempDataDir dir;
    AreaCodeTable areaCodes;
    Directory msnList;
    Directory phoneBook;
};

TEST_F(TextsTest, WorkedExampleComesOutByteForByte) {
    UseUtc();
    const std::string msn = MsnText(msnList, "555", 1, false).value();
    const std::string caller = CallerText(phoneBook, areaCodes, "01234");
    EXPECT_EQ(msn, "Office/speech");
    EXPECT_EQ(caller, "012/34");
    EXPECT_EQ(LogLine(TimeText(ExampleTime), caller, msn, "555"),
              "2000-01-15 14:03:27 - 012/34 -->> Office/speech(555)");
    EXPECT_EQ(PopupText(caller, msn), "012/34  ( Office/speech ) ");
    const std::string to = ToSpeech(msnList, "555", "unknown");
    const std::string from = FromSpeech(phoneBook, areaCodes, "01234", "unknown");
    EXPECT_EQ(to, "Office ");
    EXPECT_EQ(from, "0 1 2 \\Pau=500\\3 4 ");
    EXPECT_EQ(SpeechText("Incoming call on %to% from %from%", to, from),
              "Incoming call on Office from 0 1 2 \\Pau=500\\3 4" + std::string(3, ' '));
}

TEST_F(TextsTest, LogLineCarriesNoControlBytesOfNamesButKeepsEightBitCharacters) {
    // An imported name may hold anything; in "caller.txt" a CR LF would forge a line.
    phoneBook.append(Entry("0302", "M\xFCller\r\n2000-01-01 00:00:00 - forged\x1b[2J\x7f", ""));
    msnList.append(Entry("558", "Office\tB", ""));
    const std::string caller = CallerText(phoneBook, areaCodes, "0302");
    const std::string msn = MsnText(msnList, "558", 0, false).value();
    EXPECT_EQ(LogLine("t", caller, msn, "558"),
              "t - M\xFCller??2000-01-01 00:00:00 - forged?[2J?  0302 -->> Office?B(558)");
}

TEST_F(TextsTest, ServiceSuffixOnlyForCipOneToThirtyOne) {
    EXPECT_EQ(MsnText(msnList, "555", 0, false), "Office");
    EXPECT_EQ(MsnText(msnList, "555", 32, false), "Office");
    EXPECT_EQ(MsnText(msnList, "555", -1, false), "Office");
    EXPECT_EQ(MsnText(msnList, "555", 16, false), "Office/telephony");
    EXPECT_EQ(MsnText(msnList, "555", 31, false), "Office/reserved");
}

TEST_F(TextsTest, OnlyNamedMsnsDropsUnknownAndUnnamedMsns) {
    EXPECT_EQ(MsnText(msnList, "999", 1, true), std::nullopt);
    EXPECT_EQ(MsnText(msnList, "557", 1, true), std::nullopt);
    EXPECT_EQ(MsnText(msnList, "999", 1, false), "999/speech");
    EXPECT_EQ(MsnText(msnList, "557", 0, false), "");
    EXPECT_EQ(MsnText(msnList, "555", 0, true), "Office");
}

TEST_F(TextsTest, CallerTextRules) {
    EXPECT_EQ(CallerText(phoneBook, areaCodes, "0"), "<< unknown >>");
    phoneBook.append(Entry("0", "Withheld friend"));
    EXPECT_EQ(CallerText(phoneBook, areaCodes, "0"), "<< unknown >>");
    // A known caller shows name, two blanks and the number without the area-code slash.
    EXPECT_EQ(CallerText(phoneBook, areaCodes, "0301777"), "Anna  0301777");
    EXPECT_EQ(CallerText(phoneBook, areaCodes, "0301888"), "0301/888");
    // A number no rule matches is shown as it is; only the mark "*" and no number stay empty.
    EXPECT_EQ(CallerText(phoneBook, areaCodes, "0777"), "0777");
    EXPECT_EQ(CallerText(phoneBook, areaCodes, "*"), "");
    EXPECT_EQ(CallerText(phoneBook, areaCodes, ""), "");
    EXPECT_EQ(CallerText(phoneBook, areaCodes, "012"), "012/");
}

TEST_F(TextsTest, ToSpeechForms) {
    EXPECT_EQ(ToSpeech(msnList, "556", "nobody"), "the fax line ");
    EXPECT_EQ(ToSpeech(msnList, "557", "nobody"), " ");
    EXPECT_EQ(ToSpeech(msnList, "", "nobody"), "nobody ");
    // An MSN that is not in the list is read out digit by digit.
    EXPECT_EQ(ToSpeech(msnList, "4711", "nobody"), "4 7 1 1 ");
}

TEST_F(TextsTest, FromSpeechForms) {
    EXPECT_EQ(FromSpeech(phoneBook, areaCodes, "0987", "nobody"), "Uncle Bert ");
    EXPECT_EQ(FromSpeech(phoneBook, areaCodes, "0301777", "nobody"), "Anna ");
    EXPECT_EQ(FromSpeech(phoneBook, areaCodes, "0", "nobody"), "nobody");
    EXPECT_EQ(FromSpeech(phoneBook, areaCodes, "", "nobody"), "nobody");
    EXPECT_EQ(FromSpeech(phoneBook, areaCodes, "0777", "nobody"), "0777");
    // No pause when the number ends with its area code.
    EXPECT_EQ(FromSpeech(phoneBook, areaCodes, "012", "nobody"), "0 1 2 ");
    phoneBook.append(Entry("0", "Withheld friend", "my secret friend"));
    EXPECT_EQ(FromSpeech(phoneBook, areaCodes, "0", "nobody"), "my secret friend ");
}

TEST(SpeechTextTest, CharacterAfterPlaceholderIsConsumed) {
    EXPECT_EQ(SpeechText("Call for %to%, from %from%!", "Office ", "Anna "),
              "Call for Office  from Anna    ");
    EXPECT_EQ(SpeechText("%to%%from%", "A ", "B "), "A from%   ");
    EXPECT_EQ(SpeechText("%to%x%to%y", "A ", "B "), "A A    ");
}

TEST(SpeechTextTest, InsertedTextIsNotSearchedAgain) {
    EXPECT_EQ(SpeechText("%to% end", "%from% ", "X "), "%from% end   ");
    EXPECT_EQ(SpeechText("no placeholders", "A ", "B "), "no placeholders   ");
    EXPECT_EQ(SpeechText("", "A ", "B "), "   ");
}

TEST(BoundedTextsTest, LongNamesAreCut) {
    Directory book;
    book.append(Entry("0123", std::string(5000, 'n')));
    AreaCodeTable none;
    EXPECT_EQ(CallerText(book, none, "0123").size(), MaxComposedText);
    EXPECT_EQ(FromSpeech(book, none, "0123", "x").size(), MaxComposedText);
    EXPECT_EQ(LogLine(std::string(2000, 't'), "c", "m", "1").size(), MaxComposedText);
    EXPECT_EQ(PopupText(std::string(2000, 'c'), "m").size(), MaxComposedText);
}

TEST(BoundedTextsTest, SpeechCutNeverSplitsThePauseTag) {
    // Place a pause tag so that it straddles the limit.
    const std::string tag = SpeechPauseTag;
    const std::string to(MaxComposedText - 4, 'a');
    const std::string spoken = SpeechText("%to% %from%", to + " ", tag + "3 4 ");
    ASSERT_LE(spoken.size(), MaxComposedText);
    EXPECT_EQ(spoken, to + " ");
    const std::string whole = SpeechText("%to% %from%", std::string(100, 'a'), tag + "3 ");
    EXPECT_NE(whole.find(tag), std::string::npos);
}

TEST(FieldTextTest, UnterminatedFieldEndsAtItsSize) {
    char field[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(FieldText(field), "abcd");
    char shorter[4] = {'a', '\0', 'c', 'd'};
    EXPECT_EQ(FieldText(shorter), "a");
}

} // namespace
