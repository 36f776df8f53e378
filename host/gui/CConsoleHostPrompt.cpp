#include "host/gui/CConsoleHostPrompt.h"

void CConsoleHostPrompt::Warn(QWidget*, const QString& text)
{
    std::fprintf(m_pOut, "velk-host: %s\n", text.toUtf8().constData());
}

void CConsoleHostPrompt::Inform(QWidget*, const QString& text)
{
    std::fprintf(m_pOut, "velk-host: %s\n", text.toUtf8().constData());
}

bool CConsoleHostPrompt::Confirm(QWidget*, const QString& text)
{
    std::fprintf(m_pOut, "velk-host: %s (answered No)\n", text.toUtf8().constData());
    return false;
}
