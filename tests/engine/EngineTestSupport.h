#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/CVelkAlert.h"
#include "engine/VelkServices.h"
#include "hostlibs/CQuoteStore.h"
#include "tests/support/CTempDir.h"

// A fresh directory under the system temp dir, removed with the object.

class CFixedClock final : public IVelkClock {
public:
    VelkLocalTime Now() const override { return m_now; }
    VelkLocalTime m_now{2021, 12, 1, 10, 0, 0};
};

class CRecordingSound final : public IVelkSound {
public:
    void Beep(unsigned frequencyHz, unsigned durationMs) override
    {
        m_calls.push_back("beep " + std::to_string(frequencyHz) + " " + std::to_string(durationMs));
    }
    bool PlayWaveFile(const std::string& pathGbk) override
    {
        m_calls.push_back("wave " + pathGbk);
        return true;
    }
    std::vector<std::string> m_calls;
};

// Keeps every recorded alert in order, as the host's observer would see them.
class CAlertLog final : public IVelkAlertObserver {
public:
    void OnAlertRecorded(const Ta_ALERTRECORD& record) override { m_records.push_back(record); }
    std::vector<Ta_ALERTRECORD> m_records;
};

// Raw bytes of a record, for building files byte by byte in a test.
template <typename T> std::string RawBytes(const T& value)
{
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

inline Ta_VELKPRICEALERT MakeWatch(unsigned char market, const std::string& code,
                                   const std::string& name = {}, float upper = 0, float lower = 0)
{
    Ta_VELKPRICEALERT record{};
    record.m_byMarket = market;
    VelkCopyText(record.m_szCode, code);
    VelkCopyText(record.m_szName, name);
    record.m_fUpper = upper;
    record.m_fLower = lower;
    return record;
}

inline Ta_VELKPRICETABLE MakeQuote(unsigned char market, const std::string& code, float price,
                                   std::int32_t time = -1)
{
    Ta_VELKPRICETABLE quote{};
    quote.m_byMarket = market;
    VelkCopyText(quote.m_szCode, code);
    quote.m_fPrice = price;
    quote.m_nReserved = -1;
    quote.m_nTime = time;
    return quote;
}
