#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include "engine/VelkServices.h"

// The module's windows as the engine asks for them, owned by the host's main window.
class CVelkWindowing final : public IVelkWindowing {
public:
    bool HasMainWindow() const override;
    std::unique_ptr<IAlertWindow>
    CreateAlertWindow(CAlertRecordList* alerts, std::vector<Ta_VELKPRICEALERT>* prices) override;
    // With the pop-up option every alert asks; a burst of alerts raises the main window once a
    // frame, as nothing can be seen to change in between.
    void BringMainWindowToFront() override;
    // "报警参数设置": the pages registered for the sheet, bound to the engine's data, run
    // modally without a parent; kIdOk after OK.
    int RunSettingsSheet(CSettingsBinding& binding, IVelkSettingsSink& sink) override;
    // The page "CAlertSettingDlg" alone in a sheet, opened on stored; on OK the sink takes the
    // record the page committed.
    bool HasAlertSettingPage() const override;
    int RunAlertSettingPage(const Ta_ALERTSETTING& stored, IVelkRatioSettingSink& sink) override;
    // The same page for a window of the host's, filled from stored.
    std::unique_ptr<IAlertSettingPane>
    CreateAlertSettingPane(const Ta_ALERTSETTING& stored) override;

private:
    QPointer<QWidget> m_pLastRaised;
    QElapsedTimer m_lastRaise;
};
