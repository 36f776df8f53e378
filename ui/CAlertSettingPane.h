#pragma once

#include <QPointer>
#include <memory>

#include "engine/VelkServices.h"

class CAlertSettingDlg;

// The alert setting page inside a host's window: the page made by class name, filled from the
// stored record and given its controls at once, with its six ratios and their check boxes shown
// (the page's template keeps them hidden). The host places the page's widget in its own layout;
// the pane deletes the page when it goes, whoever holds the widget then.
class CAlertSettingPane final : public IAlertSettingPane {
public:
    // Null when the page class is not part of the build.
    static std::unique_ptr<CAlertSettingPane> Create(const Ta_ALERTSETTING& stored);
    ~CAlertSettingPane() override;
    CAlertSettingPane(const CAlertSettingPane&) = delete;
    CAlertSettingPane& operator=(const CAlertSettingPane&) = delete;

    void* Widget() override;
    bool Draft(Ta_ALERTSETTING& draft) override;

private:
    CAlertSettingPane(CAlertSettingDlg* page, const Ta_ALERTSETTING& stored);

    QPointer<CAlertSettingDlg> m_pPage;
    Ta_ALERTSETTING m_stored;
};
