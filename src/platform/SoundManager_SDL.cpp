#include "platform/SoundManager_SDL.h"

#include <cstdio>
#include <cstring>

SoundManager_SDL::SoundManager_SDL(int bufferSamples, bool capture)
    : m_iBufferSamples(bufferSamples)
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
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0)
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
    if (dummy || SDL_GetNumAudioDevices(0) > 0)
        m_iDevice = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    else
        SDL_SetError("no output device found");
    if (m_iDevice == 0)
    {
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
