#pragma once

#include <string>
#include <vector>

#include "engine/VelkServices.h"

// An engine's side of the settings sheet for tests: keeps every value it is handed and refuses
// the first m_nRefusals of them with m_strReasonGbk.
class CRecordingSettingsSink final : public IVelkSettingsSink {
public:
    CSettingsResult TakeSettings(const CSettingsBinding& settings) override
    {
        m_taken.push_back(settings);
        CSettingsResult result;
        if (m_nRefusals > 0) {
            --m_nRefusals;
            result.bTaken = false;
            result.strReasonGbk = m_strReasonGbk;
        }
        return result;
    }

    int m_nRefusals = 0;
    std::string m_strReasonGbk;
    std::vector<CSettingsBinding> m_taken;
};
