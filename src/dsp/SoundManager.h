// The sound engine singleton: holds the graph's root and pulls one block from it
// per platform request. The platform subclass owns the audio thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

class SoundBlockListener;
class SoundStreamSource;
class Window;

class SoundManager
{
  public:
    static constexpr int c_iMaxBlockSamples = 1024; // largest block the graph is sized for
    static constexpr int c_iSampleRate = 44100;     // Hz, the device's and the files'
    static constexpr float c_rSampleRate = static_cast<float>(c_iSampleRate);

    virtual ~SoundManager();

    SoundManager(const SoundManager&) = delete;
    SoundManager& operator=(const SoundManager&) = delete;

    virtual void Update_Internal() {}
    virtual void StartStream() = 0;
    virtual void StopStream() = 0;

    // Creates the platform sound manager (made by the host) if none exists.
    static void Startup(Window* window);
    static void Shutdown();
    static SoundManager* GetInstance() { return s_pInstance; }
    static void Update();
    // The sound manager this machine uses, made by the factory the platform
    // host registered (none without one: the program runs silent).
    using Factory = SoundManager* (*)(Window* window);
    static void SetPlatformFactory(Factory factory);

    int GetSamplesPerFrame() const { return m_iSamplesPerFrame; }
    float GetSampleRate() const { return m_rSampleRate; }
    // Set only while the stream is stopped; null detaches the graph (silence).
    void SetStreamSource(SoundStreamSource* source);
    SoundStreamSource* GetStreamSource() const;

    // The stamp the next block will carry. Stamps only ever compare for equality.
    int GetTimeStamp() const { return m_iTimeStamp.load(std::memory_order_relaxed); }

    // Fills `count` 16-bit samples, cut into blocks of at most samples-per-frame,
    // each pulled from the root with its own stamp. Audio thread (or the
    // headless loop) only.
    void RenderOutput(int16_t* out, int count);

    // Muted, RenderOutput still pulls every block (so everything that listens to
    // the voices keeps going) but outputs silence.
    void SetMuted(bool muted) { m_bMuted.store(muted, std::memory_order_relaxed); }
    bool IsMuted() const { return m_bMuted.load(std::memory_order_relaxed); }

    // Told of every block after the graph made it (null for none). Set on the
    // main thread at any time; the audio thread sees it from its next block.
    void SetBlockListener(SoundBlockListener* listener)
    {
        m_pBlockListener.store(listener, std::memory_order_release);
    }

    // Pulls one block of `count` samples (at most c_iMaxBlockSamples: a longer
    // one is silence) from the root into the block buffer. Returns the block,
    // or null for silence. Advances the stamp either way.
    const float* PullBlock(int count);

    // One float sample to 16 bits: truncation of x * 32767, clamped to
    // +-32767, NaN to 0.
    static int16_t ConvertSample(float x);

  protected:
    SoundManager();

    static SoundManager* s_pInstance;

    std::atomic<SoundStreamSource*> m_pStreamSource{nullptr};
    std::atomic<SoundBlockListener*> m_pBlockListener{nullptr};
    std::atomic<int> m_iTimeStamp{0};
    std::atomic<bool> m_bMuted{false};
    int m_iSamplesPerFrame = 0;
    float m_rSampleRate = c_rSampleRate;
    // Made with the manager, for the largest block: the audio path never allocates.
    std::unique_ptr<float[]> m_pBlockBuffer;

  private:
    static SoundManager* CreatePlatformManager(Window* window);
};
