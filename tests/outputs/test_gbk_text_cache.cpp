#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "host/outputs/CGbkTextCache.h"
#include "platform/core/TextCodec.h"

namespace {

// Names of every kind the cache keeps: short ones in its table (more than it takes, so that the
// rest go to its map), GBK longer than a slot, and names that come again.
std::string NameOf(int i)
{
    const std::string stem = "股" + std::to_string(i);
    switch (i % 4) {
    case 0:
        return stem;
    case 1:
        return "ST" + std::to_string(i);
    case 2:
        return stem + "青山纸业平安银行浦发银行"; // longer than a slot in GBK
    default:
        return "青山纸业" + std::to_string(i / 4 % 10) + "平安银行"; // 17 bytes of GBK
    }
}

} // namespace

// Past the point where the table is full: every text comes back as the codec converts it, the
// same each time, and what was handed out stays readable until Trim.
TEST(GbkTextCache, EveryTextComesBackConvertedAndStaysWhereItIsUntilTrim)
{
    CGbkTextCache cache;
    constexpr int kNames = 20000;
    std::vector<std::string> gbk;
    for (int i = 0; i < kNames; ++i)
        gbk.push_back(TextCodec::Utf8ToGbk(NameOf(i)));
    std::vector<std::string_view> first;
    for (const std::string& text : gbk)
        first.push_back(cache.Utf8Of(text));
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < kNames; ++i) {
            const std::string_view again = cache.Utf8Of(gbk[static_cast<std::size_t>(i)]);
            ASSERT_EQ(again, NameOf(i)) << i;
            ASSERT_EQ(again.data(), first[static_cast<std::size_t>(i)].data()) << i;
        }
    for (int i = 0; i < kNames; ++i)
        ASSERT_EQ(first[static_cast<std::size_t>(i)], NameOf(i)) << i;
    // The names that come again are kept once.
    EXPECT_EQ(cache.Size(), static_cast<std::size_t>(kNames / 4 * 3 + 10));

    cache.Trim();
    EXPECT_EQ(cache.Size(), 0u);
    EXPECT_EQ(cache.Utf8Of(gbk[4]), NameOf(4));
    EXPECT_EQ(cache.Utf8Of(""), "");
    cache.Trim(); // not full: kept
    EXPECT_EQ(cache.Size(), 2u);
}
