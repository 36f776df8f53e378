#include "host/feed/CFeedQuoteSource.h"

void CFeedQuoteSource::FillStore(const std::string& sysDir)
{
    // The quote service already holds what the feed sent so far; emptying it would lose the
    // symbols that came before the first trade.
    (void)sysDir;
}

IQuoteSource::Totals CFeedQuoteSource::AdvanceTo(CVelkAlert& engine, int time,
                                                 std::size_t maxEvents)
{
    // The feed's trades were handed to the engine as they arrived.
    (void)engine;
    (void)time;
    (void)maxEvents;
    return {};
}
