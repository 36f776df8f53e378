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
// The formatted text is moved out in one copy of this many bytes.
constexpr std::size_t kCopied = 32;
static_assert(kCopied <= kVelkFixedTextSize);

bool IsDigit(char c)
{
    return static_cast<unsigned char>(c - '0') < 10;
}

// Quotes carry plain decimals ("10.25", "3500"): digits with at most one point and no
// exponent. Read as whole digits over a power of ten, both exact as doubles, one division
// rounds them as a full conversion would. False where the text needs the full conversion.
bool ReadPlainDecimal(const char* p, const char* end, double& value)
{
    // Nineteen digits always fit in 64 bits; a longer text wraps, and is sent on below.
    std::uint64_t digits = 0;
    const char* first = p;
    for (; p < end && IsDigit(*p); ++p)
        digits = digits * 10 + static_cast<unsigned>(*p - '0');
    std::size_t count = static_cast<std::size_t>(p - first);
    std::size_t fraction = 0;
    if (p < end && *p == '.') {
        const char* firstDecimal = ++p;
        for (; p < end && IsDigit(*p); ++p)
            digits = digits * 10 + static_cast<unsigned>(*p - '0');
        fraction = static_cast<std::size_t>(p - firstDecimal);
        count += fraction;
    }
    // An exponent, or no digit at all ("inf", "nan", "."), takes the full conversion.
    if (count == 0 || count > 19 || (p < end && (*p == 'e' || *p == 'E')))
        return false;
    if (digits > (std::uint64_t(1) << 53) || fraction > 22)
        return false;
    value = static_cast<double>(digits) / kPowersOfTen[fraction];
    return true;
}

// The whole text is a plain decimal ("10.25", "3500", at most nineteen characters): the
// quote service's prices and volumes. One pass, with no blank, sign or exponent to look for.
// False where any other character comes, so that the full reading decides.
bool ReadWholeDecimal(std::string_view text, double& value)
{
    const std::size_t size = text.size();
    if (size == 0 || size > 19)
        return false;
    std::uint64_t digits = 0;
    std::size_t point = size;
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned digit = static_cast<unsigned char>(text[i]) - unsigned('0');
        if (digit < 10) {
            digits = digits * 10 + digit;
        } else if (text[i] == '.' && point == size) {
            point = i;
        } else {
            return false;
        }
    }
    // A lone point has no digit; beyond 2^53 the whole digits are no longer exact.
    if (point != size && size == 1)
        return false;
    if (digits > (std::uint64_t(1) << 53))
        return false;
    const std::size_t fraction = point == size ? 0 : size - point - 1;
    value = static_cast<double>(digits) / kPowersOfTen[fraction];
    return true;
}

} // namespace

double VelkAtof(std::string_view text)
{
    double whole = 0;
    if (ReadWholeDecimal(text, whole))
        return whole;
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
    // Written backwards from the middle of the buffer, so that one copy of a fixed size moves
    // it out: at most 19 digits, the point and the sign.
    char text[2 * kCopied];
    // What the copy takes beyond the text is set, though never read.
    std::memset(text + kCopied, 0, kCopied);
    char* q = text + kCopied;
    for (int i = 0; i < decimals; ++i) {
        *--q = static_cast<char>('0' + units % 10);
        units /= 10;
    }
    if (decimals > 0)
        *--q = '.';
    // At least one digit before the point.
    do {
        *--q = static_cast<char>('0' + units % 10);
        units /= 10;
    } while (units != 0);
    if (bits >> 31)
        *--q = '-';
    std::memcpy(out, q, kCopied);
    return static_cast<std::size_t>(text + kCopied - q);
}
