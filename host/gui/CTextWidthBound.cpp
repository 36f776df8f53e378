#include "host/gui/CTextWidthBound.h"

CTextWidthBound::CTextWidthBound(const QFont& font) : m_font(font), m_metrics(font)
{
    for (char16_t c = kFirst; c <= kLast; ++c)
        m_ascii[c - kFirst] = m_metrics.horizontalAdvance(QChar(c)) + 1;
}

bool CTextWidthBound::IsSideBySide(char16_t c)
{
    // CJK symbols and punctuation to the unified ideographs, and the full-width forms.
    return (c >= 0x3000 && c <= 0x9FFF) || (c >= 0xFF00 && c <= 0xFFEF);
}

int CTextWidthBound::Of(const QString& text) const
{
    int width = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= kFirst && u <= kLast) {
            width += m_ascii[u - kFirst];
        } else if (IsSideBySide(u)) {
            auto it = m_wide.constFind(u);
            if (it == m_wide.constEnd())
                it = m_wide.insert(u, m_metrics.horizontalAdvance(c) + 1);
            width += it.value();
        } else {
            return -1;
        }
    }
    return width;
}
