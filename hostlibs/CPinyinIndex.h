#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "hostapi/KQApiExport.h"

// The keyboard wizard's search index. Each entry keeps its code folded to lower case and the
// pinyin initials of its name in fixed-width slots, so one keystroke is a straight scan over
// contiguous memory with no allocation.
class KQ_API CPinyinIndex {
public:
    static constexpr std::size_t kCodeWidth = 12;
    static constexpr std::size_t kNameWidth = 20;

    void Clear();
    void Reserve(std::size_t count);
    // Texts are GBK; longer ones are cut to the slot width less one byte.
    void Add(const char* code, const char* name);
    // The same with the initials the quote service gives for the name (lower-case letters and
    // digits): they match as well as the ones read from the name, in place of a polyphone's
    // other reading. Empty or null: as Add(code, name).
    void Add(const char* code, const char* name, const char* givenInitials);
    std::size_t Size() const { return m_nCount; }

    // Entries whose code begins with the typed text (case folded) come first, then entries whose
    // name initials (or, for typed hanzi, whose name) begin with it, each in the order added;
    // no entry twice and no more than maxResults. out is cleared first.
    void Match(const std::string& typed, std::size_t maxResults,
               std::vector<std::uint32_t>& out) const;

    // The lower-case initial of one GBK character, or 0 when it has none: ASCII letters and
    // digits stand for themselves, full-width ones for their ASCII forms.
    static char InitialOf(unsigned char lead, unsigned char trail);
    // Initials of a GBK name. A hanzi without a known reading gives a mark that no typed letter
    // matches, so the letters after it do not slide into its place.
    static std::string Initials(const std::string& name, bool alternateReadings = false);

private:
    std::vector<char> m_codes;
    std::vector<char> m_names;
    std::vector<char> m_initials;
    // The initials with the other reading of common polyphones (银行: yh), kept only for the
    // entries that have one; m_altSlot holds the slot number or kNoAlternate.
    static constexpr std::uint32_t kNoAlternate = 0xFFFFFFFFu;
    std::vector<std::uint32_t> m_altSlot;
    std::vector<char> m_altInitials;
    std::size_t m_nCount = 0;
};
