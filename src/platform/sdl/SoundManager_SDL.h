// The live sound manager: an SDL audio device (44100 Hz, mono, signed 16-bit)
// whose callback runs on SDL's audio thread. Losing the device begins an
// interruption; a device coming back ends it. With no device at all it says so
// once and keeps the program's timing on SDL's dummy driver, silent.
#pragma once

#include "core/SpscRing.h"
#include "dsp/SoundManager.h"

#include <SDL.h>

#include <atomic>
#include <memory>
#include <string>

class SoundManager_SDL : public SoundManager
{
  public:
    // bufferSamples: samples per device request. With capture, every sample sent
    // to the device is also queued for the main thread (see DrainCapture).
    // driver: SDL's name of the audio driver (empty: SDL's choice, which
    // SDL_AUDIODRIVER may name); device: a whole output device name (empty:
    // the driver's default device).
    SoundManager_SDL(int bufferSamples, bool capture, const std::string& driver = {},
                     const std::string& device = {});
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
    // What the player hears through: driver, device, rate, buffer and its
    // latency, e.g. "alsa, 'USB Audio', 44100 Hz, 256-sample buffer (5.8 ms
    // latency)"; empty when nothing will be heard (no device: silent).
    const std::string& GetDescription() const { return m_sDescription; }

    // Main thread: moves captured samples out of the ring; returns how many.
    size_t DrainCapture(int16_t* out, size_t maximum);
    size_t CaptureDropped() const { return m_pCapture ? m_pCapture->Dropped() : 0; }

  private:
    bool OpenSubsystem();
    void CreateStream();
    void DestroyStream();

    int m_iBufferSamples;
    std::string m_sDriver;
    std::string m_sDevice;
    std::string m_sDescription;
    SDL_AudioDeviceID m_iDevice = 0;
    std::atomic<bool> m_bRunning{false};
    bool m_bSubsystem = false;
    bool m_bWarned = false;
    bool m_bFallback = false; // on SDL's dummy driver because nothing else opened
    std::unique_ptr<SpscRing<int16_t>> m_pCapture;
};
