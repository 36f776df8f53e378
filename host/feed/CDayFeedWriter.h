#pragma once

#include <cstddef>
#include <string>

class CTradingDay;

// A recorded trading day as feed lines: the hello with the markets and the signal catalogue,
// every symbol, every stock group, then the trades and signals in the order a replay of the day
// takes them (a trade before a signal of the same second), and the end. One line at a time, so
// a day of millions of trades is never held twice.
class CDayFeedWriter {
public:
    explicit CDayFeedWriter(const CTradingDay& day);

    // The next line with its newline, appended to `line`; its time of day in seconds (-1 for
    // lines that belong to no moment) and the NATS subject below the prefix that it goes to
    // ("hello", "1.600000", "group", "end"). False after the end.
    bool Next(std::string& line, int& time, std::string& subject);
    void Rewind();

private:
    void Symbol(std::size_t index, std::string& line, std::string& subject) const;
    bool Group(std::string& line, std::string& subject);

    const CTradingDay& m_day;
    enum class Stage { Hello, Symbols, Groups, Events, End, Done };
    Stage m_stage = Stage::Hello;
    std::size_t m_nNext = 0; // symbol or group member
    std::size_t m_nTrade = 0;
    std::size_t m_nSignal = 0;
};
