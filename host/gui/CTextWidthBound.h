#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QString>
#include <array>

// An upper bound of a text's width that shapes no text: the sum of its characters' own advances,
// and a pixel more for each, which covers what kerning and hinting may add between them. Only
// characters that are laid out one after the other are bounded so: printable ASCII (figures,
// signs, the decimal point) and the Chinese characters, punctuation and full-width forms; any
// other needs the text shaped. Fitting a board's columns to the figures of thousands of stocks
// spends its time shaping, and nearly every figure is plainly narrower than its column.
class CTextWidthBound {
public:
    explicit CTextWidthBound(const QFont& font);

    // The bound in pixels, or -1 for a text with a character that only shaping measures.
    int Of(const QString& text) const;
    const QFont& Font() const { return m_font; }

private:
    static constexpr char16_t kFirst = u' ';
    static constexpr char16_t kLast = u'~';
    static bool IsSideBySide(char16_t c);

    QFont m_font;
    QFontMetrics m_metrics;
    std::array<int, kLast - kFirst + 1> m_ascii{};
    // The Chinese characters met so far.
    mutable QHash<char16_t, int> m_wide;
};
