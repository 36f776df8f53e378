#pragma once

#include "VelkServices.h"

// The module's windows as the engine asks for them, owned by the host's main window.
class CVelkWindowing final : public IVelkWindowing {
public:
    bool HasMainWindow() const override;
    std::unique_ptr<IAlertWindow> CreateAlertWindow(std::vector<Ta_ALERTRECORD>* alerts,
                                                    std::vector<Ta_VELKPRICEALERT>* prices) override;
    void BringMainWindowToFront() override;
    // "报警参数设置": the pages registered for the sheet, bound to the engine's data, run
    // modally without a parent; kIdOk after OK.
    int RunSettingsSheet(CSettingsBinding& binding) override;
    // The page "CAlertSettingDlg" alone in a sheet, writing through setting on OK.
    bool HasAlertSettingPage() const override;
    int RunAlertSettingPage(Ta_ALERTSETTING* setting) override;
};
