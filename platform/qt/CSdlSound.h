#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "engine/VelkServices.h"
#include "platform/qt/VelkPlatformExport.h"

struct SDL_AudioSpec;

// The sound of the alerts through SDL's audio. Every call opens the device, plays its sound to
// the end and closes it again, so no device is held between alerts. Without an audio device
// the calls return at once and play nothing.
class VELK_PLATFORM_API CSdlSound final : public IVelkSound {
public:
    CSdlSound();
    ~CSdlSound() override;
    CSdlSound(const CSdlSound&) = delete;
    CSdlSound& operator=(const CSdlSound&) = delete;

    void Beep(unsigned frequencyHz, unsigned durationMs) override;
    bool PlayWaveFile(const std::string& pathGbk) override;

private:
    bool EnsureAudio();
    // Plays raw samples in the given format and waits until they have left the device.
    bool Play(const SDL_AudioSpec& audio, const unsigned char* data, unsigned size);
    bool PlayTone(unsigned frequencyHz, unsigned durationMs);

    std::mutex m_mutex;
    bool m_bTriedInit = false;
    bool m_bAudioUp = false;
    // SDL ticks before which no device is opened again after a failed open; 0 when none failed.
    unsigned long long m_reopenAfter = 0;
};
