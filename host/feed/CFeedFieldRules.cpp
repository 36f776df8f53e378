#include "host/feed/CFeedFieldRules.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "platform/core/TextCodec.h"

namespace {

thread_local std::string t_error;

// A number as the day files would write it: the shortest text that reads back as it.
std::string_view ShortestText(double value, char (&text)[64])
{
    const auto result = std::to_chars(text, text + sizeof text, value);
    return {text, static_cast<std::size_t>(result.ptr - text)};
}

} // namespace

const char* CFeedFieldRules::Code(std::string_view code)
{
    return CQuoteValidator::Code(code, t_error) ? nullptr : t_error.c_str();
}

const char* CFeedFieldRules::Price(double price)
{
    return Price(price, std::isfinite(price) ? DecimalsOf(price) : 0);
}

const char* CFeedFieldRules::Price(double price, int decimals)
{
    if (!std::isfinite(price))
        return "the price is not finite";
    char buffer[64];
    const std::string_view text = ShortestText(price, buffer);
    double value = 0;
    if (!CQuoteValidator::OptionalPrice("price", text, value, t_error))
        return t_error.c_str();
    if (decimals > kMaxPriceDecimals) {
        t_error = "price " + CQuoteValidator::Quoted(text) + " has more than " +
                  std::to_string(kMaxPriceDecimals) + " decimals";
        return t_error.c_str();
    }
    return nullptr;
}

int CFeedFieldRules::DecimalsOf(double price)
{
    char buffer[64];
    return CQuoteValidator::DecimalsOf(ShortestText(price, buffer), price);
}

const char* CFeedFieldRules::TradePrice(double price, double limitUp, double prevClose)
{
    char buffer[64];
    return CQuoteValidator::TradePriceWithin(ShortestText(price, buffer), price,
                                             CQuoteValidator::TradePriceCeiling(limitUp, prevClose),
                                             t_error)
               ? nullptr
               : t_error.c_str();
}

const char* CFeedFieldRules::Text(std::string_view utf8, std::size_t maxBytes, std::string& gbk)
{
    if (!CQuoteValidator::Text("text", utf8, true, gbk, t_error))
        return t_error.c_str();
    if (gbk.size() > maxBytes)
        gbk = TextCodec::CutGbk(gbk, maxBytes);
    return nullptr;
}
