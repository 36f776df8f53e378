#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/core/CShortKeyTable.h"

namespace {

// Keys as the stock tables form them: a market byte (0 included) or digits, then a code.
std::string Key(int i)
{
    std::string key(1, static_cast<char>(i % 3));
    key += std::to_string(600000 + i);
    return key;
}

TEST(ShortKeyTable, KeepsEveryKeyThroughGrowthAndClear)
{
    // The table starts small, is cleared with a size hint, and grows past both.
    for (std::size_t hint : {0u, 100u}) {
        CShortKeyTable<int> table;
        table.Clear(hint);
        std::map<std::string, int> expected;
        for (int i = 0; i < 5000; ++i) {
            int* value = table.Insert(Key(i));
            ASSERT_NE(value, nullptr);
            EXPECT_EQ(*value, 0) << "a new key's value starts empty";
            *value = i;
            expected[Key(i)] = i;
            // A key inserted again keeps its value.
            ASSERT_EQ(*table.Insert(Key(i / 2)), i / 2);
        }
        EXPECT_EQ(table.Size(), expected.size());
        for (const auto& [key, value] : expected) {
            const int* found = table.Find(key);
            ASSERT_NE(found, nullptr) << key;
            EXPECT_EQ(*found, value);
        }
        table.Clear();
        EXPECT_EQ(table.Size(), 0u);
        EXPECT_EQ(table.Find(Key(7)), nullptr);
    }
}

TEST(ShortKeyTable, KeysDifferingOnlyInLengthOrAfterANulAreDistinct)
{
    CShortKeyTable<int> table;
    const std::string keys[] = {"1600000",
                                "16000001",
                                "160000",
                                std::string("\0"
                                            "600000",
                                            7),
                                std::string("\0", 1),
                                std::string(15, 'k')};
    int n = 0;
    for (const std::string& key : keys)
        *table.Insert(key) = ++n;
    n = 0;
    for (const std::string& key : keys) {
        ASSERT_NE(table.Find(key), nullptr);
        EXPECT_EQ(*table.Find(key), ++n);
    }
    EXPECT_EQ(table.Find("16"), nullptr);
}

TEST(ShortKeyTable, EmptyAndOverlongKeysAreRefused)
{
    CShortKeyTable<int> table;
    for (const std::string& key : {std::string(), std::string(16, 'k')}) {
        EXPECT_EQ(table.Insert(key), nullptr) << key.size();
        EXPECT_EQ(table.Find(key), nullptr);
    }
    EXPECT_EQ(table.Size(), 0u);
    EXPECT_EQ(table.Find("anything"), nullptr) << "an empty table finds nothing";
}

} // namespace
