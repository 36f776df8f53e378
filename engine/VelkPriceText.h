#pragma once

#include <charconv>
#include <string>
#include <string_view>

// A recorded price as the alert list and the host show it: with three decimals when it has a
// third one (funds and ETFs trade at 0.001, as 2.344), with two otherwise (10.00). The shortest
// text that reads back as the same float tells how many decimals the price was quoted with.
inline std::string VelkPriceText(float price)
{
    char text[64];
    auto shortest = std::to_chars(text, text + sizeof text, price, std::chars_format::fixed);
    int decimals = 2;
    if (shortest.ec == std::errc()) {
        const std::string_view digits(text, static_cast<std::size_t>(shortest.ptr - text));
        const std::size_t point = digits.find('.');
        if (point != std::string_view::npos && digits.size() - point - 1 > 2)
            decimals = 3;
    }
    const auto result = std::to_chars(text, text + sizeof text, static_cast<double>(price),
                                      std::chars_format::fixed, decimals);
    return result.ec == std::errc() ? std::string(text, result.ptr) : std::string("-");
}
