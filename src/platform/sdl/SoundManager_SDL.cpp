#include "platform/sdl/SoundManager_SDL.h"

#include "platform/sdl/AudioDevices_SDL.h"

#include <cstdio>
#include <cstring>

SoundManager_SDL::SoundManager_SDL(int bufferSamples, bool capture, const std::string& driver,
                                   const std::string& device)
    : m_iBufferSamples(bufferSamples), m_sDriver(driver), m_sDevice(device)
{
    if (capture)
        m_pCapture = std::make_unique<SpscRing<int16_t>>(1u << 18); // about 6 s
    if (OpenSubsystem())
        CreateStream();
}

SoundManager_SDL::~SoundManager_SDL()
{
    m_bRunning = false;
    DestroyStream();
    if (m_bSubsystem)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SoundManager_SDL::OpenSubsystem()
{
    // Audio on its own: a failing audio driver must not take video down with it.
    // A chosen driver outranks SDL_AUDIODRIVER for this start only.
    if (!m_sDriver.empty())
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, m_sDriver.c_str(), SDL_HINT_OVERRIDE);
    const int started = SDL_InitSubSystem(SDL_INIT_AUDIO);
    if (!m_sDriver.empty())
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    if (started == 0)
    {
        m_bSubsystem = true;
        return true;
    }
    std::fprintf(stderr, "zindle: warning: no audio (%s); playing silently\n", SDL_GetError());
    m_bWarned = true;
    return false;
}

const char* SoundManager_SDL::GetDriverName() const
{
    const char* name = m_bSubsystem ? SDL_GetCurrentAudioDriver() : nullptr;
    return name ? name : "none";
}

void SoundManager_SDL::CreateStream()
{
    if (!m_bSubsystem || m_iDevice != 0)
        return;
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = c_iSampleRate;
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    want.samples = static_cast<Uint16>(m_iBufferSamples);
    want.callback = &SoundManager_SDL::OutputCallback_Static;
    want.userdata = this; // the callback finds its manager here
    SDL_AudioSpec have;
    // With no output device listed, opening the default one only makes the
    // driver complain; go straight to the fallback below.
    const char* current = SDL_GetCurrentAudioDriver();
    const bool dummy = current && std::strcmp(current, "dummy") == 0;
    // The chosen device by its name, unless only the silent fallback is left.
    const char* name = m_sDevice.empty() || m_bFallback ? nullptr : m_sDevice.c_str();
    if (dummy || SDL_GetNumAudioDevices(0) > 0)
        m_iDevice = SDL_OpenAudioDevice(name, 0, &want, &have, 0);
    else
        SDL_SetError("no output device found");
    if (m_iDevice != 0 && !m_bFallback)
    {
        const std::string device =
            name ? AudioDevices_SDL::Quoted(name) : std::string("default device");
        char text[160];
        std::snprintf(text, sizeof text, ", %d Hz, %d-sample buffer (%.1f ms latency)", have.freq,
                      have.samples, 1000.0 * have.samples / have.freq);
        m_sDescription = std::string(GetDriverName()) + ", " + device + text;
    }
    else if (m_iDevice == 0)
    {
        m_sDescription.clear();
        // No sound card: keep the program's timing and capture alive on SDL's
        // dummy driver, and say once that nothing will be heard.
        const char* driver = SDL_GetCurrentAudioDriver();
        if (!driver || std::strcmp(driver, "dummy") != 0)
        {
            if (!m_bWarned)
                std::fprintf(stderr, "zindle: warning: no audio device (%s); playing silently\n",
                             SDL_GetError());
            m_bWarned = true;
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            m_bSubsystem = SDL_AudioInit("dummy") == 0;
            m_bFallback = true;
            if (m_bSubsystem)
                m_iDevice = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        }
    }
}

void SoundManager_SDL::DestroyStream()
{
    if (m_iDevice != 0)
    {
        SDL_CloseAudioDevice(m_iDevice); // waits for a running callback to return
        m_iDevice = 0;
    }
}

void SoundManager_SDL::StartStream()
{
    m_bRunning = true;
    if (m_iDevice != 0)
        SDL_PauseAudioDevice(m_iDevice, 0);
}

void SoundManager_SDL::StopStream()
{
    m_bRunning = false;
    if (m_iDevice != 0)
        SDL_PauseAudioDevice(m_iDevice, 1); // returns once no callback is running
}

void SoundManager_SDL::InterruptionCallback(unsigned long state)
{
    if (state == 1)
    {
        const bool running = m_bRunning;
        StopStream();
        DestroyStream();
        m_bRunning = running; // remembers whether to resume
        return;
    }
    if (!m_bSubsystem)
        OpenSubsystem();
    CreateStream();
    if (m_bRunning)
        StartStream();
}

void SoundManager_SDL::InterruptionCallback_Static(unsigned long state)
{
    if (auto* manager = dynamic_cast<SoundManager_SDL*>(SoundManager::GetInstance()))
        manager->InterruptionCallback(state);
}

void SoundManager_SDL::OutputCallback(Uint8* stream, int bytes)
{
    if (!stream || bytes <= 0)
        return;
    const int samples = bytes / 2;
    if (bytes & 1)
        stream[bytes - 1] = 0;
    int16_t* out = reinterpret_cast<int16_t*>(stream);
    RenderOutput(out, samples);
    if (m_pCapture)
        m_pCapture->Push(out, static_cast<size_t>(samples));
}

void SDLCALL SoundManager_SDL::OutputCallback_Static(void* userdata, Uint8* stream, int bytes)
{
    if (userdata)
        static_cast<SoundManager_SDL*>(userdata)->OutputCallback(stream, bytes);
}

size_t SoundManager_SDL::DrainCapture(int16_t* out, size_t maximum)
{
    return m_pCapture ? m_pCapture->Pop(out, maximum) : 0;
}
