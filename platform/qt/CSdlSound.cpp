#include "platform/qt/CSdlSound.h"

#include <SDL.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <fcntl.h>
#include <numbers>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/core/TextCodec.h"
#include "platform/core/VelkFile.h"

namespace {

constexpr int kToneRate = 44100;
// What plays when a wave file cannot be loaded.
constexpr unsigned kDefaultFrequency = 1000;
constexpr unsigned kDefaultDurationMs = 150;
// After a device fails to open it is not asked again for a while: every attempt costs time
// and, with ALSA, a burst of messages on standard error.
constexpr Uint64 kReopenDelayMs = 30000;

// The whole wave file, when it is a regular file of at most maxBytes.
bool ReadWaveFile(const std::string& path, std::string& bytes, unsigned long maxBytes)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
              static_cast<unsigned long long>(st.st_size) <= maxBytes;
    if (ok) {
        bytes.resize(static_cast<std::size_t>(st.st_size));
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        // A file that shrank meanwhile plays what there was.
        bytes.resize(got);
    }
    ::close(fd);
    return ok;
}

} // namespace

CSdlSound::CSdlSound() = default;

CSdlSound::~CSdlSound()
{
    if (m_bAudioUp)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool CSdlSound::EnsureAudio()
{
    if (!m_bTriedInit) {
        m_bTriedInit = true;
        // SDL's handlers would only queue a quit event that nobody here reads.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        m_bAudioUp = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    }
    return m_bAudioUp;
}

bool CSdlSound::Play(const SDL_AudioSpec& audio, const unsigned char* data, unsigned size)
{
    SDL_AudioSpec want = audio;
    want.callback = nullptr;
    want.userdata = nullptr;
    // Small buffers: the call waits for the last one, and a paused device writes whole ones.
    want.samples = 512;
    SDL_AudioSpec have{};
    if (m_bInterrupted || (m_reopenAfter != 0 && SDL_GetTicks64() < m_reopenAfter))
        return false;
    // No changes allowed: SDL converts, and the device plays the samples as given.
    SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        m_reopenAfter = SDL_GetTicks64() + kReopenDelayMs;
        return false;
    }
    m_reopenAfter = 0;
    if (SDL_QueueAudio(device, data, size) != 0) {
        SDL_CloseAudioDevice(device);
        return false;
    }
    const unsigned frameBytes =
        SDL_AUDIO_BITSIZE(audio.format) / 8 * std::max<unsigned>(audio.channels, 1);
    const double soundMs = 1000.0 * size / frameBytes / std::max(audio.freq, 1);
    const double bufferMs = 1000.0 * have.samples / std::max(have.freq, 1);
    SDL_PauseAudioDevice(device, 0);
    // The queue empties when the last buffer is handed to the device; that buffer still has to
    // be played. The wait is bounded so that a stalled device cannot hold the caller.
    const Uint64 start = SDL_GetTicks64();
    const Uint64 limit = start + static_cast<Uint64>(soundMs + 2 * bufferMs + 200);
    while (SDL_GetQueuedAudioSize(device) > 0 && SDL_GetTicks64() < limit && !m_bInterrupted)
        SDL_Delay(2);
    const Uint64 end = std::min<Uint64>(SDL_GetTicks64() + static_cast<Uint64>(bufferMs) + 1,
                                        std::max<Uint64>(limit, SDL_GetTicks64()));
    while (SDL_GetTicks64() < end && !m_bInterrupted)
        SDL_Delay(1);
    SDL_CloseAudioDevice(device);
    return true;
}

bool CSdlSound::PlayTone(unsigned frequencyHz, unsigned durationMs)
{
    const std::size_t count = static_cast<std::size_t>(kToneRate) * durationMs / 1000;
    if (count == 0 || frequencyHz == 0)
        return false;
    std::vector<std::int16_t> samples(count);
    const double step = 2.0 * std::numbers::pi * frequencyHz / kToneRate;
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = static_cast<std::int16_t>(
            std::lround(12000.0 * std::sin(step * static_cast<double>(i))));
    SDL_AudioSpec audio{};
    audio.freq = kToneRate;
    audio.format = AUDIO_S16SYS;
    audio.channels = 1;
    return Play(audio, reinterpret_cast<const unsigned char*>(samples.data()),
                static_cast<unsigned>(samples.size() * sizeof(std::int16_t)));
}

namespace {

// Sounds play on a thread of their own, and SDL keeps per-thread state (its error text) that
// it frees only when asked: each sound hands it back, so that a thread that ends leaks nothing.
struct ThreadStateRelease {
    ~ThreadStateRelease() { SDL_TLSCleanup(); }
};

} // namespace

void CSdlSound::Beep(unsigned frequencyHz, unsigned durationMs)
{
    const ThreadStateRelease release;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!EnsureAudio())
        return;
    PlayTone(frequencyHz, durationMs);
}

bool CSdlSound::PlayWaveFile(const std::string& pathGbk)
{
    const ThreadStateRelease release;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!EnsureAudio())
        return false;
    // Paths come in GBK; the file system here names files in UTF-8.
    std::string path = TextCodec::GbkToUtf8(pathGbk);
    if (!pathGbk.empty() && !VelkFileExists(path) && VelkFileExists(pathGbk))
        path = pathGbk;
    SDL_AudioSpec audio{};
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    std::string bytes;
    if (!path.empty() && ReadWaveFile(path, bytes, kMaxWaveBytes) && !bytes.empty()) {
        SDL_RWops* memory = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
        if (memory && SDL_LoadWAV_RW(memory, 1, &audio, &buffer, &length) != nullptr) {
            bool played = Play(audio, buffer, length);
            SDL_FreeWAV(buffer);
            return played;
        }
    }
    return PlayTone(kDefaultFrequency, kDefaultDurationMs);
}

void CSdlSound::Interrupt()
{
    m_bInterrupted = true;
}
