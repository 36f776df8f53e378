#pragma once

#include <string>

#include "engine/VelkServices.h"

// The engine's alert sound with the host's sound switch in front of it: while the switch is
// off the engine plays nothing and does not wait for a sound to end.
class CSwitchableSound final : public IVelkSound {
public:
    explicit CSwitchableSound(IVelkSound* sound) : m_pSound(sound) {}

    void SetEnabled(bool enabled) { m_bEnabled = enabled; }
    bool IsEnabled() const { return m_bEnabled; }

    void Beep(unsigned frequencyHz, unsigned durationMs) override;
    bool PlayWaveFile(const std::string& pathGbk) override;

private:
    IVelkSound* m_pSound;
    bool m_bEnabled = true;
};
