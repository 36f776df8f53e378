#pragma once

#include <functional>
#include <string>

#include "host/core/IQuoteSource.h"

// The quote source of a day that a live feed drives. The feed fills the quote service as its
// symbols arrive and its trades reach the engine as they are read, a batch each frame, not on
// a replay clock: there is nothing to replay, so a replay controller finds the day over. Each
// trade the feed takes in is passed on to the listener a day session sets, as a replay's are.
class CFeedQuoteSource final : public IQuoteSource {
public:
    void FillStore(const std::string& sysDir) override;
    void BeginReplay() override {}
    Totals AdvanceTo(CVelkAlert& engine, int time, std::size_t maxEvents) override;
    int NextEventTime() const override { return -1; }
    int FirstEventTime() const override { return -1; }
    int LastEventTime() const override { return -1; }
    void SetAfterEachTrade(
        std::function<void(unsigned char market, const std::string& code)> afterEachTrade) override
    {
        m_afterEachTrade = std::move(afterEachTrade);
    }

    // The feed took in a trade of the stock.
    void Traded(unsigned char market, const std::string& code) const
    {
        if (m_afterEachTrade)
            m_afterEachTrade(market, code);
    }

private:
    std::function<void(unsigned char, const std::string&)> m_afterEachTrade;
};
