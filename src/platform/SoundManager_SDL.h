// The live sound manager: an SDL audio device (44100 Hz, mono, signed 16-bit)
// whose callback runs on SDL's audio thread. Losing the device begins an
// interruption; a device coming back ends it.
#pragma once

#include "sound/SoundManager.h"
#include "sound/SpscRing.h"

#include <SDL.h>

#include <atomic>
#include <memory>

class SoundManager_SDL : public SoundManager
{
  public:
    // bufferSamples: samples per device request. With capture, every sample sent
    // to the device is also queued for the main thread (see DrainCapture).
    SoundManager_SDL(int bufferSamples, bool capture);
    ~SoundManager_SDL() override;

    void StartStream() override;
    void StopStream() override;

    // state 1 begins an interruption (device lost), anything else ends it.
    void InterruptionCallback(unsigned long state);
    static void InterruptionCallback_Static(unsigned long state);

    // The device callback's work: fills `bytes` bytes of 16-bit samples.
    void OutputCallback(Uint8* stream, int bytes);
    static void SDLCALL OutputCallback_Static(void* userdata, Uint8* stream, int bytes);

    bool HasDevice() const { return m_iDevice != 0; }
    bool IsRunning() const { return m_bRunning.load(std::memory_order_relaxed); }
    SDL_AudioDeviceID GetDevice() const { return m_iDevice; }
    const char* GetDriverName() const;

    // Main thread: moves captured samples out of the ring; returns how many.
    size_t DrainCapture(int16_t* out, size_t maximum);
    size_t CaptureDropped() const { return m_pCapture ? m_pCapture->Dropped() : 0; }

  private:
    bool OpenSubsystem();
    void CreateStream();
    void DestroyStream();

    int m_iBufferSamples;
    SDL_AudioDeviceID m_iDevice = 0;
    std::atomic<bool> m_bRunning{false};
    bool m_bSubsystem = false;
    bool m_bWarned = false;
    std::unique_ptr<SpscRing<int16_t>> m_pCapture;
};
