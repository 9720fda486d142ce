// Numbers normalised for the line, the user's country, and the import's preview and writing.
#include "core/ImportCommand.h"
#include "core/ImportPreview.h"
#include "core/PhoneNumbers.h"
#include "core/UserCountry.h"
#include "data/ListFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string Line(const std::string& written, const std::string& country) {
    const LineNumber number = NumberAsLineDelivers(written, country);
    return number.number.empty() ? "error: " + number.error : number.number;
}

struct ScratchDir {
    fs::path path;
    ScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "tavo-import-XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~ScratchDir() { fs::remove_all(path); }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path / name, std::ios::binary) << bytes;
        return (path / name).string();
    }
};

DirectoryEntry Entry(const std::string& number, const std::string& name) {
    DirectoryEntry entry;
    entry.key = number;
    entry.value = name;
    entry.speakText = std::string();
    return entry;
}

} // namespace

TEST(PhoneNumbers, EveryWrittenFormReachesTheLinesForm) {
    // At home: national form with the trunk prefix, whatever way it was written.
    for (const char* written : {"+49 30 1234567", "+49 (0)30 1234567", "0049 30/123 45 67",
                                "030 1234567", "(030) 123-4567", "+49-30-1234567"})
        EXPECT_EQ(Line(written, "DE"), "0301234567") << written;
    // Abroad: the own country's international prefix, then the country code.
    EXPECT_EQ(Line("+44 20 7946 0018", "DE"), "00442079460018");
    EXPECT_EQ(Line("+44 20 7946 0018", "gb"), "02079460018");
    EXPECT_EQ(Line("+49 30 1234567", "US"), "01149301234567");
    // Italian numbers keep their leading zero; Italy has no trunk prefix.
    EXPECT_EQ(Line("+39 06 1234 5678", "IT"), "0612345678");
    EXPECT_EQ(Line("+39 06 1234 5678", "DE"), "00390612345678");
    // What cannot be a full number is refused, not guessed at.
    EXPECT_EQ(Line("12", "DE"), "error: not a complete phone number");
    EXPECT_EQ(Line("call me", "DE"), "error: not a phone number");
    EXPECT_TRUE(IsKnownCountry("de"));
    EXPECT_FALSE(IsKnownCountry("XX"));
    EXPECT_FALSE(IsKnownCountry("DEU"));
}

TEST(UserCountry, OptionThenConfigurationThenLocale) {
    EXPECT_EQ(CountryOfLocale("de_AT.UTF-8@euro"), "AT");
    EXPECT_EQ(CountryOfLocale("C.UTF-8"), "");
    EXPECT_EQ(CountryOfLocale("en"), "");

    ScratchDir home;
    setenv("XDG_CONFIG_HOME", home.path.c_str(), 1);
    std::map<std::string, std::string> env{{"LANG", "de_DE.UTF-8"}, {"LC_MESSAGES", "fr_FR"}};
    const EnvironmentLookup lookup = [&](const char* name) -> std::optional<std::string> {
        auto found = env.find(name);
        return found == env.end() ? std::nullopt : std::optional(found->second);
    };
    EXPECT_EQ(ChooseCountry(std::nullopt, lookup).country, "FR");
    EXPECT_EQ(ChooseCountry(std::string("gb"), lookup).country, "GB");
    EXPECT_NE(ChooseCountry(std::string("XX"), lookup).error, "");
    fs::create_directories(home.path / "TAVO");
    home.Write("TAVO/tavo.conf",
               "country=FR\n[Names]\n # c\n Country = at \n[other]\ncountry=IT\n");
    const CountryChoice fromConf = ChooseCountry(std::nullopt, lookup);
    EXPECT_EQ(fromConf.country, "AT");
    EXPECT_NE(fromConf.from.find("tavo.conf"), std::string::npos);
    fs::remove(home.path / "TAVO/tavo.conf");
    env = {{"LC_ALL", "C"}, {"LANG", "de_DE"}};
    EXPECT_EQ(ChooseCountry(std::nullopt, lookup).country, ""); // LC_ALL=C decides: no territory
    unsetenv("XDG_CONFIG_HOME");
}

TEST(ImportPreview, CountsAddedKeptDuplicatesAndUnreadable) {
    Directory phoneBook;
    phoneBook.append(Entry("0301234567", "Anna (mine)"));
    ContactFile vcf{"a.vcf", {}, ""};
    vcf.contacts.numbers = {{"Anna B", "+49 30 1234567", 4},
                            {"Bernd", "+49 40 555666", 5},
                            {"Bernd again", "040 555666", 9},
                            {"J\xC3\xBCrgen", "+44 20 7946 0018", 12},
                            {"Nobody", "12", 14}};
    vcf.contacts.problems = {{20, "a card without END:VCARD"}};
    ContactFile missing{"gone.csv", {}, "gone.csv: No such file or directory"};
    const ImportPreview preview =
        BuildImportPreview({vcf, missing}, phoneBook, [](const std::string& written) {
            return NumberAsLineDelivers(written, "DE");
        });
    ASSERT_EQ(preview.added.size(), 2u);
    EXPECT_EQ(preview.added[0].number, "040555666");
    EXPECT_EQ(preview.added[1].number, "00442079460018");
    EXPECT_EQ(preview.added[1].name, "J\xFCrgen"); // stored as 8-bit text
    ASSERT_EQ(preview.alreadyThere.size(), 1u);
    EXPECT_EQ(preview.alreadyThere[0].storedName, "Anna (mine)");
    ASSERT_EQ(preview.duplicates.size(), 1u);
    EXPECT_EQ(preview.duplicates[0].entry.where, "a.vcf:9");
    EXPECT_EQ(preview.duplicates[0].firstName, "Bernd");
    ASSERT_EQ(preview.unreadable.size(), 3u);
    EXPECT_EQ(preview.unreadable[0], "a.vcf:20: a card without END:VCARD");
    EXPECT_EQ(preview.unreadable[1], "a.vcf:14: not a complete phone number: 12");
    EXPECT_EQ(preview.unreadable[2], "gone.csv: No such file or directory");
    const std::string text = ImportPreviewText(preview);
    EXPECT_EQ(text.substr(0, text.find('\n')),
              "2 to add, 1 already there, 1 duplicate, 3 unreadable");
    EXPECT_NE(text.find("J\xC3\xBCrgen"), std::string::npos); // shown as UTF-8

    // Applying twice never doubles an entry, and the one already there keeps its name.
    ApplyImport(preview, phoneBook);
    ApplyImport(preview, phoneBook);
    EXPECT_EQ(phoneBook.size(), 3u);
    EXPECT_EQ(phoneBook.findByKey("0301234567")->value, "Anna (mine)");
}

TEST(ImportPreview, TextsFromTheFilesReachTheTerminalWithoutControlBytes) {
    Directory phoneBook;
    phoneBook.append(Entry("040555666", "Kept\x1b]0;title\x07"));
    ContactFile vcf{"a.vcf", {}, ""};
    vcf.contacts.numbers = {{"Anna\x1b[2J\xC5\x81", "+49 30 1234567", 4},
                            {"Bernd", "+49 40 555666", 5},
                            {"Carl", "12\x1b[31m", 6}};
    const ImportPreview preview =
        BuildImportPreview({vcf}, phoneBook, [](const std::string& written) {
            return NumberAsLineDelivers(written, "DE");
        });
    ASSERT_EQ(preview.added.size(), 1u);
    EXPECT_EQ(preview.added[0].name, "Anna\x1b[2J?"); // stored as it came, but for the charset
    const std::string text = ImportPreviewText(preview);
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
    EXPECT_EQ(text.find('\x07'), std::string::npos);
    EXPECT_NE(text.find("Anna?[2J?"), std::string::npos);
    EXPECT_NE(text.find("Kept?]0;title?"), std::string::npos);
    EXPECT_NE(text.find("12?[31m"), std::string::npos);
}

TEST(ImportPreview, ProgressIsToldAndCanStopTheWork) {
    Directory phoneBook;
    ContactFile csv{"b.csv", {}, ""};
    for (int i = 0; i < 1000; ++i)
        csv.contacts.numbers.push_back({"N", "030 " + std::to_string(1000000 + i), size_t(i + 2)});
    const NumberNormaliser normalise = [](const std::string& written) {
        return NumberAsLineDelivers(written, "DE");
    };
    std::vector<size_t> told;
    const ImportPreview whole =
        BuildImportPreview({csv}, phoneBook, normalise, [&](size_t done, size_t total) {
            EXPECT_EQ(total, 1000u);
            told.push_back(done);
            return true;
        });
    EXPECT_FALSE(whole.cancelled);
    EXPECT_EQ(whole.added.size(), 1000u);
    EXPECT_EQ(told, (std::vector<size_t>{0, 256, 512, 768, 1000}));
    const ImportPreview stopped = BuildImportPreview(
        {csv}, phoneBook, normalise, [](size_t done, size_t) { return done < 300; });
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_EQ(stopped.added.size(), 512u);
}

TEST(ImportCommand, Utf16AndCrOnlyBooksAreReadOthersRefusedWithAReason) {
    ScratchDir dir;
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("BEGIN:VCARD\r\nFN:Anna\r\nTEL:+49 30 1234567\r\nEND:VCARD\r\n")) {
        utf16 += c;
        utf16 += '\0';
    }
    const std::string vcf = dir.Write("book.vcf", utf16);
    const std::string mac = dir.Write("mac.csv", "Name,Phone\rBernd,040 555666\r");
    const std::string noMark = dir.Write("nomark.csv", utf16.substr(2));
    std::vector<ContactFile> files{ReadContactFile(vcf), ReadContactFile(mac),
                                   ReadContactFile(noMark)};
    const ImportPreview preview =
        BuildImportPreview(files, Directory(), [](const std::string& written) {
            return NumberAsLineDelivers(written, "DE");
        });
    ASSERT_EQ(preview.added.size(), 2u);
    EXPECT_EQ(preview.added[0].name, "Anna");
    EXPECT_EQ(preview.added[1].where, mac + ":2");
    ASSERT_EQ(preview.unreadable.size(), 1u);
    EXPECT_EQ(preview.unreadable[0].rfind(noMark + ": holds zero bytes", 0), 0u)
        << preview.unreadable[0];
}

TEST(ImportCommand, WritesOnlyAfterConsent) {
    ScratchDir dir;
    const std::string vcf =
        dir.Write("book.vcf", "BEGIN:VCARD\r\nFN:Anna\r\nTEL:+49 30 1234567\r\nEND:VCARD\r\n");
    const std::string csv = dir.Write("book.csv", "Name;Phone\r\nBernd;040 555666\r\n");
    const std::string data = (dir.path / "data").string();
    fs::create_directories(data);
    CommandLine options;
    options.command = TavoCommand::Import;
    options.country = "DE";
    options.importFiles = {vcf, csv};
    std::FILE* no = std::tmpfile();
    std::fputs("n\n", no);
    std::rewind(no);
    std::FILE* sink = std::tmpfile();
    // Declined on the terminal, and not confirmed without one: nothing is written.
    EXPECT_EQ(RunImport(options, data, no, true, sink, sink), 1);
    EXPECT_EQ(RunImport(options, data, no, false, sink, sink), 1);
    EXPECT_FALSE(fs::exists(data + "/names.dat"));
    options.yes = true;
    EXPECT_EQ(RunImport(options, data, no, false, sink, sink), 0);
    Directory saved;
    ASSERT_TRUE(LoadListFile(saved, data + "/names.dat").Clean());
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved.findByKey("0301234567")->value, "Anna");
    EXPECT_EQ(saved.findByKey("040555666")->value, "Bernd");
    // A phone book that cannot be read to its end is never saved over.
    std::string bytes;
    {
        std::ifstream in(data + "/names.dat", std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    dir.Write("data/names.dat", bytes.substr(0, bytes.size() - 3));
    EXPECT_EQ(RunImport(options, data, no, false, sink, sink), 1);
    EXPECT_EQ(fs::file_size(data + "/names.dat"), bytes.size() - 3);
    std::fclose(no);
    std::fclose(sink);
}
