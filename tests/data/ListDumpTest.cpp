#include "data/ListDump.h"
#include "TempDir.h"
#include "data/ListFile.h"

#include <gtest/gtest.h>

namespace {

const std::string Fixtures = TAVO_FIXTURES_DIR;

struct DumpRun {
    int code;
    std::string out;
    std::string err;
};

DumpRun Dump(const std::string& path) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    DumpRun run{DumpListFile(path, out, err), {}, {}};
    for (auto [file, text] : {std::pair{out, &run.out}, std::pair{err, &run.err}}) {
        std::rewind(file);
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            text->append(buffer, n);
        std::fclose(file);
    }
    return run;
}

} // namespace

TEST(ListDump, ColumnsInOrderWithAbsentTextsAsBackslashN) {
    CallRecord r;
    r.key = "555";
    r.value = "";
    r.reserved = -3;
    r.callTime = 947941407;
    r.cipValue = 16;
    r.hasTime = true;
    EXPECT_EQ(FormatDumpLine(r), "555\t\t-3\t\\N\t947941407\t16\t2000-01-15 13:03:27\n");
}

TEST(ListDump, SpecialCharactersAreEscaped) {
    CallRecord r;
    r.key = "a\\b\tc\rd\ne";
    r.value = "\\N";
    EXPECT_EQ(FormatDumpLine(r), "a\\\\b\\tc\\rd\\ne\t\\\\N\t0\t\\N\t0\t0\t\\N\n");
}

TEST(ListDump, PrintsEachRecordOfAFile) {
    DumpRun run = Dump(Fixtures + "/phonebook-example.dat");
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out.substr(0, run.out.rfind('\t')), "123\tOffice\t0\t\t0\t0");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Dump(Fixtures + "/version1.dat").out, "0301234\tAnna\t7\t\\N\t0\t0\t\\N\n"
                                                    "0409999\t\\N\t0\t\\N\t0\t0\t\\N\n");
}

TEST(ListDump, FutureVersionPrintsNothing) {
    DumpRun run = Dump(Fixtures + "/version5.his");
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, "");
}

TEST(ListDump, UnreadablePathsExitWithTwoAndCreateNothing) {
    TempDir dir;
    DumpRun missing = Dump(dir.file("caller.his"));
    EXPECT_EQ(missing.code, 2);
    EXPECT_NE(missing.err.find("caller.his"), std::string::npos);
    EXPECT_EQ(missing.out, "");
    EXPECT_FALSE(Exists(dir.file("caller.his")));

    DumpRun directory = Dump(dir.path());
    EXPECT_EQ(directory.code, 2);
    EXPECT_NE(directory.err.find("directory"), std::string::npos);
}
