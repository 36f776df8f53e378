#include "host/gui/CSwitchableSound.h"

void CSwitchableSound::Beep(unsigned frequencyHz, unsigned durationMs)
{
    if (m_bEnabled && m_pSound)
        m_pSound->Beep(frequencyHz, durationMs);
}

bool CSwitchableSound::PlayWaveFile(const std::string& pathGbk)
{
    return m_bEnabled && m_pSound && m_pSound->PlayWaveFile(pathGbk);
}
