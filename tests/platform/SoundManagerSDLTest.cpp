// The live sound manager on SDL's dummy audio driver: a real audio thread
// pulling blocks through the same block loop as the device would.
#include "dsp/SoundStreamSource.h"
#include "platform/sdl/SoundManager_SDL.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <tuple>
#include <vector>

namespace
{
// Fills each block with its stamp (scaled) and remembers the stamps it saw.
class StampSource : public SoundStreamSource
{
  public:
    StampSource() : SoundStreamSource(1) {}
    int Generate(int /*channel*/, int start, float* buffer, int count) override
    {
        const int n = m_iBlocks.load(std::memory_order_relaxed);
        if (n < c_iMaxBlocks)
        {
            m_iStamps[n] = start;
            m_iLengths[n] = count;
            m_iBlocks.store(n + 1, std::memory_order_release);
        }
        std::fill(buffer, buffer + count, static_cast<float>(start % 100) / 100.0f);
        return 1;
    }
    static constexpr int c_iMaxBlocks = 4096;
    std::atomic<int> m_iBlocks{0};
    int m_iStamps[c_iMaxBlocks] = {};
    int m_iLengths[c_iMaxBlocks] = {};
};

bool WaitForBlocks(const StampSource& source, int blocks)
{
    for (int i = 0; i < 2000 && source.m_iBlocks.load(std::memory_order_acquire) < blocks; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return source.m_iBlocks.load(std::memory_order_acquire) >= blocks;
}

// A live sound manager made the singleton, as SoundManager::Startup would.
struct ManagerScope : std::unique_ptr<SoundManager_SDL>
{
    struct Access : SoundManager
    {
        static void Set(SoundManager* manager) { s_pInstance = manager; }
    };
    ManagerScope(int bufferSamples, bool capture)
        : unique_ptr(new SoundManager_SDL(bufferSamples, capture))
    {
        Access::Set(get());
    }
    ~ManagerScope() { Access::Set(nullptr); }
};
} // namespace

TEST(SoundManagerSDLThread, AudioThreadPullsConsecutiveBlocks)
{
    ManagerScope manager(256, true);
    ASSERT_TRUE(manager->HasDevice()) << "the dummy driver always opens";
    StampSource source;
    manager->SetStreamSource(&source);
    manager->StartStream();
    ASSERT_TRUE(WaitForBlocks(source, 40));
    manager->StopStream();
    const int blocks = source.m_iBlocks.load(std::memory_order_acquire);
    std::vector<int16_t> sent; // what each block converts to
    for (int i = 0; i < blocks; ++i)
    {
        ASSERT_EQ(source.m_iStamps[i], i) << "stamps rise by one per block";
        ASSERT_LE(source.m_iLengths[i], 1024);
        sent.insert(sent.end(), source.m_iLengths[i],
                    SoundManager::ConvertSample(static_cast<float>(i % 100) / 100.0f));
    }
    // Once stopped, the callback no longer runs.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(source.m_iBlocks.load(), blocks);

    // Everything the device was sent reached the capture ring, in order.
    std::vector<int16_t> captured(1 << 18);
    captured.resize(manager->DrainCapture(captured.data(), captured.size()));
    EXPECT_TRUE(captured == sent) << captured.size() << " samples captured of " << sent.size();
    EXPECT_EQ(manager->CaptureDropped(), 0u);
    manager->SetStreamSource(nullptr);
}

TEST(SoundManagerSDLThread, InterruptionRebuildsTheStreamAndResumesOnlyIfRunning)
{
    ManagerScope manager(512, false);
    StampSource source;
    manager->SetStreamSource(&source);

    // Interrupted while playing: no device, still meant to run; ends -> plays again.
    manager->StartStream();
    ASSERT_TRUE(WaitForBlocks(source, 2));
    manager->InterruptionCallback(1);
    EXPECT_FALSE(manager->HasDevice());
    EXPECT_TRUE(manager->IsRunning()) << "it remembers to resume";
    const int before = source.m_iBlocks.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(source.m_iBlocks.load(), before) << "no blocks without a device";
    manager->InterruptionCallback(0);
    EXPECT_TRUE(manager->HasDevice());
    ASSERT_TRUE(WaitForBlocks(source, before + 3)) << "the stream resumed";
    const int after = source.m_iBlocks.load();
    for (int i = 0; i < after; ++i)
        ASSERT_EQ(source.m_iStamps[i], i) << "the stamp counter carried on";

    // Interrupted while stopped: rebuilt, but stays silent.
    manager->StopStream();
    const int stopped = source.m_iBlocks.load();
    manager->InterruptionCallback(1);
    manager->InterruptionCallback(0);
    EXPECT_TRUE(manager->HasDevice());
    EXPECT_FALSE(manager->IsRunning());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(source.m_iBlocks.load(), stopped);

    // Starting during an interruption starts when it ends.
    manager->InterruptionCallback(1);
    manager->StartStream();
    EXPECT_FALSE(manager->HasDevice());
    manager->InterruptionCallback(0);
    ASSERT_TRUE(WaitForBlocks(source, stopped + 2));
    manager->StopStream();
    manager->SetStreamSource(nullptr);
}

TEST(SoundManagerSDLThread, OutputCallbackConvertsAndClearsOddBytes)
{
    ManagerScope manager(256, false);
    StampSource source;
    // Not started: drive the callback by hand, as the device would.
    std::vector<Uint8> bytes(513, 0xAB);
    manager->OutputCallback(bytes.data(), 513);
    EXPECT_EQ(bytes, std::vector<Uint8>(513, 0)) << "no root: silence, and the odd byte cleared";
    manager->SetStreamSource(&source);
    std::vector<int16_t> samples(256);
    manager->OutputCallback(reinterpret_cast<Uint8*>(samples.data()), 512);
    // 512 bytes are one block of 256 samples, the first stamped 1.
    EXPECT_EQ(std::tuple(source.m_iBlocks.load(), source.m_iLengths[0], source.m_iStamps[0]),
              std::tuple(1, 256, 1));
    EXPECT_EQ(samples, std::vector<int16_t>(256, SoundManager::ConvertSample(0.01f)));
    manager->SetStreamSource(nullptr);
}
