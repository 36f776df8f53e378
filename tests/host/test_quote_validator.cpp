#include <gtest/gtest.h>

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "host/core/CQuoteValidator.h"

namespace {

// The general conversion and decimal count the validator's quick paths must agree with.
bool GeneralDouble(const std::string& text, double& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

int GeneralDecimals(double value)
{
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    const std::string_view digits(text, static_cast<std::size_t>(result.ptr - text));
    const std::size_t point = digits.find('.');
    return point == std::string_view::npos ? 0 : static_cast<int>(digits.size() - point - 1);
}

// Prices as files write them, and the forms around the quick path's limits: long fractions,
// leading and trailing zeros, integers beyond 2^53, twenty digits.
std::string RandomNumberText(std::mt19937_64& random)
{
    std::uniform_int_distribution<int> form(0, 5);
    std::uniform_int_distribution<int> digit(0, 9);
    std::uniform_int_distribution<int> length(1, 12);
    auto digits = [&](int n) {
        std::string text;
        for (int i = 0; i < n; ++i)
            text += static_cast<char>('0' + digit(random));
        return text;
    };
    char text[64];
    switch (form(random)) {
    case 0: // a price to the cent or tenth of a cent
        std::snprintf(text, sizeof text, "%.*f", 2 + static_cast<int>(random() % 2),
                      static_cast<double>(random() % 10'000'000) / 1000.0);
        return text;
    case 1:
        return digits(length(random)) + "." + digits(length(random));
    case 2:
        return digits(length(random) + 8) + "." + digits(length(random) + 8);
    case 3:
        return digits(length(random) + 8);
    case 4:
        return "0." + std::string(static_cast<std::size_t>(length(random)), '0') +
               digits(length(random));
    default:
        return digits(3) + "." + digits(length(random)) + std::string(length(random), '0');
    }
}

TEST(QuoteValidator, NumbersAndTheirDecimalsReadAsTheGeneralConversionReadsThem)
{
    std::mt19937_64 random(20240105);
    for (int i = 0; i < 400000; ++i) {
        const std::string text = RandomNumberText(random);
        double expected = 0;
        double value = -1;
        const bool general = GeneralDouble(text, expected);
        ASSERT_EQ(CQuoteValidator::ParseDouble(text, value), general) << text;
        if (!general)
            continue;
        ASSERT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << text;
        ASSERT_EQ(CQuoteValidator::DecimalsOf(text, value), GeneralDecimals(expected)) << text;
    }
}

TEST(QuoteValidator, RefusesWhatNoPriceFileMeans)
{
    double value = 0;
    for (const char* text : {"", ".", "1.", ".5", "1..2", "1.2.3", "inf", "nan", "+-1", "1e",
                             "0x10", " 1", "1 ", "1,5", "--1", "1e400"}) {
        double expected = 0;
        // A few of these the general conversion reads; the validator must read them alike.
        const bool general = std::string_view(text) != "" && std::string_view(text) != "+-1" &&
                             GeneralDouble(text, expected);
        EXPECT_EQ(CQuoteValidator::ParseDouble(text, value), general) << text;
    }
    EXPECT_TRUE(CQuoteValidator::ParseDouble("+1.5", value));
    EXPECT_EQ(value, 1.5);
}

TEST(QuoteValidator, WholeNumbersStopAtTheirRangeAndAtOverflow)
{
    long long value = 0;
    EXPECT_TRUE(CQuoteValidator::ParseInteger("-9223372036854775808", LLONG_MIN, 0, value));
    EXPECT_EQ(value, LLONG_MIN);
    EXPECT_TRUE(CQuoteValidator::ParseInteger("+9223372036854775807", 0, LLONG_MAX, value));
    EXPECT_EQ(value, LLONG_MAX);
    EXPECT_FALSE(CQuoteValidator::ParseInteger("9223372036854775808", 0, LLONG_MAX, value));
    EXPECT_FALSE(CQuoteValidator::ParseInteger("99999999999999999999999", 0, LLONG_MAX, value));
    EXPECT_FALSE(CQuoteValidator::ParseInteger("256", 0, 255, value));
    EXPECT_FALSE(CQuoteValidator::ParseInteger("-", 0, 255, value));
    EXPECT_FALSE(CQuoteValidator::ParseInteger("1x", 0, 255, value));
}

TEST(QuoteValidator, ATradeFarAboveItsStockIsRefusedAgainstTheLimitOrElseThePreviousClose)
{
    std::string error;
    // Limit-up known: the bound is ten times it, whatever the previous close.
    const double withLimit = CQuoteValidator::TradePriceCeiling(11.0, 1.0);
    EXPECT_TRUE(CQuoteValidator::TradePriceWithin("110.00", 110.0, withLimit, error));
    EXPECT_FALSE(CQuoteValidator::TradePriceWithin("110.01", 110.01, withLimit, error));
    EXPECT_NE(error.find("\"110.01\""), std::string::npos) << error;
    // No limit known: ten times the previous close.
    const double withClose = CQuoteValidator::TradePriceCeiling(0, 2.5);
    EXPECT_TRUE(CQuoteValidator::TradePriceWithin("25", 25.0, withClose, error));
    EXPECT_FALSE(CQuoteValidator::TradePriceWithin("25.001", 25.001, withClose, error));
    // Neither known: no bound.
    EXPECT_TRUE(CQuoteValidator::TradePriceWithin("1e30", 1e30,
                                                  CQuoteValidator::TradePriceCeiling(0, 0), error));
}

} // namespace
