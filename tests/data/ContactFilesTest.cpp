// vCard and CSV address books, and the text conversion of what they hold.
#include "data/ControlBytes.h"
#include "data/CsvContacts.h"
#include "data/CsvText.h"
#include "data/TextCharset.h"
#include "data/VCardContacts.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Names(const ContactNumbers& contacts) {
    std::vector<std::string> names;
    for (const ContactNumber& c : contacts.numbers)
        names.push_back(c.name + "|" + c.number);
    return names;
}

} // namespace

TEST(VCard, FoldedLinesEscapesAndEveryTelOfEveryCard) {
    const std::string text = "BEGIN:VCARD\r\n"
                             "VERSION:3.0\r\n"
                             "FN:Berger\\, Anna\\; \r\n"
                             " \\\\Home\\nOffice\r\n"
                             "N:Ignored;Because FN;;;\r\n"
                             "item1.TEL;TYPE=HOME:+49 30\r\n"
                             "\t1234567\r\n"
                             "TEL;TYPE=CELL:0151 2345678\r\n"
                             "END:VCARD\r\n"
                             "BEGIN:VCARD\n"
                             "VERSION:4.0\n"
                             "N:M\\;ller;J\xC3\xBCrgen;;Dr.;\n"
                             "TEL;VALUE=uri:tel:+44-20-7946-0018;ext=12\n"
                             "END:VCARD\n";
    const ContactNumbers contacts = ParseVCards(text);
    EXPECT_TRUE(contacts.problems.empty());
    EXPECT_EQ(Names(contacts),
              (std::vector<std::string>{"Berger, Anna; \\Home Office|+49 301234567",
                                        "Berger, Anna; \\Home Office|0151 2345678",
                                        "Dr. J\xC3\xBCrgen M;ller|+44-20-7946-0018"}));
    // The line a number is reported on is where its property starts.
    EXPECT_EQ(contacts.numbers[0].line, 6u);
    EXPECT_EQ(contacts.numbers[2].line, 13u);
}

TEST(VCard, QuotedPrintableAndCardsThatCannotBeUsed) {
    const std::string text = "BEGIN:VCARD\n"
                             "VERSION:2.1\n"
                             "FN;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:M=C3=BCller=\n"
                             " Hans\n"
                             "TEL:089 1\n"
                             "END:VCARD\n"
                             "BEGIN:VCARD\n"
                             "TEL:0301\n"
                             "END:VCARD\n"
                             "BEGIN:VCARD\n"
                             "FN:No numbers\n"
                             "END:VCARD\n"
                             "stray line\n"
                             "BEGIN:VCARD\n"
                             "FN:Cut short\n"
                             "TEL:040 2\n";
    const ContactNumbers contacts = ParseVCards(text);
    EXPECT_EQ(Names(contacts),
              (std::vector<std::string>{"M\xC3\xBCller Hans|089 1", "Cut short|040 2"}));
    ASSERT_EQ(contacts.problems.size(), 3u);
    EXPECT_EQ(contacts.problems[0].line, 7u);  // numbers without a name
    EXPECT_EQ(contacts.problems[1].line, 13u); // outside a card
    EXPECT_EQ(contacts.problems[2].line, 14u); // no END:VCARD
    EXPECT_TRUE(LooksLikeVCard("\xEF\xBB\xBF\r\nbegin:vcard\r\n"));
    EXPECT_FALSE(LooksLikeVCard("Name,Phone\nBEGIN:VCARD\n"));
}

TEST(VCard, ALineOverOneMegabyteIsLeftOutWithItsLineAndTheCardsGoOn) {
    // A folded line grows with every continuation: the limit is on the joined line.
    std::string text = "BEGIN:VCARD\nFN:Before\nTEL:089 1\nEND:VCARD\nBEGIN:VCARD\nNOTE:";
    const std::string piece(1000, 'x');
    for (int i = 0; i < 1100; ++i)
        text += piece + "\r\n ";
    text += "end\nFN:After\nTEL:089 2\nEND:VCARD\n";
    const ContactNumbers contacts = ParseVCards(text);
    EXPECT_EQ(Names(contacts), (std::vector<std::string>{"Before|089 1", "After|089 2"}));
    ASSERT_EQ(contacts.problems.size(), 1u);
    EXPECT_EQ(contacts.problems[0].line, 6u);
    EXPECT_EQ(contacts.problems[0].text, "a line longer than 1 MB; it is not read");
    // Just under the limit is read.
    const std::string name(MaxVCardLine - 4, 'n');
    EXPECT_EQ(ParseVCards("BEGIN:VCARD\nFN:" + name + "\nTEL:1\nEND:VCARD\n").numbers.at(0).name,
              name);
}

TEST(VCard, ManyContinuationAndEmptyLinesMakeOneValueEach) {
    // What took quadratic time and ninety times the file's size before: each continuation is
    // joined once, empty lines cost nothing.
    std::string text = "BEGIN:VCARD\nTEL:0\n";
    for (int i = 0; i < 200000; ++i)
        text += " 1\n";
    text += std::string(500000, '\n') + "FN;ENCODING=QUOTED-PRINTABLE:A=\n=\n=C3=BC\nEND:VCARD\n";
    const ContactNumbers contacts = ParseVCards(text);
    ASSERT_EQ(contacts.numbers.size(), 1u);
    EXPECT_EQ(contacts.numbers[0].number, "0" + std::string(200000, '1'));
    EXPECT_EQ(contacts.numbers[0].name, "A\xC3\xBC");
    EXPECT_TRUE(contacts.problems.empty());
}

TEST(AddressBookText, Utf16WithAMarkIsReadCrOnlyLinesEndAndTheRestIsRefused) {
    const auto utf16 = [](std::u16string_view text, bool big) {
        std::string bytes = big ? "\xFE\xFF" : "\xFF\xFE";
        for (char16_t unit : text) {
            const char high = char(unit >> 8), low = char(unit & 0xFF);
            bytes += big ? high : low;
            bytes += big ? low : high;
        }
        return bytes;
    };
    std::string error;
    for (bool big : {false, true}) {
        std::string bytes = utf16(u"BEGIN:VCARD\r\nFN:M\u00FCller \U0001F600\r\n", big);
        ASSERT_TRUE(AddressBookText(bytes, error)) << error;
        EXPECT_EQ(bytes, "BEGIN:VCARD\r\nFN:M\xC3\xBCller \xF0\x9F\x98\x80\r\n");
    }
    std::string mac = "Name,Phone\rAnna,030 1\r";
    ASSERT_TRUE(AddressBookText(mac, error));
    EXPECT_EQ(Names(ParseCsvContacts(mac)), std::vector<std::string>{"Anna|030 1"});
    std::string crlf = "Name,Phone\r\n\"a\rb\",1\r\n";
    ASSERT_TRUE(AddressBookText(crlf, error));
    EXPECT_EQ(crlf, "Name,Phone\r\n\"a\rb\",1\r\n"); // CR LF files keep their CRs

    std::string loneSurrogate = utf16(u"A", false) + std::string("\x00\xD8", 2);
    EXPECT_FALSE(AddressBookText(loneSurrogate, error));
    EXPECT_EQ(error, "broken UTF-16 (little-endian) text");
    std::string oddLength = utf16(u"AB", true) + "C";
    EXPECT_FALSE(AddressBookText(oddLength, error));
    std::string noMark = std::string("N\0a\0m\0e\0", 8);
    EXPECT_FALSE(AddressBookText(noMark, error));
    EXPECT_NE(error.find("UTF-16 without a byte order mark"), std::string::npos);
}

TEST(Csv, Rfc4180QuotingWithBothSeparators) {
    const CsvTable table =
        ParseCsv("a,\"b,\"\"c\"\"\",\"line\r\nbreak\"\r\n\r\n\"\",x,\n", GuessCsvSeparator("a,b"));
    ASSERT_EQ(table.records.size(), 2u);
    EXPECT_EQ(table.records[0].fields, (std::vector<std::string>{"a", "b,\"c\"", "line\r\nbreak"}));
    EXPECT_EQ(table.records[1].fields, (std::vector<std::string>{"", "x", ""}));
    EXPECT_EQ(table.records[1].line, 4u);
    EXPECT_EQ(GuessCsvSeparator("\"a;b\";c,d;e;f\n1,2"), ';');
    EXPECT_EQ(GuessCsvSeparator("\"a,b,c\";d,e\n"), ',');
    // What the writer quotes, the reader gives back.
    const std::string tricky = "say \"hi\",\r\nthen; go";
    const CsvTable round = ParseCsv(CsvField(tricky) + "," + CsvField("plain") + "\n", ',');
    ASSERT_EQ(round.records.size(), 1u);
    EXPECT_EQ(round.records[0].fields, (std::vector<std::string>{tricky, "plain"}));
    EXPECT_EQ(CsvField("plain"), "plain");
    // One byte order mark is taken off; a second one (found by fuzzing) is the field's text.
    EXPECT_EQ(ParseCsv("\xEF\xBB\xBF\xEF\xBB\xBFName,x\n", ',').records.at(0).fields.at(0),
              "\xEF\xBB\xBFName");
}

TEST(Csv, ContactsFromHeaderColumns) {
    // Semicolons, a quoted name with the separator and a line break, several number columns,
    // a type column that is not a number, and one field holding two numbers.
    const std::string text = "Vorname;Nachname;Telefon privat;Phone 1 - Type;Mobil\r\n"
                             "\"Anna; Maria\";Berger;030 1234567;Home;0151 1 ::: 0151 2\r\n"
                             "\"Zwei\nZeilen\";;;;040 9\r\n"
                             ";;0201 5;;\r\n"
                             "Nur;Name;;;\r\n";
    const ContactNumbers contacts = ParseCsvContacts(text);
    EXPECT_EQ(Names(contacts), (std::vector<std::string>{
                                   "Anna; Maria Berger|030 1234567", "Anna; Maria Berger|0151 1",
                                   "Anna; Maria Berger|0151 2", "Zwei Zeilen|040 9"}));
    EXPECT_EQ(contacts.numbers[3].line, 3u);
    ASSERT_EQ(contacts.problems.size(), 1u);
    EXPECT_EQ(contacts.problems[0].line, 5u); // a number without a name, after the two-line record

    // A full-name column wins over name parts and an e-mail display name.
    const CsvColumns columns = FindCsvColumns(
        {"First Name", "E-mail Display Name", "Display Name", "Business Phone", "Notes"});
    EXPECT_EQ(columns.name, 2);
    EXPECT_EQ(columns.numbers, std::vector<int>{3});
}

TEST(Csv, HeadersWithoutColumnsAndOpenQuotesAreReported) {
    EXPECT_EQ(ParseCsvContacts("Name,Email\nA,a@b\n").problems.at(0).text,
              "the header names no number column");
    EXPECT_EQ(ParseCsvContacts("Email,Phone\na@b,030\n").problems.at(0).text,
              "the header names no name column");
    const ContactNumbers open = ParseCsvContacts("Name,Phone\nA,030 1\n\"B,030 2\nC,030 3\n");
    EXPECT_EQ(Names(open), std::vector<std::string>{"A|030 1"});
    ASSERT_EQ(open.problems.size(), 1u);
    EXPECT_EQ(open.problems[0].line, 3u);
}

TEST(Csv, CellsASpreadsheetWouldRunGetALeadingQuote) {
    for (const char* formula :
         {"=HYPERLINK(\"http://x\",\"y\")", "+4930123", "-1+2", "@SUM(A1)", "\tx", "\rx"})
        EXPECT_EQ(SpreadsheetSafeText(formula), std::string("'") + formula) << formula;
    for (const char* plain : {"", "Anna", "0301234", "'quoted", " =not first", "a=b"})
        EXPECT_EQ(SpreadsheetSafeText(plain), plain) << plain;
    // Quoting as RFC 4180 wants it still applies to the neutralised text.
    EXPECT_EQ(CsvTextField("=A1,\"B\""), "\"'=A1,\"\"B\"\"\"");
    EXPECT_EQ(CsvTextField("\rx"), "\"'\rx\"");
}

TEST(ControlBytes, EveryByteBelowBlankAndDelIsReplacedOthersKept) {
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += char(c);
    const std::string shown = ReplaceControlBytes(all);
    ASSERT_EQ(shown.size(), 256u);
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(shown[size_t(c)], c < 0x20 || c == 0x7F ? '?' : char(c)) << c;
}

TEST(TextCharset, Utf8BecomesWindows1252AndBack) {
    // The euro sign is 0x80 in Windows-1252; a character it cannot hold becomes '?' and is named.
    std::u32string replaced;
    EXPECT_EQ(ToStoredText("\xC5\x81ukasz M\xC3\xBC"
                           "ller \xE2\x82\xAC",
                           &replaced),
              "?ukasz M\xFCller \x80");
    EXPECT_EQ(replaced, U"\u0141");
    // Bytes that are not UTF-8 are already 8-bit text.
    EXPECT_EQ(ToStoredText("M\xFCller"), "M\xFCller");
    EXPECT_FALSE(IsUtf8("\xC0\xAF"));     // overlong
    EXPECT_FALSE(IsUtf8("\xED\xA0\x80")); // surrogate
    EXPECT_EQ(StoredTextToUtf8("M\xFCller \x80"), "M\xC3\xBCller \xE2\x82\xAC");
}
