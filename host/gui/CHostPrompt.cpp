#include "host/gui/CHostPrompt.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace {

IHostPrompt* g_pPrompt = nullptr;

} // namespace

QString CHostPrompt::Caption()
{
    return QCoreApplication::translate("CHostPrompt", "行情预警");
}

IHostPrompt& CHostPrompt::Prompt()
{
    static CHostPrompt onScreen;
    return g_pPrompt ? *g_pPrompt : onScreen;
}

void CHostPrompt::Warn(QWidget* parent, const QString& text)
{
    QMessageBox::warning(parent, Caption(), text);
}

void CHostPrompt::Inform(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, Caption(), text);
}

bool CHostPrompt::Confirm(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Question, Caption(), text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

CScopedHostPrompt::CScopedHostPrompt(IHostPrompt& prompt) : m_pPrevious(g_pPrompt)
{
    g_pPrompt = &prompt;
}

CScopedHostPrompt::~CScopedHostPrompt()
{
    g_pPrompt = m_pPrevious;
}
