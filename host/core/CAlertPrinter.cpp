#include "host/core/CAlertPrinter.h"

#include "engine/VelkPriceText.h"
#include "platform/core/TextCodec.h"
#include "platform/core/VelkClockText.h"

std::string CAlertPrinter::FormatLine(const Ta_ALERTRECORD& record)
{
    // A time outside one day would print as 25:00:00 or worse; fold it into the day.
    long long time = record.m_nTime;
    time = ((time % 86400) + 86400) % 86400;
    const std::string clock = VelkClockText(time);
    char volume[64];
    std::snprintf(volume, sizeof volume, "%.0f", static_cast<double>(record.m_fVolume));

    std::string line = clock;
    line += '\t';
    line += std::to_string(static_cast<int>(record.m_byMarket));
    line += '\t';
    line += TextCodec::GbkToUtf8(VelkFieldText(record.m_szCode));
    line += '\t';
    line += TextCodec::GbkToUtf8(VelkFieldText(record.m_szName));
    line += '\t';
    line += VelkPriceText(record.m_fPrice);
    line += '\t';
    line += volume;
    line += '\t';
    line += TextCodec::GbkToUtf8(VelkFieldText(record.m_szReason));
    return line;
}

CAlertPrinter::~CAlertPrinter()
{
    Flush();
}

void CAlertPrinter::OnAlertRecorded(const Ta_ALERTRECORD& record)
{
    ++m_nCount;
    std::string line = FormatLine(record);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), m_pOut);
    m_bUnflushed = true;
    FlushEachFrame();
}

void CAlertPrinter::FlushEachFrame()
{
    constexpr std::chrono::milliseconds kFrame(16);
    if (m_bUnflushed && std::chrono::steady_clock::now() - m_lastFlush >= kFrame)
        Flush();
}

void CAlertPrinter::Flush()
{
    if (!m_bUnflushed)
        return;
    // Whoever reads the host's output sees the alerts as they happen, not at exit.
    std::fflush(m_pOut);
    m_bUnflushed = false;
    m_lastFlush = std::chrono::steady_clock::now();
}
