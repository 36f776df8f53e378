#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/core/ProfileReader.h"

namespace {

std::string WriteProfile(const std::string& name, const std::string& text)
{
    std::string path = (std::filesystem::temp_directory_path() / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

} // namespace

TEST(ProfileReader, SectionAndKeyMatchRegardlessOfCase)
{
    std::string path = WriteProfile("velk-profile-case.ini", "; colours of the status bar\r\n"
                                                             "[Other]\r\nMAGICCOUNT=7\r\n"
                                                             "[shortmagic_color]\r\n"
                                                             "  magiccount = 3 \r\n"
                                                             "MAGICCODE1= 0x0000FF \r\n"
                                                             "MagicCode2=\"0x00FF00\"\r\n");
    CProfileReader reader(path);
    ASSERT_TRUE(reader.IsOpen());
    EXPECT_EQ(reader.GetInt("SHORTMAGIC_COLOR", "MAGICCOUNT", 0), 3);
    EXPECT_EQ(reader.GetString("SHORTMAGIC_COLOR", "MAGICCODE1", "0xFFFFFF"), "0x0000FF");
    EXPECT_EQ(reader.GetString("SHORTMAGIC_COLOR", "MAGICCODE2", "0xFFFFFF"), "0x00FF00");
    EXPECT_EQ(reader.GetString("SHORTMAGIC_COLOR", "MAGICCODE0", "0xFFFFFF"), "0xFFFFFF");
    EXPECT_EQ(reader.GetInt("Other", "magiccount", 0), 7);
    std::filesystem::remove(path);
}

TEST(ProfileReader, MissingFileSectionOrKeyGivesDefaults)
{
    CProfileReader missing("/nonexistent/velk/StataBarInfo.ini");
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(missing.GetInt("SHORTMAGIC_COLOR", "MAGICCOUNT", 0), 0);

    std::string path = WriteProfile("velk-profile-missing.ini", "[A]\nkey=1\nbroken line\n[B\n");
    CProfileReader reader(path);
    EXPECT_EQ(reader.GetInt("A", "key", 5), 1);
    EXPECT_EQ(reader.GetInt("A", "other", 5), 5);
    EXPECT_EQ(reader.GetInt("C", "key", 5), 5);
    EXPECT_EQ(reader.GetInt("B", "key", 5), 5) << "an unclosed section header opens nothing";
    std::filesystem::remove(path);
}

TEST(ProfileReader, IntegersReadLikeThePlatform)
{
    std::string path = WriteProfile("velk-profile-int.ini", "[S]\na=12abc\nb=abc\nc=-4\nd=0x10\n");
    CProfileReader reader(path);
    EXPECT_EQ(reader.GetInt("S", "a", 9), 12);
    EXPECT_EQ(reader.GetInt("S", "b", 9), 0);
    EXPECT_EQ(reader.GetInt("S", "c", 9), -4);
    EXPECT_EQ(reader.GetInt("S", "d", 9), 16);
    EXPECT_EQ(reader.GetString("S", "a", "", 2), "12") << "values are cut to the buffer";
    std::filesystem::remove(path);
}

TEST(ProfileReader, FirstOccurrenceOfAKeyWinsAcrossRepeatedSections)
{
    std::string path =
        WriteProfile("velk-profile-repeat.ini", "orphan=1\n[S]\nk=first\nK=second\n[T]\nlate=t\n"
                                                "[s]\nk=third\nlate=s\n");
    CProfileReader reader(path);
    const struct {
        const char* section;
        const char* key;
        const char* value;
    } cases[] = {
        {"S", "k", "first"}, // a key met twice keeps its first value
        {"S", "late", "s"},  // a section opened again goes on collecting keys
        {"T", "late", "t"},
        {"", "orphan", "-"}, // a key before any section belongs to none
    };
    for (const auto& c : cases)
        EXPECT_EQ(reader.GetString(c.section, c.key, "-"), c.value) << c.section << "/" << c.key;
    std::filesystem::remove(path);
}
