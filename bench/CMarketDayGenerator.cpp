#include "bench/CMarketDayGenerator.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "engine/VelkRecords.h"
#include "platform/core/TextCodec.h"
#include "platform/core/VelkClockText.h"
#include "platform/core/VelkFile.h"

namespace {

// Written after the name into COMPLETE: a day of an older layout (without the monitor's
// columns) is written anew.
constexpr const char* kDataVersion = "\nsymbols with monitor data\n";

constexpr int kTradeDate = 20240102;
constexpr int kMorningOpen = 9 * 3600 + 30 * 60;
constexpr int kAfternoonOpen = 13 * 3600;
constexpr int kSessionSeconds = 2 * 3600; // each of the two sessions

// splitmix64: a fixed generator, so the files do not depend on the standard library's
// distributions.
class CRandom {
public:
    explicit CRandom(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n-1
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }

private:
    std::uint64_t m_state;
};

struct Stock {
    unsigned char market = 0;
    std::string code;
    std::string nameUtf8;
    int prevClose = 0; // all prices in cents
    int limitUp = 0;
    int limitDown = 0;
    int last = 0;
    int bias = 0; // a few stocks run towards a limit
};

std::string Cents(int cents)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d.%02d", cents / 100, cents % 100);
    return text;
}

std::string Clock(int seconds)
{
    return VelkClockText(seconds);
}

std::vector<Stock> MakeStocks(int count, CRandom& random)
{
    std::vector<Stock> stocks(static_cast<std::size_t>(count));
    const int perMarket = (count + 1) / 2;
    for (int i = 0; i < count; ++i) {
        Stock& s = stocks[static_cast<std::size_t>(i)];
        const bool sh = i < perMarket;
        const int n = sh ? i : i - perMarket;
        char code[16];
        char name[32];
        std::snprintf(code, sizeof code, "%06d", sh ? 600000 + n : 1 + n);
        std::snprintf(name, sizeof name, "%s%04d", sh ? "沪市样本" : "深市样本", n);
        s.market = sh ? 1 : 2;
        s.code = code;
        s.nameUtf8 = name;
        s.prevClose = 300 + random.Below(4700);
        s.limitUp = (s.prevClose * 110 + 50) / 100;
        s.limitDown = (s.prevClose * 90 + 50) / 100;
        s.last = s.prevClose + (random.Below(21) - 10) * s.prevClose / 1000;
        const int kind = random.Below(100);
        s.bias = kind < 2 ? 1 : kind < 3 ? -1 : 0;
    }
    return stocks;
}

class CFileWriter {
public:
    explicit CFileWriter(const std::string& path)
        : m_file(std::fopen(path.c_str(), "wb"), &std::fclose)
    {
    }
    bool IsOpen() const { return m_file != nullptr; }
    void Add(const std::string& text)
    {
        m_buffer += text;
        if (m_buffer.size() >= (1u << 20))
            Flush();
    }
    bool Close()
    {
        Flush();
        const bool ok = m_ok && std::fflush(m_file.get()) == 0;
        m_file.reset();
        return ok;
    }

private:
    void Flush()
    {
        if (!m_buffer.empty() &&
            std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file.get()) != m_buffer.size())
            m_ok = false;
        m_buffer.clear();
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> m_file;
    std::string m_buffer;
    bool m_ok = true;
};

bool WriteText(const std::string& path, const std::string& text, std::string& error)
{
    if (VelkReplaceFile(path, text))
        return true;
    error = path + ": cannot be written";
    return false;
}

template <typename Record> void Append(std::string& out, const Record& record)
{
    out.append(reinterpret_cast<const char*>(&record), sizeof record);
}

Ta_VELKPRICEALERT WatchRecord(const Stock& s)
{
    Ta_VELKPRICEALERT record{};
    record.m_byMarket = s.market;
    VelkCopyText(record.m_szCode, s.code);
    VelkCopyText(record.m_szName, TextCodec::Utf8ToGbk(s.nameUtf8));
    record.m_fPreClose = static_cast<float>(s.prevClose) / 100.0f;
    return record;
}

// alert.cfg and System_alert.cfg of one system directory.
bool WriteSystemDirectory(const std::string& sysDir, const std::vector<Stock>& stocks,
                          int priceAlerts, bool watched, bool popup, std::string& error)
{
    if (!VelkCreateDirectories(sysDir)) {
        error = sysDir + ": cannot be created";
        return false;
    }
    const Ta_ALERTSETTING setting{1, 1, 1, 1, 1, -1.0f, -1.0f, 50.0f, 2.0f, 100.0f, 0.1f};
    Ta_OTHERALERT options{};
    options.m_nSoundMode = 1;
    options.m_byPopup = popup ? 1 : 0;
    std::string alert;
    Append(alert, setting);
    Append(alert, options);
    if (watched && priceAlerts > 0) {
        const std::size_t step =
            std::max<std::size_t>(1, stocks.size() / static_cast<std::size_t>(priceAlerts));
        int written = 0;
        for (std::size_t i = 0; i < stocks.size() && written < priceAlerts; i += step, ++written) {
            Ta_VELKPRICEALERT record = WatchRecord(stocks[i]);
            record.m_fUpper = static_cast<float>((stocks[i].prevClose * 103 + 50) / 100) / 100.0f;
            record.m_fLower = static_cast<float>((stocks[i].prevClose * 97 + 50) / 100) / 100.0f;
            Append(alert, record);
        }
    }

    const Ta_SYSTEMSWITCH switches{1, 1, 1, 2};
    std::string system;
    Append(system, switches);
    if (watched) {
        for (const Stock& s : stocks)
            Append(system, WatchRecord(s));
    }
    return WriteText(VelkJoinPath(sysDir, "alert.cfg"), alert, error) &&
           WriteText(VelkJoinPath(sysDir, "Magic.cfg"), std::string(), error) &&
           WriteText(VelkJoinPath(sysDir, "System_alert.cfg"), system, error);
}

} // namespace

std::string CMarketDayGenerator::Name() const
{
    return "market-" + std::to_string(m_shape.stocks) + "x" + std::to_string(m_shape.trades) +
           "-s" + std::to_string(m_shape.seed) + "-p" + std::to_string(m_shape.priceAlerts);
}

bool CMarketDayGenerator::IsWritten(const std::string& folder) const
{
    std::string done;
    return VelkReadFile(VelkJoinPath(folder, "COMPLETE"), done) && done == Name() + kDataVersion;
}

bool CMarketDayGenerator::Write(const std::string& folder, std::string& error) const
{
    if (m_shape.stocks < 1 || m_shape.trades < 0) {
        error = "a day needs at least one stock and no negative number of trades";
        return false;
    }
    const std::string dayDir = VelkJoinPath(folder, "day");
    if (!VelkCreateDirectories(dayDir)) {
        error = dayDir + ": cannot be created";
        return false;
    }
    CRandom random(m_shape.seed);
    std::vector<Stock> stocks = MakeStocks(m_shape.stocks, random);

    // The market monitor's data of every stock, made from its position alone so that the
    // trades stay those of the seed.
    std::string symbols = "market,code,name,prev_close,limit_up,limit_down,decimals,"
                          "five_day_volume_per_minute,circulating_shares\n";
    for (std::size_t i = 0; i < stocks.size(); ++i) {
        const Stock& s = stocks[i];
        symbols += std::to_string(s.market) + "," + s.code + "," + s.nameUtf8 + "," +
                   Cents(s.prevClose) + "," + Cents(s.limitUp) + "," + Cents(s.limitDown) + ",," +
                   std::to_string(200 + i * 37 % 2000) + "," +
                   std::to_string(20'000'000 + i * 7919 % 1000 * 100'000) + "\n";
    }
    if (!WriteText(VelkJoinPath(dayDir, "day.csv"),
                   "trade_date\n" + std::to_string(kTradeDate) + "\n", error) ||
        !WriteText(VelkJoinPath(dayDir, "markets.csv"), "market,ext,level1\n1,SH,1\n2,SZ,2\n",
                   error) ||
        !WriteText(VelkJoinPath(dayDir, "symbols.csv"), symbols, error))
        return false;

    const std::string tradesPath = VelkJoinPath(dayDir, "trades.csv");
    CFileWriter trades(tradesPath);
    if (!trades.IsOpen()) {
        error = tradesPath + ": cannot be written";
        return false;
    }
    trades.Add("time,market,code,price,volume\n");
    const long long total = m_shape.trades;
    std::string line;
    for (long long k = 0; k < total; ++k) {
        // Spread evenly over both sessions, so the file is in time order.
        const long long second = k * (2 * kSessionSeconds) / total;
        const int time = second < kSessionSeconds
                             ? kMorningOpen + static_cast<int>(second)
                             : kAfternoonOpen + static_cast<int>(second - kSessionSeconds);
        Stock& s = stocks[static_cast<std::size_t>(random.Below(m_shape.stocks))];
        int step = random.Below(5) - 2;
        if (s.bias != 0 && random.Below(2) == 0)
            step += s.bias;
        s.last = std::min(s.limitUp, std::max(s.limitDown, s.last + step));
        const int lots = 1 + random.Below(50);
        line = Clock(time);
        line += ',';
        line += std::to_string(s.market);
        line += ',';
        line += s.code;
        line += ',';
        line += Cents(s.last);
        line += ',';
        line += std::to_string(lots * 100);
        line += '\n';
        trades.Add(line);
    }
    if (!trades.Close()) {
        error = tradesPath + ": cannot be written";
        return false;
    }

    if (!WriteSystemDirectory(VelkJoinPath(folder, "watched/SYS"), stocks, m_shape.priceAlerts,
                              true, false, error) ||
        !WriteSystemDirectory(VelkJoinPath(folder, "popup/SYS"), stocks, m_shape.priceAlerts, true,
                              true, error) ||
        !WriteSystemDirectory(VelkJoinPath(folder, "none/SYS"), stocks, 0, false, false, error))
        return false;
    return WriteText(VelkJoinPath(folder, "COMPLETE"), Name() + kDataVersion, error);
}
