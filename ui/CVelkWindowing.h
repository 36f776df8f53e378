#pragma once

#include "VelkServices.h"

// The module's windows as the engine asks for them, owned by the host's main window.
class CVelkWindowing final : public IVelkWindowing {
public:
    bool HasMainWindow() const override;
    std::unique_ptr<IAlertWindow> CreateAlertWindow(std::vector<Ta_ALERTRECORD>* alerts,
                                                    std::vector<Ta_VELKPRICEALERT>* prices) override;
    void BringMainWindowToFront() override;
    // The settings sheet is not part of this build yet: nothing is shown and the answer is
    // Cancel, so the engine changes nothing.
    int RunSettingsSheet(CSettingsBinding& binding) override;
};
