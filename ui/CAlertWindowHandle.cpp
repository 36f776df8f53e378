#include "ui/CAlertWindowHandle.h"

CAlertWindowHandle::CAlertWindowHandle(CAlertListDlg* dialog) : m_pDialog(dialog) {}

CAlertWindowHandle::~CAlertWindowHandle()
{
    delete m_pDialog.data();
}

void CAlertWindowHandle::InsertAlertItem(const Ta_ALERTRECORD& record)
{
    if (m_pDialog)
        m_pDialog->InsertAlertItem(record);
}

void CAlertWindowHandle::FillAlertList()
{
    if (m_pDialog)
        m_pDialog->FillAlertList();
}

void CAlertWindowHandle::ClearAlertList()
{
    if (m_pDialog)
        m_pDialog->ClearAlertList();
}

void CAlertWindowHandle::ShowNormal()
{
    if (m_pDialog)
        m_pDialog->showNormal();
}

void CAlertWindowHandle::Hide()
{
    if (m_pDialog)
        m_pDialog->hide();
}

bool CAlertWindowHandle::IsVisible() const
{
    return m_pDialog && m_pDialog->isVisible();
}
