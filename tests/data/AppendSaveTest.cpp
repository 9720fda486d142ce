#include "ListFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

const std::string Fixtures = TAVO_FIXTURES_DIR;

ino_t InodeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_ino;
}

CallRecord Call(const std::string& from, int32_t time) {
    CallRecord r;
    r.key = "4711";
    r.value = from;
    r.callTime = time;
    r.cipValue = 16;
    r.repeatCount = 1;
    return r;
}

} // namespace

TEST(AppendSave, AddsOnlyTheNewRecordToTheFileItLoaded) {
    TempDir dir;
    const std::string file = dir.file("caller.his");
    WriteBytes(file, ReadBytes(Fixtures + "/line-ends.his"));
    CallList calls;
    calls.load(file);
    const ino_t before = InodeOf(file);

    calls.append(Call("030\n1234", 0x0A0A0A0A)); // line feeds still get their carriage return
    ASSERT_TRUE(calls.appendSave(file));
    calls.append(Call("0", 2000));
    ASSERT_TRUE(calls.appendSave(file));

    EXPECT_EQ(InodeOf(file), before); // appended in place, not rewritten
    EXPECT_EQ(ReadBytes(file), EncodeListFile(calls));
}

TEST(AppendSave, WritesTheWholeFileWhenItCannotJustAppend) {
    TempDir dir;
    const std::string file = dir.file("caller.his");

    // An old version must not get version-4 records glued to its end.
    WriteBytes(file, ReadBytes(Fixtures + "/version3.his"));
    CallList calls;
    calls.load(file);
    calls.append(Call("1", 1));
    ASSERT_TRUE(calls.appendSave(file));
    EXPECT_EQ(ReadBytes(file), EncodeListFile(calls));

    // Changed by someone else since our save.
    WriteBytes(file, ReadBytes(Fixtures + "/cut-short.his"));
    calls.append(Call("2", 2));
    ASSERT_TRUE(calls.appendSave(file));
    EXPECT_EQ(ReadBytes(file), EncodeListFile(calls));

    // A record removed and two appended: same count as one append, other contents.
    calls.remove(calls.at(0));
    calls.append(Call("3", 3));
    calls.append(Call("4", 4));
    ASSERT_TRUE(calls.appendSave(file));
    EXPECT_EQ(ReadBytes(file), EncodeListFile(calls));

    // Another file name.
    calls.append(Call("5", 5));
    ASSERT_TRUE(calls.appendSave(dir.file("other.his")));
    EXPECT_EQ(ReadBytes(dir.file("other.his")), EncodeListFile(calls));
}

TEST(AppendSave, CutShortFileIsRewrittenWhole) {
    TempDir dir;
    const std::string file = dir.file("caller.his");
    WriteBytes(file, ReadBytes(Fixtures + "/cut-short.his"));
    CallList calls;
    calls.load(file);
    calls.append(Call("1", 1));
    ASSERT_TRUE(calls.appendSave(file));
    EXPECT_EQ(ReadBytes(file), EncodeListFile(calls));
}

TEST(AppendSave, FullDiskLeavesTheFileAsItWas) {
    TempDir dir;
    const std::string file = dir.file("caller.his");
    CallList calls;
    calls.append(Call("1", 1));
    ASSERT_TRUE(calls.save(file));
    const std::string old = ReadBytes(file);
    CallRecord big = Call(std::string(5000, '7'), 2);
    calls.append(big);

    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = calls.appendSave(file);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(ok);
    EXPECT_EQ(ReadBytes(file), old);
    // Once there is room again the next save catches up.
    ASSERT_TRUE(calls.appendSave(file));
    EXPECT_EQ(ReadBytes(file), EncodeListFile(calls));
}
