#include "hostlibs/CPinyinIndex.h"

#include <algorithm>
#include <cstring>

namespace {

// GB2312 level-1 hanzi are ordered by pinyin, so the first code of each initial's run gives
// the initial of every character up to the next run. There are no runs for i, u and v.
struct LevelOneRun {
    unsigned short first;
    char initial;
};
constexpr LevelOneRun kLevelOne[] = {
    {0xB0A1, 'a'}, {0xB0C5, 'b'}, {0xB2C1, 'c'}, {0xB4EE, 'd'}, {0xB6EA, 'e'}, {0xB7A2, 'f'},
    {0xB8C1, 'g'}, {0xB9FE, 'h'}, {0xBBF7, 'j'}, {0xBFA6, 'k'}, {0xC0AC, 'l'}, {0xC2E8, 'm'},
    {0xC4C3, 'n'}, {0xC5B6, 'o'}, {0xC5BE, 'p'}, {0xC6DA, 'q'}, {0xC8BB, 'r'}, {0xC8F6, 's'},
    {0xCBFA, 't'}, {0xCDDA, 'w'}, {0xCEF4, 'x'}, {0xD1B9, 'y'}, {0xD4D1, 'z'},
};
constexpr unsigned short kLevelOneLast = 0xD7F9;

struct CharInitial {
    unsigned short code;
    char initial;
};

// Level-2 and extension hanzi that occur in listed stock names. They are ordered by radical,
// not by reading, so each needs its own entry. Sorted by code.
constexpr CharInitial kOtherHanzi[] = {
    {0x8D47, 't'}, // 岹
    {0x8D50, 'h'}, // 峆
    {0x954E, 's'}, // 昇
    {0x9948, 't'}, // 橦
    {0xAD5A, 'j'}, // 璟
    {0xD8B7, 'y'}, // 胤
    {0xD8B9, 'y'}, // 毓
    {0xD9F0, 'y'}, // 兖
    {0xDAA3, 'z'}, // 冢
    {0xDBDA, 'z'}, // 圳
    {0xDCB0, 'x'}, // 馨
    {0xDCBF, 'y'}, // 芸
    {0xDCF5, 'q'}, // 荃
    {0xDCF8, 'm'}, // 茗
    {0xDDB6, 'd'}, // 荻
    {0xDDB8, 'g'}, // 莞
    {0xDDCD, 'c'}, // 萃
    {0xDDE1, 'b'}, // 葆
    {0xDDE6, 'x'}, // 萱
    {0xDDEC, 'e'}, // 蒽
    {0xDEB1, 'w'}, // 薇
    {0xDEBF, 'h'}, // 蘅
    {0xDEC8, 'y'}, // 奕
    {0xE1B7, 'd'}, // 岱
    {0xE1C2, 's'}, // 崧
    {0xE1C9, 'r'}, // 嵘
    {0xE1CB, 'w'}, // 崴
    {0xE1E2, 'l'}, // 徕
    {0xE1E9, 'q'}, // 衢
    {0xE2AF, 'z'}, // 獐
    {0xE2F9, 'y'}, // 怡
    {0xE2FD, 'k'}, // 恺
    {0xE3BD, 'j'}, // 憬
    {0xE3E5, 'm'}, // 沐
    {0xE3F2, 'l'}, // 泸
    {0xE3FC, 'h'}, // 泓
    {0xE4B1, 'x'}, // 浔
    {0xE4D7, 'w'}, // 渥
    {0xE5A7, 'p'}, // 濮
    {0xE5A9, 'h'}, // 濠
    {0xE5AB, 'h'}, // 瀚
    {0xE5AD, 'y'}, // 瀛
    {0xE5B0, 'h'}, // 灏
    {0xE5B7, 'c'}, // 宸
    {0xE5BE, 'h'}, // 寰
    {0xE5C8, 'j'}, // 迦
    {0xE6DA, 'f'}, // 孚
    {0xE6EB, 'q'}, // 骐
    {0xE7E1, 'j'}, // 玑
    {0xE7E2, 'w'}, // 玮
    {0xE7E6, 'k'}, // 珂
    {0xE7E7, 'l'}, // 珑
    {0xE7EA, 'p'}, // 珀
    {0xE7EC, 'j'}, // 珈
    {0xE7F6, 'l'}, // 琏
    {0xE7F7, 'q'}, // 琪
    {0xE8A1, 'c'}, // 琛
    {0xE8A2, 'j'}, // 琚
    {0xE8A4, 'y'}, // 瑜
    {0xE8B1, 'p'}, // 璞
    {0xE8BA, 't'}, // 韬
    {0xE8CF, 'z'}, // 柘
    {0xE8F7, 'z'}, // 梓
    {0xE9AA, 'n'}, // 楠
    {0xE9B5, 'l'}, // 榈
    {0xE9BA, 'y'}, // 楹
    {0xE9C5, 'r'}, // 榕
    {0xEABB, 'h'}, // 昊
    {0xEABF, 'x'}, // 昕
    {0xEAC0, 'y'}, // 昀
    {0xEAC5, 'y'}, // 昱
    {0xEAC9, 's'}, // 晟
    {0xEACD, 'h'}, // 晖
    {0xEAD8, 'x'}, // 曦
    {0xECBE, 'y'}, // 炀
    {0xECBF, 'w'}, // 炜
    {0xECC7, 'y'}, // 烨
    {0xECCF, 'y'}, // 煜
    {0xECD8, 's'}, // 熵
    {0xECF5, 'z'}, // 祯
    {0xECF7, 'q'}, // 祺
    {0xECFB, 'x'}, // 禧
    {0xEDAE, 'm'}, // 懋
    {0xEDB5, 'm'}, // 淼
    {0xEEA3, 'r'}, // 睿
    {0xEEB8, 'g'}, // 罡
    {0xEED1, 't'}, // 钛
    {0xEED2, 'j'}, // 钜
    {0xEEDA, 'y'}, // 钰
    {0xEEDC, 'g'}, // 钴
    {0xEEE2, 'm'}, // 钼
    {0xEEE3, 't'}, // 钽
    {0xEEF1, 'c'}, // 铖
    {0xEFAE, 'l'}, // 锂
    {0xEFAF, 'g'}, // 锆
    {0xEFBD, 'd'}, // 锝
    {0xEFC7, 'k'}, // 锴
    {0xF0A9, 'h'}, // 皓
    {0xF0AE, 'y'}, // 甬
    {0xF0C0, 'h'}, // 鹄
    {0xF0CE, 'y'}, // 鹞
    {0xF0D8, 'l'}, // 鹭
    {0xF1A5, 'h'}, // 癀
    {0xF1F6, 'l'}, // 聆
    {0xF1FD, 'q'}, // 颀
    {0xF2D1, 't'}, // 蜓
    {0xF2DF, 'q'}, // 蜻
    {0xF2EB, 'l'}, // 螂
    {0xF2FE, 'm'}, // 蟒
    {0xF3AB, 't'}, // 螳
    {0xF3B4, 'p'}, // 蟠
    {0xF3BB, 'l'}, // 蠡
    {0xF4E1, 'l'}, // 翎
    {0xF6CE, 'x'}, // 鑫
    {0xF7A1, 'a'}, // 鳌
    {0xF7C8, 'm'}, // 魅
    {0xF7E2, 'h'}, // 麾
    {0xF7E8, 'q'}, // 麒
    {0xF7EB, 'l'}, // 麟
    {0xF7EC, 'd'}, // 黛
};

// Level-1 polyphones whose other reading is the usual one in stock names (银行, 重庆, 西藏).
constexpr CharInitial kOtherReadings[] = {
    {0xB2D8, 'z'}, // 藏
    {0xD0D0, 'h'}, // 行
    {0xD6D8, 'c'}, // 重
};

// Marks a hanzi of unknown reading; nothing typed matches it.
constexpr char kUnknownInitial = '\x7f';

template <std::size_t N> char LookUp(const CharInitial (&table)[N], unsigned short code)
{
    const auto* end = table + N;
    const auto* it = std::lower_bound(
        table, end, code, [](const CharInitial& e, unsigned short c) { return e.code < c; });
    return it != end && it->code == code ? it->initial : 0;
}

char FoldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Copies at most width - 1 bytes and pads the slot with NULs.
void PutSlot(std::vector<char>& slots, const char* text, std::size_t width, bool fold)
{
    const std::size_t base = slots.size();
    slots.resize(base + width, '\0');
    for (std::size_t i = 0; text && i + 1 < width && text[i] != '\0'; ++i)
        slots[base + i] = fold ? FoldAscii(text[i]) : text[i];
}

// Most slots differ in their first byte, which spares the call.
bool SlotStartsWith(const char* slot, const std::string& prefix)
{
    return slot[0] == prefix[0] && std::memcmp(slot, prefix.data(), prefix.size()) == 0;
}

} // namespace

char CPinyinIndex::InitialOf(unsigned char lead, unsigned char trail)
{
    if (lead < 0x80) {
        const char c = FoldAscii(static_cast<char>(lead));
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ? c : 0;
    }
    if (lead == 0xA3) {
        if (trail >= 0xB0 && trail <= 0xB9)
            return static_cast<char>('0' + (trail - 0xB0));
        if (trail >= 0xC1 && trail <= 0xDA)
            return static_cast<char>('a' + (trail - 0xC1));
        if (trail >= 0xE1 && trail <= 0xFA)
            return static_cast<char>('a' + (trail - 0xE1));
        return 0;
    }
    const unsigned short code = static_cast<unsigned short>((lead << 8) | trail);
    if (code >= kLevelOne[0].first && code <= kLevelOneLast && trail >= 0xA1) {
        char initial = kLevelOne[0].initial;
        for (const LevelOneRun& run : kLevelOne) {
            if (code < run.first)
                break;
            initial = run.initial;
        }
        return initial;
    }
    return LookUp(kOtherHanzi, code);
}

std::string CPinyinIndex::Initials(const std::string& name, bool alternateReadings)
{
    std::string initials;
    const auto* p = reinterpret_cast<const unsigned char*>(name.data());
    const std::size_t n = name.size();
    for (std::size_t i = 0; i < n;) {
        if (p[i] < 0x80) {
            if (const char c = InitialOf(p[i], 0))
                initials.push_back(c);
            ++i;
            continue;
        }
        if (p[i] == 0x80 || p[i] == 0xFF || i + 1 >= n) {
            ++i; // a stray byte, or a character cut off at the end
            continue;
        }
        const unsigned char lead = p[i];
        const unsigned char trail = p[i + 1];
        char c = 0;
        if (alternateReadings)
            c = LookUp(kOtherReadings, static_cast<unsigned short>((lead << 8) | trail));
        if (!c)
            c = InitialOf(lead, trail);
        const bool symbolArea = lead >= 0xA1 && lead <= 0xA9;
        if (c)
            initials.push_back(c);
        else if (!symbolArea)
            initials.push_back(kUnknownInitial);
        i += 2;
    }
    return initials;
}

void CPinyinIndex::Clear()
{
    m_codes.clear();
    m_names.clear();
    m_initials.clear();
    m_altSlot.clear();
    m_altInitials.clear();
    m_nCount = 0;
}

void CPinyinIndex::Reserve(std::size_t count)
{
    m_codes.reserve(count * kCodeWidth);
    m_names.reserve(count * kNameWidth);
    m_initials.reserve(count * kNameWidth);
    m_altSlot.reserve(count);
}

void CPinyinIndex::Add(const char* code, const char* name)
{
    Add(code, name, nullptr);
}

void CPinyinIndex::Add(const char* code, const char* name, const char* givenInitials)
{
    PutSlot(m_codes, code, kCodeWidth, true);
    PutSlot(m_names, name, kNameWidth, false);
    const std::string raw(m_names.data() + m_nCount * kNameWidth);
    const std::string initials = Initials(raw);
    PutSlot(m_initials, initials.c_str(), kNameWidth, false);
    const std::string alternate =
        givenInitials && *givenInitials ? std::string(givenInitials) : Initials(raw, true);
    if (alternate != initials) {
        m_altSlot.push_back(static_cast<std::uint32_t>(m_altInitials.size() / kNameWidth));
        PutSlot(m_altInitials, alternate.c_str(), kNameWidth, true);
    } else {
        m_altSlot.push_back(kNoAlternate);
    }
    ++m_nCount;
}

void CPinyinIndex::Match(const std::string& typed, std::size_t maxResults,
                         std::vector<std::uint32_t>& out) const
{
    out.clear();
    if (typed.empty() || maxResults == 0)
        return;
    std::string folded(typed);
    bool ascii = true;
    for (char& c : folded) {
        c = FoldAscii(c);
        if (static_cast<unsigned char>(c) >= 0x80)
            ascii = false;
    }
    const std::size_t len = folded.size();
    const bool codeFits = len < kCodeWidth;

    if (codeFits) {
        for (std::size_t i = 0; i < m_nCount; ++i) {
            if (SlotStartsWith(m_codes.data() + i * kCodeWidth, folded)) {
                out.push_back(static_cast<std::uint32_t>(i));
                if (out.size() == maxResults)
                    return;
            }
        }
    }
    if (len >= kNameWidth)
        return;
    for (std::size_t i = 0; i < m_nCount; ++i) {
        bool match;
        if (ascii) {
            match = SlotStartsWith(m_initials.data() + i * kNameWidth, folded);
            if (!match && m_altSlot[i] != kNoAlternate)
                match = SlotStartsWith(m_altInitials.data() + m_altSlot[i] * kNameWidth, folded);
        } else {
            match = SlotStartsWith(m_names.data() + i * kNameWidth, typed);
        }
        if (!match || (codeFits && SlotStartsWith(m_codes.data() + i * kCodeWidth, folded)))
            continue;
        out.push_back(static_cast<std::uint32_t>(i));
        if (out.size() == maxResults)
            return;
    }
}
