#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "hostapi/KQCommon.h"

namespace {

unsigned ItemFromBytes(const X1Format& value)
{
    const unsigned b0 = value.Bytes()[0];
    const unsigned b1 = value.Bytes()[1];
    return (((b0 & 0x07) | ((b0 >> 6) << 3)) << 8) | b1;
}

X1Format FromRawBytes(const std::uint8_t (&bytes)[7])
{
    X1Format value;
    std::memcpy(static_cast<void*>(&value), bytes, sizeof bytes);
    return value;
}

} // namespace

static_assert(std::is_trivially_copyable_v<X1Format>);

TEST(X1FormatTest, EveryItemNumberIsReadBackFromTheLeadingBytesWhateverTheKind)
{
    for (unsigned item = 0; item <= 8191; ++item) {
        const auto no = static_cast<unsigned short>(item);
        const std::vector<X1Format> values = {
            X1Format::None(no),           X1Format::Price(no, -1.5), X1Format::Volume(no, 1e12),
            X1Format::Integer(no, -1),    X1Format::Text(no, "T"),   X1Format::Time(no, 23, 59, 59),
            X1Format::Date(no, 99991231),
        };
        for (const X1Format& value : values) {
            ASSERT_EQ(ItemFromBytes(value), item) << "kind " << int(value.GetKind());
            ASSERT_EQ(value.GetItemNo(), item);
        }
    }
}

TEST(X1FormatTest, KindSitsInBitsThreeToFiveAndPayloadLeavesTheItemAlone)
{
    const X1Format value = X1Format::Volume(0x1FFF, 1099511627775.0);
    EXPECT_EQ((value.Bytes()[0] >> 3) & 0x07, X1Format::kVolume);
    EXPECT_EQ(value.GetItemNo(), 0x1FFF);
    for (int i = 2; i < 7; ++i)
        EXPECT_EQ(value.Bytes()[i], 0xFF);
}

TEST(X1FormatTest, PricesDisplayWithTheirDecimalsAndConvertAsFloat)
{
    struct Case {
        X1Format value;
        const char* text;
    };
    for (const Case& c :
         {Case{X1Format::Price(125, 10.5), "10.50"}, Case{X1Format::Price(125, 3.14159), "3.14"},
          Case{X1Format::Price(125, -0.126), "-0.13"},
          Case{X1Format::Price(125, 2.345, 3), "2.345"},
          Case{X1Format::Price(125, 2.344, 3), "2.344"},
          Case{X1Format::Price(125, 10, 3), "10.000"},
          Case{X1Format::Price(125, 2.345, 3).WithDecimals(2), "2.35"},
          Case{X1Format::Price(125, 2.5, -1), "2"},
          Case{X1Format::Price(125, 2.5, 99), "2.500000"}}) {
        EXPECT_EQ(c.value.s_GetAsString(), c.text);
        EXPECT_EQ(CString(c.value), c.text);
    }
    EXPECT_DOUBLE_EQ(double(X1Format::Price(125, 3.14159)), double(3.14159f));
    EXPECT_DOUBLE_EQ(double(X1Format::Price(125, 2.345, 3)), double(2.345f))
        << "the number has no decimals";
    for (const X1Format& other :
         {X1Format::Volume(413, 12), X1Format::Integer(1994, 3), X1Format::Text(125, "2.5")})
        EXPECT_EQ(std::memcmp(other.WithDecimals(3).Bytes(), other.Bytes(), 7), 0)
            << "only prices have decimals";
}

TEST(X1FormatTest, PriceTextRoundsLikePrintfAcrossTheRange)
{
    std::vector<double> prices = {0.125, 0.375, 2.675, 2.3445, 1e-9, -1e-9, 3.4e38, 123456.785};
    for (int i = -200000; i <= 200000; i += 7)
        prices.push_back(i / 1000.0);
    char expected[64];
    for (int decimals : {2, 3}) {
        for (double price : prices) {
            std::snprintf(expected, sizeof expected, "%.*f", decimals, double(float(price)));
            ASSERT_EQ(X1Format::Price(125, price, decimals).s_GetAsString(), expected) << price;
        }
    }
}

TEST(X1FormatTest, VolumesHoldFortyBitsAndRoundBadInput)
{
    const double big = double((std::uint64_t(1) << 33) + 5);
    EXPECT_EQ(X1Format::Volume(413, big).s_GetAsString(), "8589934597");
    EXPECT_DOUBLE_EQ(double(X1Format::Volume(413, big)), big);
    EXPECT_EQ(X1Format::Volume(413, 1e15).s_GetAsString(), "1099511627775");
    EXPECT_EQ(X1Format::Volume(413, 12.6).s_GetAsString(), "13");
    EXPECT_EQ(X1Format::Volume(413, 12.4).s_GetAsString(), "12");
    EXPECT_EQ(X1Format::Volume(413, -300).s_GetAsString(), "0");
    EXPECT_EQ(X1Format::Volume(413, std::nan("")).s_GetAsString(), "0");
    EXPECT_EQ(X1Format::Volume(413, 0).s_GetAsString(), "0");
}

TEST(X1FormatTest, IntegersAndDatesDisplayWhole)
{
    EXPECT_EQ(X1Format::Integer(1994, -42).s_GetAsString(), "-42");
    EXPECT_DOUBLE_EQ(double(X1Format::Integer(1994, -42)), -42.0);
    const int lowest = std::numeric_limits<std::int32_t>::min();
    EXPECT_DOUBLE_EQ(double(X1Format::Integer(1, lowest)), double(lowest));
    EXPECT_EQ(X1Format::Date(7, 20211201).s_GetAsString(), "20211201");
    EXPECT_DOUBLE_EQ(double(X1Format::Date(7, 20211201)), 20211201.0);
}

TEST(X1FormatTest, TextsComeBackByteForByteAndAreInternedOnce)
{
    const CString gbkName = "\xC6\xBD\xB0\xB2\xD2\xF8\xD0\xD0"; // a bank's name in GBK
    const X1Format name = X1Format::Text(1019, gbkName);
    EXPECT_EQ(name.s_GetAsString(), gbkName);
    EXPECT_EQ(CString(name), gbkName);
    EXPECT_EQ(std::memcmp(name.Bytes(), X1Format::Text(1019, gbkName).Bytes(), 7), 0);
    EXPECT_NE(std::memcmp(name.Bytes(), X1Format::Text(1019, gbkName + "A").Bytes(), 7), 0);
    EXPECT_EQ(X1Format::Text(1019, "").s_GetAsString(), "");
    const CString withNul("a\0b", 3);
    EXPECT_EQ(X1Format::Text(1018, withNul).s_GetAsString(), withNul);
}

TEST(X1FormatTest, TextsConvertToNumbersLikeAtof)
{
    EXPECT_DOUBLE_EQ(double(X1Format::Text(125, "12.5")), 12.5);
    EXPECT_DOUBLE_EQ(double(X1Format::Text(125, "8.25abc")), 8.25);
    EXPECT_DOUBLE_EQ(double(X1Format::Text(125, "abc")), 0.0);
}

TEST(X1FormatTest, TimePartsFromTimesIntegersAndTexts)
{
    const X1Format time = X1Format::Time(143, 9, 35, 7);
    EXPECT_EQ(time.s_GetAsString(), "09:35:07");
    EXPECT_EQ(time.GetHour(), 9);
    EXPECT_EQ(time.GetMinute(), 35);
    EXPECT_EQ(time.GetSecond(), 7);
    EXPECT_DOUBLE_EQ(double(time), 93507.0);

    const X1Format hhmmss = X1Format::Integer(143, 140530);
    EXPECT_EQ(hhmmss.GetHour() * 3600 + hhmmss.GetMinute() * 60 + hhmmss.GetSecond(), 50730);

    const X1Format text = X1Format::Text(143, "14:05:30");
    EXPECT_EQ(text.GetHour(), 14);
    EXPECT_EQ(text.GetMinute(), 5);
    EXPECT_EQ(text.GetSecond(), 30);

    for (const X1Format& other : {X1Format::Price(143, 12.5), X1Format::Integer(143, -5),
                                  X1Format::None(143), X1Format::Text(143, "later")}) {
        EXPECT_EQ(other.GetHour(), 0);
        EXPECT_EQ(other.GetMinute(), 0);
        EXPECT_EQ(other.GetSecond(), 0);
    }
}

TEST(X1FormatTest, OutOfRangeTimePartsAreClampedNotWrapped)
{
    const X1Format time = X1Format::Time(143, -1, 300, -7);
    EXPECT_EQ(time.GetHour(), 0);
    EXPECT_EQ(time.GetMinute(), 255);
    EXPECT_EQ(time.GetSecond(), 0);
}

TEST(X1FormatTest, NoDataShowsDashAndCountsAsZero)
{
    for (const X1Format& none : {X1Format(), X1Format::None(125)}) {
        EXPECT_EQ(none.GetKind(), X1Format::kNone);
        EXPECT_EQ(none.s_GetAsString(), "-");
        EXPECT_EQ(CString(none), "-");
        EXPECT_DOUBLE_EQ(double(none), 0.0);
    }
    EXPECT_EQ(X1Format().GetItemNo(), 0);
    EXPECT_EQ(X1Format::None(125).GetItemNo(), 125);
}

TEST(X1FormatTest, CorruptBytesReadAsNoDataOrEmptyText)
{
    const std::uint8_t unknownKind[7] = {0x38, 125, 1, 2, 3, 4, 5};
    EXPECT_EQ(FromRawBytes(unknownKind).GetKind(), X1Format::kNone);
    EXPECT_EQ(FromRawBytes(unknownKind).s_GetAsString(), "-");

    const std::uint8_t strayText[7] = {0x20, 0x03, 0xFF, 0xFF, 0xFF, 0xFE, 0};
    EXPECT_EQ(FromRawBytes(strayText).GetKind(), X1Format::kText);
    EXPECT_EQ(FromRawBytes(strayText).s_GetAsString(), "");
    EXPECT_DOUBLE_EQ(double(FromRawBytes(strayText)), 0.0);
}

// Every value text comes out byte for byte as the general conversions write it, whichever way
// the text is built (short texts in the string's own room, long ones through the heap).
TEST(X1FormatTest, ValueTextsMatchTheGeneralConversionsOverLargeGeneratedSets)
{
    std::mt19937_64 random(20240102);
    char expected[96];
    // Prices on their tick and anywhere in between, with every number of decimals, up to the
    // sizes whose text no longer fits in a string's own room.
    for (int i = 0; i < 400000; ++i) {
        const int decimals = static_cast<int>(random() % 7);
        const double scale = std::pow(10.0, static_cast<int>(random() % 13) - 3);
        double price = static_cast<double>(random() % 1'000'000) / 100.0 * scale;
        if (random() % 4 == 0)
            price = -price;
        std::snprintf(expected, sizeof expected, "%.*f", decimals, double(float(price)));
        ASSERT_EQ(X1Format::Price(125, price, decimals).s_GetAsString(), expected)
            << price << " " << decimals;
    }
    // Volumes of every width up to the largest a value holds.
    for (int i = 0; i < 200000; ++i) {
        const std::uint64_t volume = random() >> (24 + random() % 40);
        ASSERT_EQ(X1Format::Volume(413, double(volume)).s_GetAsString(), std::to_string(volume));
    }
    for (int i = 0; i < 200000; ++i) {
        const auto number = static_cast<std::int32_t>(random() >> (32 + random() % 32));
        ASSERT_EQ(X1Format::Integer(1994, number).s_GetAsString(), std::to_string(number));
    }
    // Texts of every length around the string's own room, any bytes, GBK and NUL included.
    for (std::size_t length = 0; length <= 40; ++length) {
        for (int k = 0; k < 20; ++k) {
            CString text(length, '\0');
            for (char& c : text)
                c = static_cast<char>(random());
            ASSERT_EQ(X1Format::Text(1019, text).s_GetAsString(), text) << length;
            ASSERT_EQ(CString(X1Format::Text(1019, text)), text) << length;
        }
    }
}
