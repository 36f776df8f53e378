#pragma once

#include <cstdint>
#include <string>

#include "KQApiExport.h"

// The framework's string class. Below the user interface every text is GBK bytes.
using CString = std::string;

// One item value of the quote service. A value is exactly 7 bytes: the first two carry the
// number of the item it holds, read back as
//     item = (((b0 & 0x07) | ((b0 >> 6) << 3)) << 8) | b1
// so item numbers 0..8191 fit. Bits 3..5 of b0 carry the kind of value; bytes 2..6 the payload.
// A price is a 32-bit float in bytes 2..5 and the number of decimals it is shown with in byte 6:
// the quote service knows each instrument's tick (0.01 for stocks, 0.001 for funds and ETFs).
// Texts are interned in a process-wide pool and carried by their 32-bit pool index, so a value
// stays trivially copyable.
class KQ_API X1Format {
public:
    enum Kind : std::uint8_t {
        kNone = 0,    // no data: displays as "-"
        kPrice = 1,   // 32-bit float, displays with its own decimals (2 unless told)
        kVolume = 2,  // 40-bit unsigned integer, displays as a whole number
        kInteger = 3, // 32-bit signed integer
        kText = 4,    // interned GBK text
        kTime = 5,    // hour, minute, second
        kDate = 6,    // yyyymmdd as 32-bit integer
    };

    X1Format() = default;
    static X1Format None(unsigned short item);
    static constexpr int kStockDecimals = 2;
    static constexpr int kMaxDecimals = 6;

    // decimals is clamped to 0..kMaxDecimals.
    static X1Format Price(unsigned short item, double price, int decimals = kStockDecimals);
    static X1Format Volume(unsigned short item, double volume);
    static X1Format Integer(unsigned short item, std::int32_t value);
    static X1Format Text(unsigned short item, const CString& text);
    static X1Format Time(unsigned short item, int hour, int minute, int second);
    static X1Format Date(unsigned short item, std::int32_t yyyymmdd);

    // These few are read for every item of every quote, so they are inline.
    unsigned short GetItemNo() const
    {
        const unsigned b0 = m_bytes[0];
        return static_cast<unsigned short>((((b0 & 0x07) | ((b0 >> 6) << 3)) << 8) | m_bytes[1]);
    }
    Kind GetKind() const
    {
        const unsigned kind = (m_bytes[0] >> 3) & 0x07;
        return kind <= kDate ? Kind(kind) : kNone;
    }
    // The decimals a price is shown with; 0 for the other kinds.
    int GetDecimals() const
    {
        return GetKind() == kPrice ? (m_bytes[6] < kMaxDecimals ? m_bytes[6] : kMaxDecimals) : 0;
    }
    // A price is shown with the given decimals from now on; any other kind is left as it is.
    void SetDecimals(int decimals)
    {
        if (GetKind() == kPrice)
            m_bytes[6] = std::uint8_t(decimals < 0              ? 0
                                      : decimals > kMaxDecimals ? kMaxDecimals
                                                                : decimals);
    }
    // A price shown with the given decimals; any other kind is returned as it is.
    X1Format WithDecimals(int decimals) const
    {
        X1Format value = *this;
        value.SetDecimals(decimals);
        return value;
    }

    // Display text: prices with their decimals, volumes and integers whole, times HH:MM:SS,
    // dates yyyymmdd, texts as they are, no data as "-".
    CString s_GetAsString() const;
    operator CString() const;
    operator double() const;

    unsigned short GetHour() const;
    unsigned char GetMinute() const;
    unsigned char GetSecond() const;

    const std::uint8_t* Bytes() const { return m_bytes; }

private:
    X1Format(unsigned short item, Kind kind);
    std::uint8_t m_bytes[7] = {}; // no data
};

static_assert(sizeof(X1Format) == 7, "X1Format is 7 bytes");

// The host's system directory, without a trailing separator. The argument is always 0.
KQ_API CString s_KQGetSysPath(unsigned char which);

// The localised text for a key.
KQ_API CString s_KQcszGetLangString(const char* key);
