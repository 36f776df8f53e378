#include "CAlertPrinter.h"

#include "TextCodec.h"
#include "VelkPriceText.h"

std::string CAlertPrinter::FormatLine(const Ta_ALERTRECORD& record)
{
    // A time outside one day would print as 25:00:00 or worse; fold it into the day.
    long long time = record.m_nTime;
    time = ((time % 86400) + 86400) % 86400;
    char clock[16];
    std::snprintf(clock, sizeof clock, "%02lld:%02lld:%02lld", time / 3600, time / 60 % 60,
                  time % 60);
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

void CAlertPrinter::OnAlertRecorded(const Ta_ALERTRECORD& record)
{
    ++m_nCount;
    std::string line = FormatLine(record);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), m_pOut);
    // Whoever reads the host's output sees each alert as it happens, not at exit.
    std::fflush(m_pOut);
}
