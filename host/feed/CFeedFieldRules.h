#pragma once

#include <string>
#include <string_view>

#include "host/core/CQuoteValidator.h"

// The checks of a feed line's fields: those of a trading-day file (CQuoteValidator), applied to
// the values the JSON parser read, so that a value refused in a file is refused in a feed. Each
// check returns null when the value is good, else why it is not (valid until the next check on
// the same thread).
class CFeedFieldRules {
public:
    static constexpr std::size_t kMaxCodeLength = CQuoteValidator::kMaxCodeLength;
    static constexpr std::size_t kMaxNameBytes = CQuoteValidator::kMaxNameBytes;
    static constexpr int kMaxPriceDecimals = CQuoteValidator::kMaxPriceDecimals;

    static const char* Code(std::string_view code);
    static const char* Price(double price);
    // The same for a price whose decimals are known already.
    static const char* Price(double price, int decimals);
    // The decimals of a price as written: those of the shortest text that reads back as it.
    static int DecimalsOf(double price);
    // A trade's price against its stock's limit-up price or previous close.
    static const char* TradePrice(double price, double limitUp, double prevClose);
    // A UTF-8 text into GBK, cut to maxBytes; null when done.
    static const char* Text(std::string_view utf8, std::size_t maxBytes, std::string& gbk);
};
