#include "dsp/SoundManager.h"

#include "dsp/DenormalGuard.h"
#include "dsp/SoundBlockListener.h"
#include "dsp/SoundStreamSource.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<float>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<SoundStreamSource*>::is_always_lock_free);

SoundManager* SoundManager::s_pInstance = nullptr;

SoundManager::SoundManager()
    : m_iSamplesPerFrame(c_iMaxBlockSamples), m_pBlockBuffer(new float[c_iMaxBlockSamples])
{
}

SoundManager::~SoundManager() = default;

namespace
{
SoundManager::Factory s_factory = nullptr;
}

void SoundManager::SetPlatformFactory(Factory factory)
{
    s_factory = factory;
}

SoundManager* SoundManager::CreatePlatformManager(Window* window)
{
    return s_factory ? s_factory(window) : nullptr;
}

void SoundManager::Startup(Window* window)
{
    if (!s_pInstance)
        s_pInstance = CreatePlatformManager(window);
}

void SoundManager::Shutdown()
{
    SoundManager* instance = s_pInstance;
    s_pInstance = nullptr;
    delete instance;
}

void SoundManager::Update()
{
    if (s_pInstance)
        s_pInstance->Update_Internal();
}

void SoundManager::SetStreamSource(SoundStreamSource* source)
{
    m_pStreamSource.store(source, std::memory_order_release);
}

SoundStreamSource* SoundManager::GetStreamSource() const
{
    return m_pStreamSource.load(std::memory_order_acquire);
}

const float* SoundManager::PullBlock(int count)
{
    if (count <= 0)
        return nullptr;
    const int stamp = m_iTimeStamp.load(std::memory_order_relaxed);
    SoundStreamSource* root = m_pStreamSource.load(std::memory_order_acquire);
    // Every node is sized for the largest block: a longer one is not pulled.
    const bool produced = root && count <= c_iMaxBlockSamples &&
                          root->Generate(0, stamp, m_pBlockBuffer.get(), count) != 0;
    // Whoever listens (MIDI out reads what the voices played): every block,
    // silent ones included, so its clock is the output's sample index.
    if (SoundBlockListener* listener = m_pBlockListener.load(std::memory_order_acquire))
        listener->BlockPulled(stamp, count);
    // Wrap explicitly: a signed overflow would be undefined after ~2^31 blocks.
    m_iTimeStamp.store(stamp == INT_MAX ? 0 : stamp + 1, std::memory_order_relaxed);
    return produced ? m_pBlockBuffer.get() : nullptr;
}

void SoundManager::RenderOutput(int16_t* out, int count)
{
    if (!out || count <= 0)
        return;
    DenormalGuard guard;
    const int blockLimit = m_iSamplesPerFrame > 0 && m_iSamplesPerFrame < c_iMaxBlockSamples
                               ? m_iSamplesPerFrame
                               : c_iMaxBlockSamples;
    const bool muted = IsMuted();
    while (count > 0)
    {
        const int n = std::min(count, blockLimit);
        const float* block = PullBlock(n);
        if (block && !muted)
        {
            for (int i = 0; i < n; ++i)
                out[i] = ConvertSample(block[i]);
        }
        else
        {
            std::memset(out, 0, sizeof(int16_t) * static_cast<size_t>(n));
        }
        out += n;
        count -= n;
    }
}

int16_t SoundManager::ConvertSample(float x)
{
    const double scaled = static_cast<double>(x) * 32767.0;
    if (std::isnan(scaled))
        return 0;
    if (scaled >= 32767.0)
        return 32767;
    if (scaled <= -32767.0)
        return -32767;
    return static_cast<int16_t>(static_cast<int32_t>(scaled));
}
