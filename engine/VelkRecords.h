#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <limits>
#include <string>
#include <string_view>

// Records exchanged with the host and stored in files. They are copied as whole blocks and
// written raw, so their byte layout is binding: 1-byte packing, little-endian, 32-bit floats.
#pragma pack(push, 1)

// One quote snapshot of one stock.
struct Ta_VELKPRICETABLE {
    std::uint8_t m_byMarket;
    char m_szCode[12];
    char m_szName[50];
    float m_fPrice;           // last price (item 125)
    float m_fPrice2;          // second price item (182), carried only
    float m_fLimitUp;         // item 132
    float m_fLimitDown;       // item 133
    float m_fVolume;          // item 413
    std::int32_t m_nReserved; // always -1
    std::int32_t m_nTime;     // seconds since midnight (item 143); below 1 means "now"
};

// One watched stock. The four floats mean different things per list: upper/lower limit for
// price alerts, the day's high/low so far for system alerts.
struct Ta_VELKPRICEALERT {
    std::uint8_t m_byMarket;
    char m_szCode[12];
    char m_szName[50];
    float m_fPreClose;
    float m_fUpper;            // price alerts: upper limit; system alerts: day's high so far
    float m_fLower;            // price alerts: lower limit; system alerts: day's low so far
    float m_fLast;             // last price seen by the evaluation
    std::int32_t m_nMagic[18]; // magic-signal switches by magic index
};

// Sound and pop-up options.
struct Ta_OTHERALERT {
    std::int32_t m_nSoundMode; // 0 none, 1 system speaker, 2 wave file
    char m_szWavePath[260];
    std::uint8_t m_byPopup;
};

// Alert ratio settings, stored at the head of alert.cfg.
struct Ta_ALERTSETTING {
    std::int32_t m_bPopupDialog;
    std::int32_t m_bSound;
    std::int32_t m_bNewHigh;
    std::int32_t m_bNewLow;
    std::int32_t m_bLimitPrice;
    float m_fRiseRatio;
    float m_fFallRatio;
    float m_fVolumeRatio;
    float m_fSingleRatio;
    float m_fLargeAmount;
    float m_fLargeVolume;
};

// One raised alert, kept newest-first and stored in the day file.
struct Ta_ALERTRECORD {
    std::uint8_t m_byMarket;
    char m_szCode[12];
    char m_szName[50];
    std::int32_t m_nTime; // seconds since local midnight
    float m_fPrice;
    float m_fVolume;
    char m_szReason[50];
};

// The system-alert switches, stored at the head of System_alert.cfg.
struct Ta_SYSTEMSWITCH {
    std::uint8_t m_byNewHigh;
    std::uint8_t m_byNewLow;
    std::uint8_t m_byLimit;
    std::int32_t m_nRange; // 0 A shares and SME board, 1 self-selected, 2 self-set list
};

#pragma pack(pop)

static_assert(sizeof(Ta_VELKPRICETABLE) == 91);
static_assert(offsetof(Ta_VELKPRICETABLE, m_byMarket) == 0);
static_assert(offsetof(Ta_VELKPRICETABLE, m_szCode) == 1);
static_assert(offsetof(Ta_VELKPRICETABLE, m_szName) == 13);
static_assert(offsetof(Ta_VELKPRICETABLE, m_fPrice) == 63);
static_assert(offsetof(Ta_VELKPRICETABLE, m_fPrice2) == 67);
static_assert(offsetof(Ta_VELKPRICETABLE, m_fLimitUp) == 71);
static_assert(offsetof(Ta_VELKPRICETABLE, m_fLimitDown) == 75);
static_assert(offsetof(Ta_VELKPRICETABLE, m_fVolume) == 79);
static_assert(offsetof(Ta_VELKPRICETABLE, m_nReserved) == 83);
static_assert(offsetof(Ta_VELKPRICETABLE, m_nTime) == 87);

static_assert(sizeof(Ta_VELKPRICEALERT) == 151);
static_assert(offsetof(Ta_VELKPRICEALERT, m_byMarket) == 0);
static_assert(offsetof(Ta_VELKPRICEALERT, m_szCode) == 1);
static_assert(offsetof(Ta_VELKPRICEALERT, m_szName) == 13);
static_assert(offsetof(Ta_VELKPRICEALERT, m_fPreClose) == 63);
static_assert(offsetof(Ta_VELKPRICEALERT, m_fUpper) == 67);
static_assert(offsetof(Ta_VELKPRICEALERT, m_fLower) == 71);
static_assert(offsetof(Ta_VELKPRICEALERT, m_fLast) == 75);
static_assert(offsetof(Ta_VELKPRICEALERT, m_nMagic) == 79);

static_assert(sizeof(Ta_OTHERALERT) == 265);
static_assert(offsetof(Ta_OTHERALERT, m_nSoundMode) == 0);
static_assert(offsetof(Ta_OTHERALERT, m_szWavePath) == 4);
static_assert(offsetof(Ta_OTHERALERT, m_byPopup) == 264);

static_assert(sizeof(Ta_ALERTSETTING) == 44);
static_assert(offsetof(Ta_ALERTSETTING, m_bPopupDialog) == 0);
static_assert(offsetof(Ta_ALERTSETTING, m_bSound) == 4);
static_assert(offsetof(Ta_ALERTSETTING, m_bNewHigh) == 8);
static_assert(offsetof(Ta_ALERTSETTING, m_bNewLow) == 12);
static_assert(offsetof(Ta_ALERTSETTING, m_bLimitPrice) == 16);
static_assert(offsetof(Ta_ALERTSETTING, m_fRiseRatio) == 20);
static_assert(offsetof(Ta_ALERTSETTING, m_fFallRatio) == 24);
static_assert(offsetof(Ta_ALERTSETTING, m_fVolumeRatio) == 28);
static_assert(offsetof(Ta_ALERTSETTING, m_fSingleRatio) == 32);
static_assert(offsetof(Ta_ALERTSETTING, m_fLargeAmount) == 36);
static_assert(offsetof(Ta_ALERTSETTING, m_fLargeVolume) == 40);

static_assert(sizeof(Ta_ALERTRECORD) == 125);
static_assert(offsetof(Ta_ALERTRECORD, m_byMarket) == 0);
static_assert(offsetof(Ta_ALERTRECORD, m_szCode) == 1);
static_assert(offsetof(Ta_ALERTRECORD, m_szName) == 13);
static_assert(offsetof(Ta_ALERTRECORD, m_nTime) == 63);
static_assert(offsetof(Ta_ALERTRECORD, m_fPrice) == 67);
static_assert(offsetof(Ta_ALERTRECORD, m_fVolume) == 71);
static_assert(offsetof(Ta_ALERTRECORD, m_szReason) == 75);

// The engine's alert list, newest first. A busy day records hundreds of thousands of alerts, each
// at the front: a deque takes them there without moving the ones before.
using CAlertRecordList = std::deque<Ta_ALERTRECORD>;

static_assert(sizeof(Ta_SYSTEMSWITCH) == 7);
static_assert(offsetof(Ta_SYSTEMSWITCH, m_byNewHigh) == 0);
static_assert(offsetof(Ta_SYSTEMSWITCH, m_byNewLow) == 1);
static_assert(offsetof(Ta_SYSTEMSWITCH, m_byLimit) == 2);
static_assert(offsetof(Ta_SYSTEMSWITCH, m_nRange) == 3);

// The current magic signal: one for the whole library, filled row by row. It holds string
// objects and never leaves memory, so it is not packed.
struct Ta_MAGICSIGNAL {
    std::uint8_t m_byMarket = 0;
    std::string m_strCode = "--";
    std::string m_strName = "--";
    std::string m_strTime = "00:00";
    float m_fItem184 = 0;
    float m_fPrice = 0;
    float m_fVolume = 0;
    std::string m_strSignalName = "--";
    std::uint32_t m_nColor = 0;
};

// A price the engine may compare: finite and not negative. Anything else (a value a float
// cannot hold, a damaged item) is no trade at all; once stored as a high or a last price it
// would silence the stock for the rest of the day.
inline bool VelkIsUsablePrice(double price)
{
    return price >= 0 && price <= std::numeric_limits<float>::max(); // false for NaN
}

// Copies a text into a fixed field, cut to the field's width less one byte, NUL-filled.
template <std::size_t N> inline void VelkCopyText(char (&field)[N], const std::string& text)
{
    std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
    if (const void* end = std::memchr(text.data(), '\0', n))
        n = static_cast<std::size_t>(static_cast<const char*>(end) - text.data());
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, N - n);
}

// A fixed field's text where it is: the bytes up to the first NUL, never past the field.
template <std::size_t N> inline std::string_view VelkFieldView(const char (&field)[N])
{
    const void* end = std::memchr(field, '\0', N);
    return std::string_view(
        field, end ? static_cast<std::size_t>(static_cast<const char*>(end) - field) : N);
}

// Reads a fixed field as text: the bytes up to the first NUL, never past the field.
template <std::size_t N> inline std::string VelkFieldText(const char (&field)[N])
{
    return std::string(VelkFieldView(field));
}

// Forces a fixed field read from a file to end inside its width.
template <std::size_t N> inline void VelkTerminate(char (&field)[N])
{
    field[N - 1] = '\0';
}
