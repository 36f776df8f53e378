// The quick reading of trade lines against the general reading and checks, and the day loader
// on large files that mix the usual lines with every other form.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/core/CPlainTradeLine.h"
#include "host/core/CQuoteValidator.h"
#include "host/core/CTradingDay.h"
#include "tests/host/HostTestSupport.h"
#include "tests/support/CTempDir.h"

namespace {

using hosttest::WriteDay;
using hosttest::WriteFile;

std::string Pick(std::mt19937_64& random, std::initializer_list<const char*> choices)
{
    return *(choices.begin() + random() % choices.size());
}

std::string Digits(std::mt19937_64& random, int n)
{
    std::string text;
    for (int i = 0; i < n; ++i)
        text += static_cast<char>('0' + random() % 10);
    return text;
}

// One field of a trade line: mostly as files write it, otherwise near the quick reading's
// limits or in a form only the general reading takes or refuses.
std::string Field(std::mt19937_64& random, int column)
{
    const bool usual = random() % 3 != 0;
    switch (column) {
    case 0: {
        char text[16];
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(random() % 24),
                      static_cast<int>(random() % 60), static_cast<int>(random() % 60));
        return usual ? text
                     : Pick(random, {"9:30:00", "24:00:00", "09:60:00", " 09:30:00", "09:30:00 ",
                                     "09:30", "\"09:30:00\""});
    }
    case 1:
        return usual ? std::to_string(random() % 256)
                     : Pick(random, {"001", "0001", "255", "256", "+1", "-0", "", " 1", "1a"});
    case 2:
        return usual ? Digits(random, 6)
                     : Pick(random, {"", "X", "60000012345", "600000123456", "6 0", "\"600000\"",
                                     "a\"b", "~~", "\x7f", "\xe4\xb8\xad"});
    case 3:
        switch (usual ? random() % 2 : 2 + random() % 4) {
        case 0:
            return Digits(random, 1 + static_cast<int>(random() % 4)) + "." +
                   Digits(random, 1 + static_cast<int>(random() % 4));
        case 1:
            return Digits(random, 1 + static_cast<int>(random() % 5));
        case 2: // fifteen digits and more, around the quick reading's limit
            return Digits(random, 1 + static_cast<int>(random() % 10)) + "." +
                   Digits(random, 4 + static_cast<int>(random() % 10));
        case 3:
            return "0." + std::string(random() % 16, '0') + Digits(random, 2);
        case 4:
            return Digits(random, 2) + ".50" + std::string(random() % 14, '0');
        default:
            return Pick(random, {".5", "5.", "1e3", "-1", "+1", " 1.5", "1.5 ", "1..5", "", "inf"});
        }
    default:
        return usual ? std::to_string(random() % 1'000'000)
                     : Pick(random, {"1000000000000", "1000000000001", "00000000000001", "+5",
                                     "1.5", "", "100\r", "-0", "9999999999999"});
    }
}

// The general reading's verdict on one line without quotes: the checks of every field in turn.
bool GeneralRead(const std::string& line, CPlainTradeLine::Fields& fields)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        parts.emplace_back(std::string_view(line).substr(start, comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    std::string error;
    if (parts.size() != 5 || !CQuoteValidator::Time(parts[0], fields.time, error) ||
        !CQuoteValidator::Market(parts[1], fields.market, error) ||
        !CQuoteValidator::Code(parts[2], error) ||
        !CQuoteValidator::Price("price", parts[3], fields.price, error) ||
        !CQuoteValidator::Volume(parts[4], fields.volume, error))
        return false;
    fields.code = parts[2];
    fields.priceText = parts[3];
    fields.priceDecimals = CQuoteValidator::DecimalsOf(parts[3], fields.price);
    return true;
}

TEST(PlainTradeLine, ReadsEveryLineAsTheGeneralChecksDoOrLeavesItToThem)
{
    std::mt19937_64 random(20240105);
    int quick = 0;
    for (int n = 0; n < 300'000; ++n) {
        std::string line;
        bool usual = true;
        for (int column = 0; column < 5; ++column) {
            const std::string field = Field(random, column);
            usual = usual && field.find_first_of(" \"\r+-") == std::string::npos;
            line += (column ? "," : "") + field;
        }
        CPlainTradeLine::Fields read;
        CPlainTradeLine::Fields general;
        const bool generalOk = GeneralRead(line, general);
        if (!CPlainTradeLine::Read(line, read))
            continue;
        ++quick;
        ASSERT_TRUE(generalOk && usual) << line;
        EXPECT_EQ(read.time, general.time) << line;
        EXPECT_EQ(read.market, general.market) << line;
        EXPECT_EQ(read.code, general.code) << line;
        EXPECT_EQ(read.priceText, general.priceText) << line;
        // Bit for bit: the replay hands the price on as it was read.
        EXPECT_EQ(std::memcmp(&read.price, &general.price, sizeof(double)), 0) << line;
        EXPECT_EQ(read.priceDecimals, general.priceDecimals) << line;
        EXPECT_EQ(read.volume, general.volume) << line;
    }
    // Most lines are written as usual, and those the quick reading must take.
    EXPECT_GT(quick, 300'000 / 20);
    CPlainTradeLine::Fields read;
    EXPECT_TRUE(CPlainTradeLine::Read("09:30:00,1,600000,10.50,100", read));
    EXPECT_TRUE(CPlainTradeLine::Read("23:59:59,255,A~,123456789.012345,1000000000000", read));
}

// A day of many trades, the usual lines mixed with quoted, padded and CRLF ones, loads the same
// trades as the day written plainly; a bad line deep in the file is told by its number.
TEST(PlainTradeLine, TheLoaderTakesEveryFormOfALargeDayAndTellsItsBadLine)
{
    CTempDir dir;
    std::mt19937_64 random(7);
    std::string plain;
    std::string mixed;
    constexpr int kTrades = 120'000;
    for (int i = 0; i < kTrades; ++i) {
        char time[16];
        std::snprintf(time, sizeof time, "%02d:%02d:%02d", 9 + i / 36000, i / 600 % 60,
                      i / 10 % 60);
        const bool first = random() % 2 == 0;
        const std::string code = first ? "600000" : "000001";
        const std::string market = first ? "1" : "2";
        char price[32];
        std::snprintf(price, sizeof price, "%.2f",
                      (first ? 10.0 : 12.0) + (random() % 100) / 100.0);
        const std::string volume = std::to_string(100 * (1 + random() % 50));
        plain += std::string(time) + "," + market + "," + code + "," + price + "," + volume + "\n";
        switch (random() % 5) {
        case 0:
            mixed += std::string(time) + ",\"" + market + "\",\"" + code + "\"," + price + "," +
                     volume + "\r\n";
            break;
        case 1:
            mixed += std::string(time) + ", " + market + " ,\t" + code + "," + price + "0," +
                     volume + " \n\n";
            break;
        case 2:
            mixed += std::string(time) + ",+" + market + "," + code + ",0" + price + ",00" +
                     volume + "\n";
            break;
        default:
            mixed +=
                std::string(time) + "," + market + "," + code + "," + price + "," + volume + "\n";
        }
    }
    auto load = [&](const std::string& trades, std::string& error) {
        const std::string folder = dir.File("day" + std::to_string(random()));
        WriteDay(folder, trades);
        auto day = std::make_unique<CTradingDay>();
        return day->Load(folder, error) ? std::move(day) : nullptr;
    };
    std::string error;
    const auto expected = load(plain, error);
    ASSERT_TRUE(expected) << error;
    const auto actual = load(mixed, error);
    ASSERT_TRUE(actual) << error;
    ASSERT_EQ(actual->Trades().size(), static_cast<std::size_t>(kTrades));
    ASSERT_EQ(expected->Trades().size(), static_cast<std::size_t>(kTrades));
    for (std::size_t i = 0; i < actual->Trades().size(); ++i) {
        const CTradingDay::Trade& a = actual->Trades()[i];
        const CTradingDay::Trade& e = expected->Trades()[i];
        ASSERT_TRUE(a.time == e.time && a.symbol == e.symbol && a.price == e.price &&
                    a.volume == e.volume)
            << i;
    }

    // Bad lines past the reader's first pieces of the file, in the quick form and in others.
    const std::size_t cut = plain.size() - 40 * 28;
    const std::size_t at = plain.find('\n', cut) + 1;
    const std::string line =
        std::to_string(2 + std::count(plain.begin(), plain.begin() + at, '\n'));
    const struct {
        const char* bad;
        std::string error;
    } kCases[] = {
        {"10:00:00,1,600000,10.0001,100", "price \"10.0001\" has more than 3 decimals"},
        {"10:00:00,1,600000,10.000000000001,100",
         "price \"10.000000000001\" has more than 3 decimals"},
        {"10:00:00,1,600000,110.01,100", "price \"110.01\" is more than ten times the stock's "
                                         "limit-up price or previous close (above 110.000)"},
        {"10:00:00,1,600001,10.00,100", "stock 1 600001 is not in symbols.csv"},
        {"10:00:00,3,600000,10.00,100", "market 3 is not in markets.csv"},
        {"10:00:00,1,600000,10.00,1000000000001",
         "volume \"1000000000001\" is not a whole number of shares"},
        {"10:00:00,1,600000,10.00", "4 fields where 5 are expected"},
        {"10:00:00,1,600000,10.00,100,", "6 fields where 5 are expected"},
    };
    for (const auto& c : kCases) {
        EXPECT_FALSE(load(plain.substr(0, at) + c.bad + "\n" + plain.substr(at), error)) << c.bad;
        EXPECT_EQ(error, "trades.csv:" + line + ": " + c.error);
    }
}

} // namespace
