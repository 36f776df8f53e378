#pragma once

#include <QPointer>

#include "engine/VelkServices.h"
#include "ui/CAlertListDlg.h"

// The engine's hold on the alert list window. Qt destroys an owned window together with its
// owner, so the engine may outlive the window; the handle then has nothing left to do.
// Destroying the handle destroys the window, which writes the day file.
class CAlertWindowHandle final : public IAlertWindow {
public:
    explicit CAlertWindowHandle(CAlertListDlg* dialog);
    ~CAlertWindowHandle() override;
    CAlertWindowHandle(const CAlertWindowHandle&) = delete;
    CAlertWindowHandle& operator=(const CAlertWindowHandle&) = delete;

    void InsertAlertItem(const Ta_ALERTRECORD& record) override;
    void FillAlertList() override;
    void ClearAlertList() override;
    void ShowNormal() override;
    void Hide() override;
    bool IsVisible() const override;

    CAlertListDlg* Dialog() const { return m_pDialog.data(); }

private:
    QPointer<CAlertListDlg> m_pDialog;
};
