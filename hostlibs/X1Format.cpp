#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "hostapi/KQCommon.h"
#include "hostlibs/CTextPool.h"
#include "platform/core/VelkCopyShort.h"
#include "platform/core/VelkNumber.h"

namespace {

constexpr std::uint64_t kMaxVolume = (std::uint64_t(1) << 40) - 1;

template <typename T> void StorePayload(std::uint8_t* bytes, T value)
{
    static_assert(sizeof(T) <= 5);
    std::memcpy(bytes + 2, &value, sizeof value);
}

template <typename T> T LoadPayload(const std::uint8_t* bytes)
{
    T value{};
    std::memcpy(&value, bytes + 2, sizeof value);
    return value;
}

// The five payload bytes, least significant first.
std::uint64_t LoadVolume(const std::uint8_t* bytes)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::uint32_t low = 0;
        std::memcpy(&low, bytes + 2, sizeof low);
        return low | (std::uint64_t(bytes[6]) << 32);
    }
    std::uint64_t value = 0;
    for (int i = 4; i >= 0; --i)
        value = (value << 8) | bytes[2 + i];
    return value;
}

struct Clock {
    unsigned hour = 0;
    unsigned minute = 0;
    unsigned second = 0;
};

Clock ClockFromHhmmss(long long value)
{
    if (value < 0)
        return {};
    return {
        unsigned(std::min<long long>(value / 10000, std::numeric_limits<unsigned short>::max())),
        unsigned(value / 100 % 100), unsigned(value % 100)};
}

// A text item may carry a time as "HH:MM:SS" (or "HH:MM") or as the digits HHMMSS.
Clock ClockFromText(const std::string& text)
{
    if (text.find(':') == std::string::npos)
        return ClockFromHhmmss(std::atoll(text.c_str()));
    int hour = 0, minute = 0, second = 0;
    if (std::sscanf(text.c_str(), "%d:%d:%d", &hour, &minute, &second) < 2 || hour < 0 ||
        minute < 0 || minute > 255 || second < 0 || second > 255 ||
        hour > std::numeric_limits<unsigned short>::max())
        return {};
    return {unsigned(hour), unsigned(minute), unsigned(second)};
}

} // namespace

X1Format::X1Format(unsigned short item, Kind kind) : m_bytes{}
{
    const unsigned high = (item >> 8) & 0x1F;
    m_bytes[0] = std::uint8_t((high & 0x07) | ((high >> 3) << 6) | (unsigned(kind) << 3));
    m_bytes[1] = std::uint8_t(item & 0xFF);
}

X1Format X1Format::None(unsigned short item)
{
    return X1Format(item, kNone);
}

X1Format X1Format::Price(unsigned short item, double price, int decimals)
{
    X1Format value(item, kPrice);
    StorePayload(value.m_bytes, static_cast<float>(price));
    return value.WithDecimals(decimals);
}

X1Format X1Format::Volume(unsigned short item, double volume)
{
    X1Format value(item, kVolume);
    std::uint64_t whole = 0;
    if (volume >= double(kMaxVolume))
        whole = kMaxVolume;
    else if (volume > 0) // also false for NaN
        whole = std::uint64_t(std::llround(volume));
    for (int i = 0; i < 5; ++i)
        value.m_bytes[2 + i] = std::uint8_t(whole >> (8 * i));
    return value;
}

X1Format X1Format::Integer(unsigned short item, std::int32_t number)
{
    X1Format value(item, kInteger);
    StorePayload(value.m_bytes, number);
    return value;
}

X1Format X1Format::Text(unsigned short item, const CString& text)
{
    X1Format value(item, kText);
    StorePayload(value.m_bytes, CTextPool::Instance().Intern(text));
    return value;
}

X1Format X1Format::Time(unsigned short item, int hour, int minute, int second)
{
    X1Format value(item, kTime);
    const auto hh =
        std::uint16_t(std::clamp(hour, 0, int(std::numeric_limits<std::uint16_t>::max())));
    StorePayload(value.m_bytes, hh);
    value.m_bytes[4] = std::uint8_t(std::clamp(minute, 0, 255));
    value.m_bytes[5] = std::uint8_t(std::clamp(second, 0, 255));
    return value;
}

X1Format X1Format::Date(unsigned short item, std::int32_t yyyymmdd)
{
    X1Format value(item, kDate);
    StorePayload(value.m_bytes, yyyymmdd);
    return value;
}

namespace {

// Text of at most kShortText bytes, set in the string's own room without a call: the bytes
// stand at the front of a block whose rest is zero, the string takes the block's first
// kShortText bytes, a size known when compiling, and is cut to the text's length.
constexpr std::size_t kShortText = 15;

// block: kShortText set bytes, the text's size of them first.
[[gnu::always_inline]] inline CString TextFromBlock(const char* block, std::size_t size)
{
    CString text(block, kShortText);
    text.resize(size);
    return text;
}

// Copies size <= kShortText bytes to the front of a zeroed block.
CString ShortText(const char* bytes, std::size_t size)
{
    char block[kShortText + 1] = {};
    VelkCopyShort(block, bytes, size);
    return TextFromBlock(block, size);
}

// The engine reads several values of every watched quote as text, so the numeric kinds are
// formatted with to_chars or exact whole-number arithmetic, which round exactly as "%.*f" does
// but cost a fraction of it, and a short text goes into the string without a detour.
CString PriceText(float price, int decimals)
{
    // The text ends at kVelkFixedTailSize; the zeroed bytes after it complete the block that a
    // short text is taken from.
    char buffer[kVelkFixedTailSize + kShortText + 1];
    char* end = buffer + kVelkFixedTailSize;
    std::memset(end, 0, kShortText + 1);
    const char* first = VelkFormatFixedTail(price, decimals, end);
    if (first && std::size_t(end - first) <= kShortText)
        return TextFromBlock(first, std::size_t(end - first));
    char text[kVelkFixedTextSize];
    return CString(text, VelkFormatFixed(price, decimals, text));
}

} // namespace

CString X1Format::s_GetAsString() const
{
    switch (GetKind()) {
    case kNone:
        return "-";
    case kPrice:
        return PriceText(LoadPayload<float>(m_bytes), GetDecimals());
    case kVolume: {
        // At most 13 digits, ending where zeroed bytes complete the block a text is taken from.
        char buffer[kVelkFixedTailSize + kShortText + 1];
        char* end = buffer + kVelkFixedTailSize;
        std::memset(end, 0, kShortText + 1);
        const char* first = VelkFormatWholeTail(LoadVolume(m_bytes), end);
        return TextFromBlock(first, std::size_t(end - first));
    }
    case kInteger: {
        // At most 11 characters.
        char block[kShortText + 1] = {};
        const auto result =
            std::to_chars(block, block + kShortText, LoadPayload<std::int32_t>(m_bytes));
        return TextFromBlock(block, std::size_t(result.ptr - block));
    }
    case kText: {
        const std::string& text = CTextPool::Instance().Get(LoadPayload<std::uint32_t>(m_bytes));
        return text.size() <= kShortText ? ShortText(text.data(), text.size()) : text;
    }
    case kTime: {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%02u:%02u:%02u", unsigned(GetHour()),
                      unsigned(GetMinute()), unsigned(GetSecond()));
        return buffer;
    }
    case kDate: {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%08d", int(LoadPayload<std::int32_t>(m_bytes)));
        return buffer;
    }
    }
    return "-";
}

X1Format::operator CString() const
{
    return s_GetAsString();
}

// A quote's limit prices and day's high and low are read as numbers, its time by parts: those
// kinds are tested first, before the general dispatch.
X1Format::operator double() const
{
    if (GetKind() == kPrice)
        return double(LoadPayload<float>(m_bytes));
    switch (GetKind()) {
    case kNone:
        return 0.0;
    case kPrice:
        return double(LoadPayload<float>(m_bytes));
    case kVolume:
        return double(LoadVolume(m_bytes));
    case kInteger:
    case kDate:
        return double(LoadPayload<std::int32_t>(m_bytes));
    case kText:
        return VelkAtof(CTextPool::Instance().Get(LoadPayload<std::uint32_t>(m_bytes)));
    case kTime:
        return double(GetHour()) * 10000 + GetMinute() * 100 + GetSecond();
    }
    return 0.0;
}

unsigned short X1Format::GetHour() const
{
    if (GetKind() == kTime)
        return LoadPayload<std::uint16_t>(m_bytes);
    switch (GetKind()) {
    case kInteger:
        return static_cast<unsigned short>(
            ClockFromHhmmss(LoadPayload<std::int32_t>(m_bytes)).hour);
    case kText:
        return static_cast<unsigned short>(
            ClockFromText(CTextPool::Instance().Get(LoadPayload<std::uint32_t>(m_bytes))).hour);
    default:
        return 0;
    }
}

unsigned char X1Format::GetMinute() const
{
    if (GetKind() == kTime)
        return m_bytes[4];
    switch (GetKind()) {
    case kInteger:
        return static_cast<unsigned char>(
            ClockFromHhmmss(LoadPayload<std::int32_t>(m_bytes)).minute);
    case kText:
        return static_cast<unsigned char>(
            ClockFromText(CTextPool::Instance().Get(LoadPayload<std::uint32_t>(m_bytes))).minute);
    default:
        return 0;
    }
}

unsigned char X1Format::GetSecond() const
{
    if (GetKind() == kTime)
        return m_bytes[5];
    switch (GetKind()) {
    case kInteger:
        return static_cast<unsigned char>(
            ClockFromHhmmss(LoadPayload<std::int32_t>(m_bytes)).second);
    case kText:
        return static_cast<unsigned char>(
            ClockFromText(CTextPool::Instance().Get(LoadPayload<std::uint32_t>(m_bytes))).second);
    default:
        return 0;
    }
}
