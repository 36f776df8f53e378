// Feeds the magic-signal monitor rows of arbitrary item values. The input is a market number,
// three bytes of watch switches, then 8-byte pieces: a flag byte (bit 0 ends the row) and the
// seven bytes of one value, whatever item and kind they claim. Texts come from a small
// vocabulary of codes, signal numbers, times and hostile numbers. Nothing may crash, at most
// one alert is raised per row, and every alert names a watched stock of the market asked for.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/CVelkAlert.h"
#include "fuzz/FuzzQuoteContext.h"
#include "fuzz/FuzzSupport.h"
#include "tests/engine/CVelkAlertTestAccess.h"

using VelkFuzz::Require;

namespace {

const char* const kDate = "20211201";
const char* const kCodes[] = {"600000", "000001", "600519"};

struct CFuzzContext : VelkFuzz::CQuoteContext {
    CFuzzContext()
    {
        // Texts the values may point at (their pool indexes are small numbers).
        for (const char* text :
             {"600000",   "000001",   "600519",     "0",           "3",
              "12",       "13",       "14",         "15",          "18",
              "19",       "-1",       "2147483648", "-2147483649", "99999999999999999999",
              "09:35:07", "14:05:30", "25:99:99",   "99999:1",     ":",
              "::",       "1e39",     "-1e39",      "nan",         "inf",
              "",         "0x10",     " 7",         "12.5",        "9:5",
              "abc"})
            X1Format::Text(0, text);
        X1Format::Text(0, std::string(80, '6'));
    }
    // The store keeps every row it was given; it starts afresh for every input.
    void Fill()
    {
        store.Reset();
        store.SetSysPath(dir.Path());
        store.SetTradeDate(20211201);
        for (unsigned market : {1u, 2u, 10u, 255u})
            for (const char* code : kCodes)
                store.AddSymbol(static_cast<unsigned char>(market), code,
                                std::string("Name ") + code);
        std::vector<CString> numbers;
        std::vector<CString> names;
        for (int n = -1; n <= 20; ++n) {
            numbers.push_back(std::to_string(n));
            names.push_back("signal " + std::to_string(n) +
                            std::string(60, 'x').substr(0, n > 0 ? n * 3 : 0));
        }
        numbers.push_back("3"); // a number listed twice keeps its later name
        names.push_back("signal three again");
        store.SetMagicCatalogue(numbers, names);
    }
};

CFuzzContext& Context()
{
    return VelkFuzz::TheContext<CFuzzContext>();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzContext& context = Context();
    if (size < 4)
        return 0;
    context.Fill();
    const unsigned char market = data[0];
    const std::uint32_t switches = data[1] | (data[2] << 8) | (std::uint32_t(data[3]) << 16);

    // The watched stocks of markets 1 and 10; switch k of stock s is bit (k + s) of the mask.
    std::vector<Ta_VELKPRICEALERT> watched;
    for (unsigned char m : {1, 10}) {
        for (const char* code : kCodes) {
            Ta_VELKPRICEALERT record{};
            record.m_byMarket = m;
            VelkCopyText(record.m_szCode, code);
            std::int32_t on[18] = {};
            for (int k = 0; k < 18; ++k)
                on[k] = (switches >> ((k + watched.size()) % 24)) & 1;
            std::memcpy(record.m_nMagic, on, sizeof on);
            watched.push_back(record);
        }
    }

    std::size_t rows = 0;
    std::vector<X1Format> row;
    for (std::size_t at = 4; at + 8 <= size; at += 8) {
        X1Format value;
        static_assert(sizeof value == 7);
        std::memcpy(&value, data + at + 1, sizeof value);
        row.push_back(value);
        if (data[at] & 1) {
            context.store.AddMagicRow(market, kDate, std::move(row));
            row.clear();
            ++rows;
        }
    }
    if (!row.empty()) {
        context.store.AddMagicRow(market, kDate, std::move(row));
        ++rows;
    }

    CVelkAlert engine{CVelkServices{}};
    CVelkAlertTestAccess::SetMagicList(engine, watched);
    engine.GetNewMagicSignal(market);

    const CAlertRecordList& alerts = engine.GetAlertRecords();
    Require(alerts.size() <= rows);
    for (const Ta_ALERTRECORD& alert : alerts) {
        Require(alert.m_byMarket == market && (market == 1 || market == 10));
        const std::string code = VelkFieldText(alert.m_szCode);
        Require(code == kCodes[0] || code == kCodes[1] || code == kCodes[2]);
        Require(VelkFieldText(alert.m_szName).size() < sizeof alert.m_szName);
        Require(VelkFieldText(alert.m_szReason).size() < sizeof alert.m_szReason);
    }
    return 0;
}
