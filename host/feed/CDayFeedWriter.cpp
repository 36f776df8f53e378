#include "host/feed/CDayFeedWriter.h"

#include <charconv>
#include <cstdio>

#include "host/core/CTradingDay.h"
#include "platform/core/TextCodec.h"

namespace {

void AppendString(std::string& out, const std::string& utf8)
{
    out += '"';
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

void AppendGbk(std::string& out, const std::string& gbk)
{
    AppendString(out, TextCodec::GbkToUtf8(gbk));
}

// The shortest text that reads back as the same double: the host sees the very price the
// day file gave.
void AppendNumber(std::string& out, double value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

void AppendInteger(std::string& out, long long value)
{
    out += std::to_string(value);
}

void AppendTime(std::string& out, int seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "\"%02d:%02d:%02d\"", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    out += text;
}

std::string Subject(unsigned char market, const std::string& code)
{
    return std::to_string(market) + "." + code;
}

} // namespace

CDayFeedWriter::CDayFeedWriter(const CTradingDay& day) : m_day(day) {}

void CDayFeedWriter::Rewind()
{
    m_stage = Stage::Hello;
    m_nNext = m_nTrade = m_nSignal = 0;
}

void CDayFeedWriter::Symbol(std::size_t index, std::string& line, std::string& subject) const
{
    const CTradingDay::Symbol& symbol = m_day.Symbols()[index];
    line += "{\"type\":\"symbol\",\"market\":";
    AppendInteger(line, symbol.market);
    line += ",\"code\":";
    AppendString(line, symbol.code);
    line += ",\"name\":";
    AppendGbk(line, symbol.nameGbk);
    line += ",\"prev_close\":";
    AppendNumber(line, symbol.prevClose);
    line += ",\"limit_up\":";
    AppendNumber(line, symbol.limitUp);
    line += ",\"limit_down\":";
    AppendNumber(line, symbol.limitDown);
    line += ",\"decimals\":";
    AppendInteger(line, symbol.decimals);
    if (symbol.fiveDayVolumePerMinute > 0) {
        line += ",\"five_day_volume_per_minute\":";
        AppendNumber(line, symbol.fiveDayVolumePerMinute);
    }
    if (symbol.circulatingShares > 0) {
        line += ",\"circulating_shares\":";
        AppendNumber(line, symbol.circulatingShares);
    }
    line += "}\n";
    subject = Subject(symbol.market, symbol.code);
}

bool CDayFeedWriter::Group(std::string& line, std::string& subject)
{
    // Members of one group are consecutive in the day's order of first appearance; a group
    // that comes back later in groups.csv is gathered here with its first members.
    const auto& groups = m_day.Groups();
    while (m_nNext < groups.size()) {
        const CTradingDay::GroupMember& first = groups[m_nNext];
        bool seen = false;
        for (std::size_t i = 0; i < m_nNext && !seen; ++i)
            seen = groups[i].userGbk == first.userGbk && groups[i].groupGbk == first.groupGbk;
        if (seen) {
            ++m_nNext;
            continue;
        }
        line += "{\"type\":\"group\",\"user\":";
        AppendGbk(line, first.userGbk);
        line += ",\"group\":";
        AppendGbk(line, first.groupGbk);
        line += ",\"members\":[";
        bool comma = false;
        for (std::size_t i = m_nNext; i < groups.size(); ++i) {
            if (groups[i].userGbk != first.userGbk || groups[i].groupGbk != first.groupGbk)
                continue;
            if (comma)
                line += ',';
            comma = true;
            line += "{\"market\":";
            AppendInteger(line, groups[i].market);
            line += ",\"code\":";
            AppendString(line, groups[i].code);
            line += '}';
        }
        line += "]}\n";
        subject = "group";
        ++m_nNext;
        return true;
    }
    return false;
}

bool CDayFeedWriter::Next(std::string& line, int& time, std::string& subject)
{
    time = -1;
    switch (m_stage) {
    case Stage::Hello: {
        line += "{\"type\":\"hello\",\"version\":1,\"date\":";
        AppendInteger(line, m_day.TradeDate());
        line += ",\"markets\":[";
        for (std::size_t i = 0; i < m_day.Markets().size(); ++i) {
            const CTradingDay::Market& market = m_day.Markets()[i];
            line += i ? ",{\"market\":" : "{\"market\":";
            AppendInteger(line, market.market);
            line += ",\"ext\":";
            AppendGbk(line, market.extGbk);
            line += ",\"level1\":";
            AppendInteger(line, market.level1);
            line += '}';
        }
        line += "],\"signals\":[";
        for (std::size_t i = 0; i < m_day.MagicNames().size(); ++i) {
            const CTradingDay::MagicName& magic = m_day.MagicNames()[i];
            line += i ? ",{\"number\":" : "{\"number\":";
            AppendInteger(line, magic.number);
            line += ",\"name\":";
            AppendGbk(line, magic.nameGbk);
            line += '}';
        }
        line += "]}\n";
        subject = "hello";
        m_stage = Stage::Symbols;
        m_nNext = 0;
        return true;
    }
    case Stage::Symbols:
        if (m_nNext < m_day.Symbols().size()) {
            Symbol(m_nNext++, line, subject);
            return true;
        }
        m_stage = Stage::Groups;
        m_nNext = 0;
        [[fallthrough]];
    case Stage::Groups:
        if (Group(line, subject))
            return true;
        m_stage = Stage::Events;
        [[fallthrough]];
    case Stage::Events: {
        const auto& trades = m_day.Trades();
        const auto& signals = m_day.Signals();
        const bool trade = m_nTrade < trades.size();
        const bool signal = m_nSignal < signals.size();
        if (trade && (!signal || trades[m_nTrade].time <= signals[m_nSignal].time)) {
            const CTradingDay::Trade& t = trades[m_nTrade++];
            const CTradingDay::Symbol& symbol = m_day.SymbolOf(t);
            line += "{\"type\":\"trade\",\"time\":";
            AppendTime(line, t.time);
            line += ",\"market\":";
            AppendInteger(line, symbol.market);
            line += ",\"code\":";
            AppendString(line, symbol.code);
            line += ",\"price\":";
            AppendNumber(line, t.price);
            line += ",\"volume\":";
            AppendNumber(line, t.volume);
            line += "}\n";
            time = t.time;
            subject = Subject(symbol.market, symbol.code);
            return true;
        }
        if (signal) {
            const CTradingDay::Signal& s = signals[m_nSignal++];
            line += "{\"type\":\"signal\",\"time\":";
            AppendTime(line, s.time);
            line += ",\"market\":";
            AppendInteger(line, s.market);
            line += ",\"code\":";
            AppendString(line, s.code);
            line += ",\"number\":";
            AppendInteger(line, s.number);
            line += "}\n";
            time = s.time;
            subject = Subject(s.market, s.code);
            return true;
        }
        m_stage = Stage::End;
        [[fallthrough]];
    }
    case Stage::End:
        line += "{\"type\":\"end\"}\n";
        subject = "end";
        m_stage = Stage::Done;
        return true;
    case Stage::Done:
        break;
    }
    return false;
}
