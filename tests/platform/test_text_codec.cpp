#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "platform/core/TextCodec.h"

namespace {
// "万科Ａ" in GBK: 万 CDF2, 科 BFC6, full-width Ａ A3C1.
const std::string kWankeGbk("\xCD\xF2\xBF\xC6\xA3\xC1");
const std::string kWankeUtf8("万科Ａ");
} // namespace

TEST(TextCodec, RoundTripsChineseAndAscii)
{
    EXPECT_EQ(TextCodec::Utf8ToGbk(kWankeUtf8), kWankeGbk);
    EXPECT_EQ(TextCodec::GbkToUtf8(kWankeGbk), kWankeUtf8);
    EXPECT_EQ(TextCodec::GbkToUtf8("600103"), "600103");
    EXPECT_EQ(TextCodec::Utf8ToGbk("达到涨停价"), "\xB4\xEF\xB5\xBD\xD5\xC7\xCD\xA3\xBC\xDB");
    EXPECT_EQ(TextCodec::GbkToUtf8(""), "");
}

TEST(TextCodec, CutDoubleByteCharacterAtTheEndIsDropped)
{
    std::string cut = kWankeGbk.substr(0, 5); // 万科 and half of Ａ
    EXPECT_EQ(TextCodec::GbkToUtf8(cut), "万科");
    EXPECT_FALSE(TextCodec::IsValidGbk(cut));
    EXPECT_TRUE(TextCodec::IsValidGbk(kWankeGbk));
    EXPECT_EQ(TextCodec::GbkToUtf8(kWankeGbk), kWankeUtf8) << "the next conversion starts afresh";
}

TEST(TextCodec, ThreadsConvertAtTheSameTimeWithoutDisturbingEachOther)
{
    auto work = [](const std::string& gbk, const std::string& utf8, bool& ok) {
        for (int i = 0; i < 2000 && ok; ++i)
            ok = TextCodec::GbkToUtf8(gbk) == utf8 && TextCodec::Utf8ToGbk(utf8) == gbk;
    };
    bool firstOk = true;
    bool secondOk = true;
    std::thread first(work, kWankeGbk, kWankeUtf8, std::ref(firstOk));
    std::thread second(work, std::string("\xB4\xEF\xB5\xBD"), std::string("达到"),
                       std::ref(secondOk));
    first.join();
    second.join();
    EXPECT_TRUE(firstOk);
    EXPECT_TRUE(secondOk);
}

TEST(TextCodec, BadBytesBecomeReplacementCharactersNotPrivateUse)
{
    // 0xFF is never GBK, nor is a lead byte before a space; the text around them survives.
    std::string decoded = TextCodec::GbkToUtf8(std::string("A\xFF"
                                                           "B\x81 C"));
    EXPECT_EQ(decoded, "A\xEF\xBF\xBD"
                       "B\xEF\xBF\xBD"
                       " C");
}

TEST(TextCodec, CharactersWithoutGbkFormBecomeQuestionMarks)
{
    EXPECT_EQ(TextCodec::Utf8ToGbk("a😀b"), "a?b");
    EXPECT_EQ(TextCodec::Utf8ToGbk(std::string("a\xC3"
                                               "b")),
              "a?b")
        << "malformed UTF-8";
}

TEST(TextCodec, CutGbkNeverSplitsACharacter)
{
    EXPECT_EQ(TextCodec::CutGbk(kWankeGbk, 5), kWankeGbk.substr(0, 4));
    EXPECT_EQ(TextCodec::CutGbk(kWankeGbk, 4), kWankeGbk.substr(0, 4));
    EXPECT_EQ(TextCodec::CutGbk(kWankeGbk, 6), kWankeGbk);
    EXPECT_EQ(TextCodec::CutGbk("A" + kWankeGbk, 2), "A");
    EXPECT_EQ(TextCodec::CutGbk("abc", 0), "");
}
