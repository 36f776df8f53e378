#pragma once

#include <cstddef>
#include <functional>
#include <limits>
#include <string>

class CVelkAlert;

// Whatever hands a trading day's quotes to an engine over time, as the quote application's
// data feed does: the replay of a recorded day, or a live feed. The replay controller drives
// any of them on the event loop, second by second.
class IQuoteSource {
public:
    struct Totals {
        int trades = 0;
        int notifications = 0; // vRecvNewMemory calls, for subscribed stocks only
        int signals = 0;
    };

    virtual ~IQuoteSource() = default;

    // Empties the quote service and fills it with the day's markets and symbols.
    virtual void FillStore(const std::string& sysDir) = 0;
    // Goes back to the start of the day (the quote service keeps what it was told so far).
    virtual void BeginReplay() = 0;
    // Hands every trade and signal up to and including the second `time` to the engine, or
    // only the first maxEvents of them.
    virtual Totals AdvanceTo(CVelkAlert& engine, int time,
                             std::size_t maxEvents = std::numeric_limits<std::size_t>::max()) = 0;
    // The second of the next trade or signal, -1 when nothing more is known.
    virtual int NextEventTime() const = 0;
    // The seconds of the day's first and last trade or signal, -1 when there are none.
    virtual int FirstEventTime() const = 0;
    virtual int LastEventTime() const = 0;

    // Told of every trade as the quote service takes it in, before the engine hears of it.
    virtual void SetAfterEachTrade(
        std::function<void(unsigned char market, const std::string& code)> afterEachTrade) = 0;
};
