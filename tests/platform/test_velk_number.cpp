#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "platform/core/VelkNumber.h"

namespace {

// The general conversions the quick paths stand in for.
std::string GeneralFixed(float value, int decimals)
{
    char text[kVelkFixedTextSize];
    const auto result = std::to_chars(text, text + sizeof text, static_cast<double>(value),
                                      std::chars_format::fixed, decimals);
    return std::string(text, result.ptr);
}

std::string QuickFixed(float value, int decimals)
{
    char text[kVelkFixedTextSize];
    return std::string(text, VelkFormatFixed(value, decimals, text));
}

double GeneralAtof(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    double value = 0;
    if (std::from_chars(text.data() + i, text.data() + text.size(), value).ec != std::errc())
        return 0;
    return negative ? -value : value;
}

bool SameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(VelkNumber, PricesAreWrittenAsTheGeneralConversionWritesThem)
{
    std::mt19937_64 random(7);
    // Prices on their tick, as the quote service holds them.
    for (int i = 0; i < 300000; ++i) {
        const int decimals = static_cast<int>(random() % 7);
        const float price = static_cast<float>(static_cast<double>(random() % 100'000'000) /
                                               std::pow(10.0, static_cast<int>(random() % 5)));
        ASSERT_EQ(QuickFixed(price, decimals), GeneralFixed(price, decimals))
            << price << " " << decimals;
    }
    // Every bit pattern region: ties, subnormals, negatives, beyond 2^40, infinities and NaN.
    for (int i = 0; i < 300000; ++i) {
        const auto bits = static_cast<std::uint32_t>(random());
        float value;
        std::memcpy(&value, &bits, sizeof value);
        const int decimals = static_cast<int>(random() % 7);
        if (std::isnan(value))
            continue; // the sign of a NaN's text is the general conversion's own affair
        ASSERT_EQ(QuickFixed(value, decimals), GeneralFixed(value, decimals))
            << bits << " " << decimals;
    }
    for (float tie : {0.5f, 1.5f, 2.5f, 0.125f, 0.375f, 10.005f, 2.345f, -0.0f, -0.001f, 0.0f})
        for (int decimals = 0; decimals <= 6; ++decimals)
            EXPECT_EQ(QuickFixed(tie, decimals), GeneralFixed(tie, decimals)) << tie;
    // Decimals outside 0..6 are held to it.
    EXPECT_EQ(QuickFixed(1.25f, -3), GeneralFixed(1.25f, 0));
    EXPECT_EQ(QuickFixed(1.25f, 9), GeneralFixed(1.25f, 6));
}

TEST(VelkNumber, NumbersAreReadAsTheGeneralConversionReadsThem)
{
    std::mt19937_64 random(11);
    const std::string pieces[] = {"0",
                                  "1",
                                  "9",
                                  "00",
                                  "123",
                                  "4567",
                                  ".",
                                  ".",
                                  "e",
                                  "E",
                                  "-",
                                  "+",
                                  " ",
                                  "x",
                                  "inf",
                                  "nan",
                                  "12345678901234567890"};
    for (int i = 0; i < 300000; ++i) {
        std::string text;
        const int count = 1 + static_cast<int>(random() % 6);
        for (int k = 0; k < count; ++k)
            text += pieces[random() % std::size(pieces)];
        ASSERT_TRUE(SameBits(VelkAtof(text), GeneralAtof(text))) << text;
    }
    // Quote texts as the quote service writes them.
    for (int i = 0; i < 300000; ++i) {
        char text[40];
        const int decimals = static_cast<int>(random() % 7);
        const auto result = std::to_chars(
            text, text + sizeof text, static_cast<double>(random() % 10'000'000'000ull) / 1000.0,
            std::chars_format::fixed, decimals);
        const std::string_view view(text, static_cast<std::size_t>(result.ptr - text));
        ASSERT_TRUE(SameBits(VelkAtof(view), GeneralAtof(view))) << view;
    }
    // Whole plain decimals around the limits of the one-pass reading: nineteen and twenty
    // characters, digits just below and above 2^53, a point at either end, a second point.
    for (const char* edge :
         {"9007199254740992", "9007199254740993", "9007199254740993.", "900719925474099.3",
          "1234567890123456789", "12345678901234567890", "0.000000000000000001",
          ".0000000000000000001", "1.", ".5", ".", "..5", "1.2.3", "0", "00000000000000000000",
          "4503599627370497.5", "179769313486231570000000000000000000000"})
        EXPECT_TRUE(SameBits(VelkAtof(edge), GeneralAtof(edge))) << edge;
    // Every short text of digits, points and the bytes on either side of the digits ('/' and
    // ':'), and of the bytes that differ from a digit only in their high bits.
    const char alphabet[] = {'0', '5', '9', '.', '/', ':', '\x35' ^ '\x40', '\xb9'};
    std::string text;
    for (std::size_t length = 1; length <= 6; ++length) {
        std::size_t combinations = 1;
        for (std::size_t k = 0; k < length; ++k)
            combinations *= std::size(alphabet);
        for (std::size_t n = 0; n < combinations; ++n) {
            text.clear();
            for (std::size_t k = 0, rest = n; k < length; ++k, rest /= std::size(alphabet))
                text += alphabet[rest % std::size(alphabet)];
            ASSERT_TRUE(SameBits(VelkAtof(text), GeneralAtof(text))) << text;
        }
    }
    EXPECT_EQ(VelkAtof("  -12.5abc"), -12.5);
    EXPECT_EQ(VelkAtof("1.5e2"), 150.0);
    EXPECT_EQ(VelkAtof("-"), 0.0);
}

} // namespace
