#pragma once

#include <functional>
#include <string_view>

// Hashes a std::string key and a std::string_view alike, so that a map keyed by strings is
// searched with a view and no string is made for the lookup.
struct StringViewHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const
    {
        return std::hash<std::string_view>{}(text);
    }
};
