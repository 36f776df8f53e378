#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "CMagicStatusTable.h"
#include "EngineTestSupport.h"
#include "VelkFile.h"

namespace {

using Entries = CMagicStatusTable::Entries;

std::string Entry(std::int32_t key, std::int32_t state)
{
    return RawBytes(key) + RawBytes(state);
}

TEST(MagicStatusTableTest, ParsingTakesWholeEntriesAndTheFirstStateOfAKey)
{
    struct Case {
        const char* what;
        std::string bytes;
        Entries expected;
    };
    const std::vector<Case> cases{
        {"empty", "", {}},
        {"shorter than an entry", std::string(7, '\x01'), {}},
        {"20 bytes: two entries, the last 4 ignored", Entry(5, 1) + Entry(2, 0) + "abcd", {{2, 0}, {5, 1}}},
        {"a key met twice keeps its first state", Entry(3, 7) + Entry(3, 9) + Entry(1, 1), {{1, 1}, {3, 7}}},
        {"little-endian, negative keys and states", Entry(-2, -1) + Entry(0x01020304, 0x7fffffff),
         {{-2, -1}, {0x01020304, 0x7fffffff}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CMagicStatusTable::Parse(c.bytes), c.expected) << c.what;
    EXPECT_EQ(CMagicStatusTable::Parse(std::string("\x04\x03\x02\x01\xff\xff\xff\xff", 8)),
              (Entries{{0x01020304, -1}}));
}

TEST(MagicStatusTableTest, SavingWritesEveryEntryInAscendingKeyOrder)
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
    EXPECT_EQ(CMagicStatusTable::Parse(CMagicStatusTable::Serialise(table.GetEntries())), table.GetEntries());
}

TEST(MagicStatusTableTest, AMissingFileOrDirectoryChangesNothing)
{
    CTempDir dir;
    CMagicStatusTable table;
    table.SetEntries({{1, 1}});
    EXPECT_FALSE(table.Load(dir.File("absent.cfg")));
    EXPECT_EQ(table.GetEntries(), (Entries{{1, 1}})) << "the table keeps what it held";
    EXPECT_FALSE(table.Load(dir.Path())) << "a directory is no table";

    EXPECT_FALSE(table.Save(dir.File("SYS/MagicStatus.cfg")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("SYS"))) << "the host's directory is not created";
}

} // namespace
