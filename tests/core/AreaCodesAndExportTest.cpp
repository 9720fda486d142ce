// Area-code tables from the geocoding data, and the history written out.
#include "core/ExportCommand.h"
#include "core/GeocodedAreaCodes.h"
#include "core/HistoryExport.h"
#include "core/ResolvedCallCache.h"
#include "data/CsvText.h"
#include "data/ListFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string Codes(std::vector<AreaCodeEntry> entries) {
    OrderForFirstMatch(entries);
    std::string codes;
    for (const AreaCodeEntry& e : entries)
        codes += e.areaCode + " ";
    return codes;
}

std::string ReadAll(std::FILE* file) {
    std::rewind(file);
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, got);
    return text;
}

CallRecord Call(int32_t time, const std::string& msn, const std::string& caller, int cip = 16) {
    CallRecord record;
    record.callTime = time;
    record.hasTime = true;
    record.key = msn;
    record.value = caller;
    record.cipValue = cip;
    record.repeatCount = 1;
    return record;
}

std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A data directory with a history of two calls, and where to export it.
class ExportCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tavo-export-XXXXXX").string();
        dir = mkdtemp(pattern.data());
        fs::create_directories(dir / "data");
        CallList calls;
        calls.append(Call(1000, "5551", "0301234567"));
        calls.append(Call(2000, "5551", "040999"));
        ASSERT_TRUE(SaveListFile(calls, (dir / "data/caller.his").string()));
        options.command = TavoCommand::Export;
    }
    void TearDown() override { fs::remove_all(dir); }

    int Export(const std::string& file, std::FILE* out = stdout) {
        options.exportFile = file;
        std::FILE* err = std::tmpfile();
        const int code = RunExport(options, (dir / "data").string(), out, err);
        messages = ReadAll(err);
        std::fclose(err);
        return code;
    }

    fs::path dir;
    CommandLine options;
    std::string messages;
};

} // namespace

TEST_F(ExportCommandTest, APlantedPartFileIsNeverWrittenThroughANamedLinkIsDeliberately) {
    // Someone plants what the export once wrote through: the file beside the target.
    std::ofstream(dir / "victim") << "precious";
    fs::create_symlink(dir / "victim", dir / "out.csv.part");
    ASSERT_EQ(Export((dir / "out.csv").string()), 0) << messages;
    EXPECT_EQ(FileText(dir / "victim"), "precious");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "out.csv")));
    const std::string exported = FileText(dir / "out.csv");
    EXPECT_EQ(exported.rfind("time,called,", 0), 0u);
    EXPECT_EQ(std::count(exported.begin(), exported.end(), '\n'), 3);

    // A link the user names is written through: its target is replaced, the link stays.
    fs::create_directories(dir / "real");
    std::ofstream(dir / "real/target.csv") << "old";
    fs::create_symlink(dir / "real/target.csv", dir / "link.csv");
    ASSERT_EQ(Export((dir / "link.csv").string()), 0) << messages;
    EXPECT_TRUE(fs::is_symlink(dir / "link.csv"));
    EXPECT_EQ(FileText(dir / "real/target.csv"), FileText(dir / "out.csv"));

    // A link to nothing is refused, and left as it is.
    fs::create_symlink(dir / "nowhere.csv", dir / "dangling.csv");
    EXPECT_EQ(Export((dir / "dangling.csv").string()), 1);
    EXPECT_NE(messages.find("symbolic link"), std::string::npos) << messages;
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.csv"));
    EXPECT_FALSE(fs::exists(dir / "nowhere.csv"));
    // Nothing but what was named was left in the directories.
    size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        files += entry.path().filename().string().find(".tmp") != std::string::npos;
    EXPECT_EQ(files, 0u);
}

TEST_F(ExportCommandTest, AFailedWriteToStandardOutputIsToldAndExitsOne) {
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(Export("-", full), 1);
    EXPECT_NE(messages.find("cannot write to standard output"), std::string::npos) << messages;
    std::fclose(full);

    // A reader that has gone: the command ignores SIGPIPE, as RunExportCommand does.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    std::FILE* pipe = ::fdopen(ends[1], "w");
    EXPECT_EQ(Export("-", pipe), 1);
    EXPECT_NE(messages.find("Broken pipe"), std::string::npos) << messages;
    std::fclose(pipe);
    std::signal(SIGPIPE, previous);

    std::FILE* good = std::tmpfile();
    EXPECT_EQ(Export("-", good), 0) << messages;
    EXPECT_EQ(ReadAll(good).rfind("time,called,", 0), 0u);
    std::fclose(good);
}

TEST(HistoryExport, CsvCellsASpreadsheetWouldRunAreNeutralisedJsonKeepsThem) {
    CallList calls;
    Directory msnList, phoneBook;
    DirectoryEntry msn;
    msn.key = "5551";
    msn.value = "+Office";
    msnList.append(msn);
    DirectoryEntry planted;
    planted.key = "0301234567";
    planted.value = "=HYPERLINK(\"http://x\",\"Anna\")";
    phoneBook.append(planted);
    calls.append(Call(1000, "5551", "0301234567"));
    AreaCodeTable areaCodes;
    std::FILE* csv = std::tmpfile();
    ASSERT_EQ(ExportHistory(calls, msnList, phoneBook, areaCodes, {}, ExportFormat::Csv, csv), 1);
    const CsvTable table = ParseCsv(ReadAll(csv), ',');
    std::fclose(csv);
    ASSERT_EQ(table.records.size(), 2u);
    EXPECT_EQ(table.records[1].fields[2], "'+Office");
    EXPECT_EQ(table.records[1].fields[4], "0301234567");
    EXPECT_EQ(table.records[1].fields[5], "'=HYPERLINK(\"http://x\",\"Anna\")");
    std::FILE* json = std::tmpfile();
    ASSERT_EQ(ExportHistory(calls, msnList, phoneBook, areaCodes, {}, ExportFormat::Json, json), 1);
    EXPECT_NE(ReadAll(json).find("\"msn\":\"+Office\""), std::string::npos);
    std::fclose(json);
}

TEST(AreaCodes, LongerCodesComeBeforeTheCodesTheyBeginWith) {
    EXPECT_EQ(Codes({{"030", ""}, {"0301", ""}, {"031", ""}, {"03", ""}, {"0302", ""}}),
              "0301 0302 030 031 03 ");
}

TEST(AreaCodes, GermanTableFromTheGeocodingData) {
    const GeocodedTable table = GeocodedAreaCodes("de", "de");
    ASSERT_EQ(table.error, "");
    ASSERT_GT(table.entries.size(), 1000u);
    AreaCodeTable loaded;
    loaded.AddAreaCodes(AreaCodeFileText(table.entries));
    ASSERT_EQ(loaded.size(), table.entries.size());
    // The first match is the longest code: Berlin's 030 and Munich's 089 in national form.
    ASSERT_NE(loaded.FindAreaCode("0301234567"), nullptr);
    EXPECT_EQ(loaded.FindAreaCode("0301234567")->placeName, "Berlin");
    EXPECT_EQ(loaded.FindAreaCode("0891112233")->placeName, "M\xFCnchen"); // 8-bit text
    for (size_t i = 0; i < table.entries.size(); i += 7) {
        const AreaCodeEntry& entry = table.entries[i];
        ASSERT_EQ(entry.areaCode[0], '0') << entry.areaCode;
        ASSERT_EQ(loaded.FindAreaCode(entry.areaCode + "9999")->areaCode.size() >=
                      entry.areaCode.size(),
                  true)
            << entry.areaCode; // no shorter code shadows a longer one
    }
    EXPECT_NE(GeocodedAreaCodes("XX", "en").error, "");
}

TEST(HistoryExport, CsvAndJsonLinesWithNamesWithinTheDates) {
    CallList calls;
    Directory msnList, phoneBook;
    DirectoryEntry office;
    office.key = "5551";
    office.value = "Office";
    msnList.append(office);
    DirectoryEntry anna;
    anna.key = "0301234567";
    anna.value = "Anna \"A\", M\xFCller";
    phoneBook.append(anna);
    AreaCodeTable areaCodes;
    areaCodes.AddAreaCodes("030\tBerlin\n");
    const ExportRange range = ExportRangeOf(std::string("2000-02-07"), std::string("2000-02-07"));
    ASSERT_TRUE(range.from && range.to);
    calls.append(Call(int32_t(*range.from - 1), "5551", "0301234567"));
    calls.append(Call(int32_t(*range.from), "5551", "0301234567", 1));
    calls.append(Call(int32_t(*range.to - 1), "7777", "0"));
    calls.append(Call(int32_t(*range.to), "5551", "0301234567"));
    CallRecord old; // from an old file: no time at all
    old.value = "0401";
    calls.append(old);

    std::FILE* csv = std::tmpfile();
    EXPECT_EQ(ExportHistory(calls, msnList, phoneBook, areaCodes, range, ExportFormat::Csv, csv),
              2);
    const std::string text = ReadAll(csv);
    const CsvTable table = ParseCsv(text, ',');
    ASSERT_EQ(table.records.size(), 3u);
    EXPECT_EQ(table.records[1].fields,
              (std::vector<std::string>{FormatCallTime(*range.from), "5551", "Office", "speech",
                                        "0301234567", "Anna \"A\", M\xC3\xBCller", "Berlin", "1"}));
    EXPECT_EQ(table.records[2].fields[4], "0");
    EXPECT_EQ(text.substr(0, text.find('\n') + 1),
              "time,called,msn,service,calling,name,place,repeats\r\n");
    std::fclose(csv);

    std::FILE* json = std::tmpfile();
    EXPECT_EQ(ExportHistory(calls, msnList, phoneBook, areaCodes, ExportRange{}, ExportFormat::Json,
                            json),
              5);
    const std::string lines = ReadAll(json);
    EXPECT_NE(lines.find("\"name\":\"Anna \\\"A\\\", M\xC3\xBCller\""), std::string::npos);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 5);
    std::fclose(json);
}

TEST(HistoryExport, ALargeHistoryResolvesAsEachCallAlone) {
    CallList calls;
    Directory msnList, phoneBook;
    AreaCodeTable areaCodes;
    areaCodes.AddAreaCodes("0301\tBerlin-Mitte\n030\tBerlin\n040\tHamburg\n");
    for (int i = 0; i < 300; ++i) {
        DirectoryEntry entry;
        entry.key = "030" + std::to_string(1000 + i);
        entry.value = "Name " + std::to_string(i);
        phoneBook.append(entry);
    }
    for (int i = 0; i < 100000; ++i)
        calls.append(
            Call(1000 + i, "5551", (i % 3 ? "030" : "040") + std::to_string(1000 + i % 997)));
    ResolvedCallCache cache(msnList, phoneBook, areaCodes);
    int checked = 0;
    for (const CallRecord& call : calls) {
        const ResolvedCall& fast = cache.Resolve(call);
        if (checked++ % 997 != 0)
            continue;
        const ResolvedCall slow = ResolveCall(call, msnList, phoneBook, areaCodes);
        ASSERT_EQ(fast.callerName, slow.callerName);
        ASSERT_EQ(fast.placeName, slow.placeName);
        ASSERT_EQ(fast.areaCodeLength, slow.areaCodeLength);
    }
    std::FILE* out = std::tmpfile();
    EXPECT_EQ(ExportHistory(calls, msnList, phoneBook, areaCodes, {}, ExportFormat::Csv, out),
              100000);
    std::fclose(out);
}
