#include "host/feed/CFeedFieldRules.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "platform/core/TextCodec.h"

const char* CFeedFieldRules::Code(std::string_view code)
{
    if (code.empty())
        return "the code is empty";
    if (code.size() > kMaxCodeLength)
        return "the code is longer than 11 characters";
    for (char c : code)
        if (c <= ' ' || c > '~')
            return "the code holds a character other than printable ASCII";
    return nullptr;
}

const char* CFeedFieldRules::Price(double price)
{
    return Price(price, std::isfinite(price) ? DecimalsOf(price) : 0);
}

const char* CFeedFieldRules::Price(double price, int decimals)
{
    if (!std::isfinite(price))
        return "the price is not finite";
    if (price < 0)
        return "the price is negative";
    // The quote service holds a price as a 32-bit float.
    if (price > std::numeric_limits<float>::max())
        return "the price is too large";
    if (decimals > kMaxPriceDecimals)
        return "the price has more than 3 decimals";
    return nullptr;
}

int CFeedFieldRules::DecimalsOf(double price)
{
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, price, std::chars_format::fixed);
    if (result.ec != std::errc())
        return std::numeric_limits<int>::max();
    const std::string_view digits(text, static_cast<std::size_t>(result.ptr - text));
    const std::size_t point = digits.find('.');
    return point == std::string_view::npos ? 0 : static_cast<int>(digits.size() - point - 1);
}

const char* CFeedFieldRules::Text(std::string_view utf8, std::size_t maxBytes, std::string& gbk)
{
    // The parser has checked the UTF-8; what remains is whether GBK can hold it.
    const std::string text(utf8);
    gbk = TextCodec::Utf8ToGbk(text);
    if (TextCodec::GbkToUtf8(gbk) != text)
        return "the text has characters that GBK cannot hold";
    if (gbk.size() > maxBytes)
        gbk = TextCodec::CutGbk(gbk, maxBytes);
    return nullptr;
}
