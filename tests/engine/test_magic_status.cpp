#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/CMagicStatusTable.h"
#include "platform/core/VelkFile.h"
#include "tests/engine/EngineTestSupport.h"

namespace {

using Entries = CMagicStatusTable::Entries;

std::string Entry(std::int32_t key, std::int32_t state)
{
    return RawBytes(key) + RawBytes(state);
}

TEST(MagicStatusTableTest, ParsingTakesWholeEntriesAndTheFirstStateOfAKey)
{
    const std::vector<std::pair<std::string, Entries>> cases{
        {"", {}},
        {std::string(7, '\x01'), {}},
        {Entry(5, 1) + Entry(2, 0) + "abcd", {{2, 0}, {5, 1}}},
        {Entry(3, 7) + Entry(3, 9) + Entry(1, 1), {{1, 1}, {3, 7}}},
        {std::string("\x04\x03\x02\x01\xfe\xff\xff\xff", 8), {{0x01020304, -2}}},
    };
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(CMagicStatusTable::Parse(bytes), expected) << bytes.size() << " bytes";
}

TEST(MagicStatusTableTest, SavingReplacesTheFileWithEveryEntryInAscendingKeyOrder)
{
    CTempDir dir;
    const std::string path = dir.File("MagicStatus.cfg");
    ASSERT_TRUE(VelkReplaceFile(path, Entry(9, 1) + Entry(-4, 0) + Entry(9, 0) + "tail"));
    CMagicStatusTable table;
    ASSERT_TRUE(table.Load(path));
    EXPECT_TRUE(table.Update(-4, 1));
    EXPECT_FALSE(table.Update(100, 1)) << "a key the table lacks is not added";
    ASSERT_TRUE(table.Save(path));
    std::string bytes;
    ASSERT_TRUE(VelkReadFile(path, bytes));
    EXPECT_EQ(bytes, Entry(-4, 1) + Entry(9, 1));

    EXPECT_FALSE(table.Load(dir.File("absent.cfg")));
    EXPECT_FALSE(table.Load(dir.Path())) << "a directory is no table";
    EXPECT_EQ(table.GetEntries(), (Entries{{-4, 1}, {9, 1}}))
        << "an unreadable file changes nothing";
    EXPECT_FALSE(table.Save(dir.File("SYS/MagicStatus.cfg")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("SYS"))) << "the host's directory is not created";
}

} // namespace
