#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "engine/VelkServices.h"
#include "platform/qt/VelkPlatformExport.h"

struct SDL_AudioSpec;

// The sound of the alerts through SDL's audio. Every call opens the device, plays its sound to
// the end and closes it again, so no device is held between alerts. Without an audio device
// the calls return at once and play nothing. SDL is kept from installing its own handlers of
// SIGINT and SIGTERM, which would leave the program deaf to both.
//
// A wave file is read into memory first: it is opened without waiting (a FIFO would block the
// open for ever), and only a regular file of at most kMaxWaveBytes is taken.
class VELK_PLATFORM_API CSdlSound final : public IVelkSound {
public:
    CSdlSound();
    ~CSdlSound() override;
    CSdlSound(const CSdlSound&) = delete;
    CSdlSound& operator=(const CSdlSound&) = delete;

    void Beep(unsigned frequencyHz, unsigned durationMs) override;
    bool PlayWaveFile(const std::string& pathGbk) override;

    // Cuts a sound that plays short and keeps every later one silent: for the end of the
    // program, from any thread.
    void Interrupt();

    static constexpr unsigned long kMaxWaveBytes = 16ul << 20;

private:
    bool EnsureAudio();
    // Plays raw samples in the given format and waits until they have left the device.
    bool Play(const SDL_AudioSpec& audio, const unsigned char* data, unsigned size);
    bool PlayTone(unsigned frequencyHz, unsigned durationMs);

    std::mutex m_mutex;
    std::atomic<bool> m_bInterrupted{false};
    bool m_bTriedInit = false;
    bool m_bAudioUp = false;
    // SDL ticks before which no device is opened again after a failed open; 0 when none failed.
    unsigned long long m_reopenAfter = 0;
};
