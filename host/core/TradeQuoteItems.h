#pragma once

#include <array>

#include "hostapi/KQCommon.h"
#include "hostapi/QuoteItems.h"
#include "hostlibs/CQuoteStore.h"

// A time of day in seconds as the quote service's time item.
inline X1Format TimeItem(unsigned short item, int seconds)
{
    return X1Format::Time(item, seconds / 3600, seconds / 60 % 60, seconds % 60);
}

// What a trade sets in the quote service, the same whether a recorded day is replayed or a feed
// is followed, so that the module sees one market either way: the last price (125 and 182), the
// day's volume (413), high (130) and low (131), the trade's time (143), the open and the money
// traded. State holds the stock's figures after the trade (last, volume, high, low, open,
// amount).
template <class State> std::array<X1Format, 8> TradeItems(const State& state, int time)
{
    return {X1Format::Price(125, state.last),
            X1Format::Price(182, state.last),
            X1Format::Volume(413, state.volume),
            X1Format::Price(130, state.high),
            X1Format::Price(131, state.low),
            TimeItem(143, time),
            X1Format::Price(QuoteItem::kOpenPrice, state.open),
            X1Format::Volume(QuoteItem::kAmount, state.amount)};
}

// The trade's items, in one call.
template <class State>
void SetTradeItems(CQuoteStore& store, unsigned char market, const CString& code,
                   const State& state, int time)
{
    const std::array<X1Format, 8> items = TradeItems(state, time);
    store.SetItems(market, code, items);
}

// A new trading day takes back what trades set: until the stock trades again the quote service
// has no price, volume, high, low, open, amount or time of it, as for a stock never traded,
// rather than yesterday's shown as today's.
inline void ClearTradeItems(CQuoteStore& store, unsigned char market, const CString& code)
{
    struct NoTrade {
        double last = 0, volume = 0, high = 0, low = 0, open = 0, amount = 0;
    };
    std::array<X1Format, 8> items = TradeItems(NoTrade{}, 0);
    for (X1Format& item : items)
        item = X1Format::None(item.GetItemNo());
    store.SetItems(market, code, items);
}
