#include "platform/core/VelkNumber.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr std::uint64_t kWholePowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000};

// Quotes carry plain decimals ("10.25", "3500"): digits with at most one point and no
// exponent. Read as whole digits over a power of ten, both exact as doubles, one division
// rounds them as a full conversion would. False where the text needs the full conversion.
bool ReadPlainDecimal(const char* p, const char* end, double& value)
{
    std::uint64_t digits = 0;
    int count = 0;
    int fraction = 0;
    bool point = false;
    for (; p < end; ++p) {
        const char c = *p;
        if (c >= '0' && c <= '9') {
            if (count == 19)
                return false;
            digits = digits * 10 + static_cast<unsigned>(c - '0');
            ++count;
            fraction += point ? 1 : 0;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    // An exponent, or no digit at all ("inf", "nan", "."), takes the full conversion.
    if (count == 0 || (p < end && (*p == 'e' || *p == 'E')))
        return false;
    if (digits > (std::uint64_t(1) << 53) || fraction > 22)
        return false;
    value = static_cast<double>(digits) / kPowersOfTen[fraction];
    return true;
}

} // namespace

double VelkAtof(std::string_view text)
{
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r')))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    double value = 0;
    if (!ReadPlainDecimal(p, end, value) &&
        std::from_chars(p, end, value, std::chars_format::general).ec != std::errc())
        return 0;
    return negative ? -value : value;
}

std::size_t VelkFormatFixed(float value, int decimals, char* out)
{
    if (decimals < 0)
        decimals = 0;
    if (decimals > 6)
        decimals = 6;
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const int exponent = static_cast<int>((bits >> 23) & 0xFF);
    std::uint64_t mantissa = bits & 0x7FFFFF;
    // value = mantissa * 2^shift exactly.
    int shift = 0;
    if (exponent == 0) {
        shift = -149;
    } else {
        mantissa |= 0x800000;
        shift = exponent - 150;
    }
    // Beyond 2^40 (or not finite) the general conversion writes it; prices never get there.
    if (exponent == 0xFF || shift > 16) {
        const auto result = std::to_chars(out, out + kVelkFixedTextSize, static_cast<double>(value),
                                          std::chars_format::fixed, decimals);
        return static_cast<std::size_t>(result.ptr - out);
    }
    // The value in units of the last decimal, rounded from its exact binary value, ties to even.
    const std::uint64_t scaled = mantissa * kWholePowersOfTen[decimals]; // below 2^44
    std::uint64_t units = 0;
    if (shift >= 0) {
        units = scaled << shift;
    } else if (-shift < 63) {
        const int drop = -shift;
        units = scaled >> drop;
        const std::uint64_t rest = scaled & ((std::uint64_t(1) << drop) - 1);
        const std::uint64_t half = std::uint64_t(1) << (drop - 1);
        if (rest > half || (rest == half && (units & 1)))
            ++units;
    }
    char digits[24];
    std::size_t n = 0;
    do {
        digits[n++] = static_cast<char>('0' + units % 10);
        units /= 10;
    } while (units != 0);
    // At least one digit before the point.
    while (n < static_cast<std::size_t>(decimals) + 1)
        digits[n++] = '0';
    std::size_t length = 0;
    if (bits >> 31)
        out[length++] = '-';
    while (n > static_cast<std::size_t>(decimals))
        out[length++] = digits[--n];
    if (decimals > 0) {
        out[length++] = '.';
        while (n > 0)
            out[length++] = digits[--n];
    }
    return length;
}
