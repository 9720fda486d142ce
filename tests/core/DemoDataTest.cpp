#include "core/DemoData.h"
#include "data/AreaCodeTable.h"
#include "data/CallList.h"
#include "data/ListFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(DemoData, TextLinesBecomeEntriesWithAllThreeTexts) {
    Directory directory;
    ASSERT_EQ(ParseDirectoryText("# comment\n\n0301\tAnna\tAnni\r\n5551\tOffice\n", directory), "");
    ASSERT_EQ(directory.size(), 2u);
    const DirectoryEntry* anna = directory.findByKey("0301");
    ASSERT_NE(anna, nullptr);
    EXPECT_EQ(anna->value, "Anna");
    EXPECT_EQ(anna->speakText, "Anni");
    const DirectoryEntry* office = directory.findByKey("5551");
    ASSERT_NE(office, nullptr);
    ASSERT_TRUE(office->speakText.has_value()); // present and empty, as the editor stores it
    EXPECT_EQ(*office->speakText, "");
}

TEST(DemoData, ALineWithoutATabNamesItsNumber) {
    Directory directory;
    std::string error = ParseDirectoryText("0301\tAnna\nbroken line\n", directory);
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
}

TEST(DemoData, SeededFilesLoadAsTheMonitorLoadsThem) {
    std::string pattern = (fs::temp_directory_path() / "tavo-demo-XXXXXX").string();
    fs::path dir = mkdtemp(pattern.data());
    ASSERT_EQ(
        SeedDemoData(dir.string(), "0301\tAnna\n", "5551\tOffice\tthe office\n", "030\tBerlin\n"),
        "");
    Directory phoneBook, msnList;
    LoadListFile(phoneBook, (dir / "names.dat").string());
    LoadListFile(msnList, (dir / "msn.dat").string());
    AreaCodeTable areaCodes;
    areaCodes.LoadAreaCodes((dir / "areacode.lst").string());
    ASSERT_EQ(phoneBook.size(), 1u);
    EXPECT_EQ(phoneBook.findByKey("0301")->value, "Anna");
    EXPECT_EQ(msnList.findByKey("5551")->speakText, "the office");
    ASSERT_NE(areaCodes.FindAreaCode("0301"), nullptr);
    EXPECT_EQ(areaCodes.FindAreaCode("0301")->placeName, "Berlin");
    fs::remove_all(dir);
}

TEST(DemoData, BuiltInSourcesAreWellFormed) {
    Directory phoneBook, msnList;
    EXPECT_EQ(ParseDirectoryText(DemoPhoneBookText, phoneBook), "");
    EXPECT_EQ(ParseDirectoryText(DemoMsnListText, msnList), "");
    EXPECT_GE(phoneBook.size(), 2u);
    EXPECT_GE(msnList.size(), 2u);
    // The area-code table ignores a last line without a line feed.
    std::string areaCodes = DemoAreaCodeText;
    ASSERT_FALSE(areaCodes.empty());
    EXPECT_EQ(areaCodes.back(), '\n');
}

TEST(DemoData, SeedsTheGermanTableOfTheGeocodingData) {
    std::string pattern = (fs::temp_directory_path() / "tavo-demo-XXXXXX").string();
    fs::path dir = mkdtemp(pattern.data());
    ASSERT_EQ(SeedDemoData(dir.string(), "0301\tAnna\n", "5551\tOffice\n"), "");
    AreaCodeTable areaCodes;
    areaCodes.LoadAreaCodes((dir / "areacode.lst").string());
    EXPECT_GT(areaCodes.size(), 1000u);
    ASSERT_NE(areaCodes.FindAreaCode("040555666"), nullptr);
    EXPECT_EQ(areaCodes.FindAreaCode("040555666")->placeName, "Hamburg");
    fs::remove_all(dir);
}
