#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/CMarketMonitor.h"
#include "engine/CVelkAlert.h"
#include "engine/VelkEngineLock.h"
#include "hostapi/KQBkApi.h"
#include "hostapi/KQDaApi.h"
#include "platform/core/ProfileReader.h"
#include "platform/core/VelkClockText.h"
#include "platform/core/VelkFile.h"
#include "platform/core/VelkNumber.h"

namespace {

constexpr unsigned short kItemCode = 1018;
constexpr unsigned short kItemTime = 143;
constexpr unsigned short kItemPrice = 125;
constexpr unsigned short kItemVolume = 410;
constexpr unsigned short kItemThird = 184;
constexpr unsigned short kItemSignal = 1994;

// The trade date of every market is asked of the account service under this market.
constexpr unsigned char kStatusMarket = 27;

constexpr int kMagicSwitches = 17;
constexpr std::uint32_t kNoColour = 0xFFFFFF;
constexpr unsigned long kBadColour = 0xFFFFFFFF;
// More colour keys than this would only repeat the default colour; a damaged count must not
// make the engine build a map of billions of entries.
constexpr int kMaxColourKeys = 4096;

// The value says which item it holds in its first two bytes.
unsigned short ItemNumber(const X1Format& value)
{
    const std::uint8_t* b = value.Bytes();
    unsigned high = (b[0] & 0x07u) | ((b[0] >> 6) << 3);
    return static_cast<unsigned short>((high << 8) | b[1]);
}

// The C library's text-to-int, without its undefined overflow: out-of-range text saturates.
long long TextToInteger(const std::string& text)
{
    return std::strtoll(text.c_str(), nullptr, 10);
}

int TextToInt(const std::string& text)
{
    return static_cast<int>(std::clamp<long long>(TextToInteger(text), INT_MIN, INT_MAX));
}

float TextToFloat(const std::string& text)
{
    return static_cast<float>(VelkAtof(text));
}

// Seconds of the day from "hh:mm:ss": the hours before the first colon, the minutes after it,
// the seconds from as many trailing characters as the hours had. Without a colon the whole
// text counts as minutes.
std::int32_t SecondsOfText(const std::string& text)
{
    std::size_t colon = text.find(':');
    long long hours = 0;
    long long minutes = TextToInt(text);
    long long seconds = 0;
    if (colon != std::string::npos) {
        hours = TextToInt(text.substr(0, colon));
        minutes = TextToInt(text.substr(colon + 1));
        if (colon > 0)
            seconds = TextToInt(text.substr(text.size() - std::min(colon, text.size())));
    }
    long long total = hours * 3600 + minutes * 60 + seconds;
    return static_cast<std::int32_t>(std::clamp<long long>(total, INT32_MIN, INT32_MAX));
}

} // namespace

void CVelkAlert::GetNewMagicSignal(unsigned char market)
{
    CMarketStatus status;
    status.m_nTradeDate = 0;
    DA_bGetMarketStatus(kStatusMarket, status);
    const int d = status.m_nTradeDate;
    char date[48];
    std::snprintf(date, sizeof date, "%04d%02d%02d", d / 10000, (d % 10000) / 100, d % 100);

    std::vector<std::vector<X1Format>> rows;
    BK_lGetLastMagic(rows, market, 1, date);

    Ta_MAGICSIGNAL& signal = VelkCurrentMagicSignal();
    int number = -1;
    for (const std::vector<X1Format>& row : rows) {
        // A row that names no stock of its own must not be matched under the stock of the row
        // before it.
        bool named = false;
        for (const X1Format& value : row) {
            switch (ItemNumber(value)) {
            case kItemCode: {
                CString code = value.s_GetAsString();
                if (BK_GetSymbolFullName(signal.m_strName, market, code)) {
                    signal.m_byMarket = market;
                    signal.m_strCode = code;
                    named = true;
                }
                break;
            }
            case kItemTime: {
                signal.m_strTime = VelkClockText(static_cast<int>(value.GetHour()),
                                                 static_cast<int>(value.GetMinute()),
                                                 static_cast<int>(value.GetSecond()));
                break;
            }
            case kItemPrice:
                // The signal still counts; only a price that cannot be one is not shown.
                signal.m_fPrice = TextToFloat(value.s_GetAsString());
                if (!VelkIsUsablePrice(signal.m_fPrice))
                    signal.m_fPrice = 0;
                break;
            case kItemVolume:
                signal.m_fVolume = TextToFloat(value.s_GetAsString());
                break;
            case kItemThird:
                signal.m_fItem184 = TextToFloat(value.s_GetAsString());
                break;
            case kItemSignal: {
                number = TextToInt(value.s_GetAsString());
                if (GetMagicSignalName(number, signal.m_strSignalName) == 0)
                    signal.m_strSignalName = "--";
                auto colour = m_mapMagicColor.find(number);
                signal.m_nColor = colour != m_mapMagicColor.end() ? colour->second : kNoColour;
                break;
            }
            default:
                break;
            }
        }
        if (!named)
            continue;

        auto watched = m_mapMagicAlert.find(VelkHexKey(signal.m_byMarket, signal.m_strCode));
        if (watched == m_mapMagicAlert.end() || watched->second < 0 ||
            static_cast<std::size_t>(watched->second) >= m_vecMagicAlert.size())
            continue;
        int k = CalMagicIndexNo(number);
        if (k < 0 || k >= kMagicSwitches || m_vecMagicAlert[watched->second].m_nMagic[k] == 0)
            continue;
        // Held for the whole recording: the sound, the window's rows and, for the first alert,
        // the creation of the alert list window, which asks the quote service for the trading
        // date. Nothing reached from here takes the lock again.
        std::lock_guard<CEngineLock> lock(VelkEngineLock());
        OnReceiveMaigc(0, reinterpret_cast<long>(&signal));
    }
}

int CVelkAlert::OnReceiveMaigc(unsigned, long lParam)
{
    if (lParam == 0)
        return 0;
    const Ta_MAGICSIGNAL& signal = *reinterpret_cast<const Ta_MAGICSIGNAL*>(lParam);

    Ta_ALERTRECORD record{};
    record.m_byMarket = signal.m_byMarket;
    VelkCopyText(record.m_szCode, signal.m_strCode);
    // Texts are cut to their field less one byte like every record's texts; the window shows
    // only the whole characters of a cut name.
    VelkCopyText(record.m_szName, signal.m_strName);
    record.m_nTime = SecondsOfText(signal.m_strTime);
    record.m_fPrice = signal.m_fPrice;
    record.m_fVolume = signal.m_fVolume;
    VelkCopyText(record.m_szReason, signal.m_strSignalName);
    // A stock muted for the day is silent for its signals too.
    if (m_pMarketMonitor->FiltersOn() &&
        m_pMarketMonitor->IsMutedToday(record.m_byMarket, VelkFieldText(record.m_szCode)))
        return 0;

    RecordAlert(record);
    m_bNewAlert = 1;
    AddAlertRecord();
    return 1;
}

int CVelkAlert::CalMagicIndexNo(const int& number)
{
    if (number >= 0 && number <= 12)
        return number;
    if (number >= 15 && number <= 18)
        return number - 2;
    return -1;
}

int CVelkAlert::GetMagicSignalName(int number, CString& name)
{
    if (m_mapMagicName.empty()) {
        std::vector<CString> numbers;
        std::vector<CString> names;
        if (BK_bGetMagicNo(numbers, names)) {
            std::size_t count = std::min(numbers.size(), names.size());
            for (std::size_t i = 0; i < count; ++i)
                m_mapMagicName[TextToInt(numbers[i])] = names[i];
        }
    }
    auto found = m_mapMagicName.find(number);
    if (found == m_mapMagicName.end())
        return 0;
    name = found->second;
    return 1;
}

int CVelkAlert::GetMagicSignalColor(int number, unsigned long& colour)
{
    if (m_mapMagicColor.empty()) {
        CProfileReader profile(VelkJoinPath(s_KQGetSysPath(0), "StataBarInfo.ini"));
        int count = std::min(profile.GetInt("SHORTMAGIC_COLOR", "MAGICCOUNT", 0), kMaxColourKeys);
        for (int i = 0; i < count; ++i) {
            std::string text = profile.GetString("SHORTMAGIC_COLOR",
                                                 "MAGICCODE" + std::to_string(i), "0xFFFFFF", 259);
            m_mapMagicColor[i] = static_cast<std::uint32_t>(_atocr(text.data()));
        }
    }
    auto found = m_mapMagicColor.find(number);
    if (found == m_mapMagicColor.end())
        return 0;
    colour = found->second;
    return 1;
}

unsigned long CVelkAlert::_atocr(char* text)
{
    if (!text)
        return kBadColour;
    std::string copy(text);
    std::size_t begin = 0;
    std::size_t end = copy.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(copy[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(copy[end - 1])))
        --end;
    copy = copy.substr(begin, end - begin);
    for (char& c : copy)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

    if (copy.size() != 8 || copy[0] != '0' || copy[1] != 'X')
        return kBadColour;
    unsigned long value = 0;
    for (std::size_t i = 2; i < 8; ++i) {
        int digit = _htoi(copy[i]);
        if (digit == -1)
            return kBadColour;
        value = value * 16 + static_cast<unsigned long>(digit);
    }
    return value;
}

int CVelkAlert::_htoi(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
