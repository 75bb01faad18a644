// The block protocol of the sound graph: control runs, caching by stamp, the
// block loop and the conversion to 16 bits.
#include "sound/SoundControlSource.h"
#include "sound/SoundManager.h"
#include "sound/SoundStreamSource.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <vector>

namespace
{
// Emits one run per block of a fixed value and counts its Generate calls.
class CountingControl : public SoundControlSource
{
  public:
    explicit CountingControl(float value) : SoundControlSource(2), m_rValue(value) {}
    void Generate(int channel, int /*start*/, SoundControlBuffer* buffer, int count) override
    {
        ++m_iCalls;
        buffer->AddValue(m_rValue + static_cast<float>(channel), count);
    }
    int m_iCalls = 0;
    float m_rValue;
};

// Writes the block's stamp into every sample and records the block lengths.
class StampSource : public SoundStreamSource
{
  public:
    StampSource() : SoundStreamSource(1) {}
    int Generate(int /*channel*/, int start, float* buffer, int count) override
    {
        stamps.push_back(start);
        lengths.push_back(count);
        for (int i = 0; i < count; ++i)
            buffer[i] = value;
        return silent ? 0 : 1;
    }
    std::vector<int> stamps;
    std::vector<int> lengths;
    float value = 0.5f;
    bool silent = false;
};

// A sound manager that exposes its stamp counter and block buffer.
class TestSoundManager : public SoundManager
{
  public:
    TestSoundManager()
    {
        m_iSamplesPerFrame = c_iMaxBlockSamples;
        s_pInstance = this;
    }
    ~TestSoundManager() override { s_pInstance = nullptr; }
    void StartStream() override {}
    void StopStream() override {}
    void SetStamp(int stamp) { m_iTimeStamp.store(stamp); }
};
} // namespace

TEST(ControlBuffer, RunsAreClippedToTheBlock)
{
    SoundControlBuffer buffer(1024);
    buffer.Reset(0, 1024);
    EXPECT_EQ(buffer.AddValue(0.5f, 300), 0);
    EXPECT_EQ(buffer.AddValue(0.7f, 800), 76);
    EXPECT_EQ(buffer.GetRemaining(), 0);
    ASSERT_EQ(buffer.GetRunCount(), 2);
    EXPECT_EQ(buffer.GetRun(0).value, 0.5f);
    EXPECT_EQ(buffer.GetRun(0).length, 300);
    EXPECT_EQ(buffer.GetRun(1).value, 0.7f);
    EXPECT_EQ(buffer.GetRun(1).length, 724);
    EXPECT_EQ(buffer.AddValue(0.9f, 10), 10) << "a full block takes nothing more";
    EXPECT_EQ(buffer.GetRunCount(), 2);

    buffer.Reset(1, 64);
    EXPECT_EQ(buffer.AddValue(0.1f, 0), 0);
    EXPECT_EQ(buffer.GetRunCount(), 0) << "an empty run adds nothing";
    EXPECT_EQ(buffer.GetTimeStamp(), 1);
}

TEST(ControlBuffer, NeverWritesPastItsRunSlots)
{
    SoundControlBuffer buffer(4);
    buffer.Reset(0, 100);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(buffer.AddValue(static_cast<float>(i), 1), 0);
    EXPECT_EQ(buffer.AddValue(9.0f, 1), 1) << "a fifth run does not fit in four slots";
    EXPECT_EQ(buffer.GetRunCount(), 4);
}

TEST(ControlSource, GeneratesOncePerBlockForEveryConsumer)
{
    zindle_test::ScopedSoundManager sound;
    CountingControl control(0.25f);
    SoundControlBuffer* first = control.UpdateBuffer(0, 7, 512);
    SoundControlBuffer* second = control.UpdateBuffer(0, 7, 100);
    EXPECT_EQ(first, second);
    EXPECT_EQ(control.m_iCalls, 1) << "the second consumer reuses the block";
    EXPECT_EQ(second->GetRun(0).length, 512);

    control.UpdateBuffer(1, 7, 512);
    EXPECT_EQ(control.m_iCalls, 2) << "each channel has its own cache";

    SoundControlBuffer* next = control.UpdateBuffer(0, 8, 512);
    EXPECT_EQ(control.m_iCalls, 3);
    EXPECT_EQ(next->GetRunCount(), 1) << "a new block starts with no runs";
    EXPECT_EQ(next->GetCapacity(), SoundManager::GetInstance()->GetSamplesPerFrame());
    EXPECT_EQ(control.UpdateBuffer(2, 9, 512), nullptr) << "no such channel";
}

TEST(SoundManagerBlocks, SilenceWithoutRootAndStampsAdvance)
{
    zindle_test::ScopedSoundManager sound;
    SoundManager* manager = SoundManager::GetInstance();
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(manager->GetSamplesPerFrame(), 1024);
    EXPECT_EQ(manager->GetSampleRate(), 44100.0f);

    std::vector<int16_t> out(256, 1234);
    manager->RenderOutput(out.data(), 256);
    for (int16_t s : out)
        ASSERT_EQ(s, 0);
    EXPECT_EQ(manager->GetTimeStamp(), 1);

    StampSource source;
    source.silent = true;
    manager->SetStreamSource(&source);
    out.assign(256, 1234);
    manager->RenderOutput(out.data(), 256);
    for (int16_t s : out)
        ASSERT_EQ(s, 0) << "a root reporting silence gives zeros";
    ASSERT_EQ(source.stamps.size(), 1u);
    EXPECT_EQ(source.stamps[0], 1);
    manager->SetStreamSource(nullptr);
}

TEST(SoundManagerBlocks, LongRequestsAreCutIntoBlocksOfAtMost1024)
{
    TestSoundManager sound;
    TestSoundManager* manager = &sound;
    StampSource source;
    manager->SetStreamSource(&source);
    std::vector<int16_t> out(2500);
    manager->RenderOutput(out.data(), 2500);
    EXPECT_EQ(source.lengths, (std::vector<int>{1024, 1024, 452}));
    EXPECT_EQ(source.stamps, (std::vector<int>{0, 1, 2}));
    for (int16_t s : out)
        ASSERT_EQ(s, 16383);

    // A direct pull of a block longer than the graph is sized for is silence,
    // never a bigger buffer made on the audio thread.
    EXPECT_EQ(manager->PullBlock(2048), nullptr);
    EXPECT_EQ(source.lengths.size(), 3u) << "the graph was not asked for it";
    ASSERT_NE(manager->PullBlock(512), nullptr);
    manager->SetStreamSource(nullptr);
}

TEST(SoundManagerBlocks, StampWrapsInsteadOfOverflowing)
{
    TestSoundManager sound;
    TestSoundManager* manager = &sound;
    StampSource source;
    manager->SetStreamSource(&source);
    manager->SetStamp(INT_MAX - 1);
    std::vector<int16_t> out(3 * 64);
    for (int i = 0; i < 3; ++i)
        manager->RenderOutput(out.data() + 64 * i, 64);
    EXPECT_EQ(source.stamps, (std::vector<int>{INT_MAX - 1, INT_MAX, 0}));

    // A control source read in the wrapped block still regenerates.
    CountingControl control(0.0f);
    control.UpdateBuffer(0, INT_MAX, 64);
    control.UpdateBuffer(0, 0, 64);
    EXPECT_EQ(control.m_iCalls, 2);
    manager->SetStreamSource(nullptr);
}

TEST(SampleConversion, TruncatesAndClamps)
{
    struct Case
    {
        float in;
        int16_t out;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {1.0f, 32767},      {-1.0f, -32767}, {0.5f, 16383},    {-0.5f, -16383},
        {0.0f, 0},          {-0.0f, 0},      {0.95f, 31128},   {1e-6f, 0},
        {1.5f, 32767},      {-7.0f, -32767}, {inf, 32767},     {-inf, -32767},
        {std::nanf(""), 0}, {1e30f, 32767},  {-1e30f, -32767}, {0.999999f, 32766},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(SoundManager::ConvertSample(c.in), c.out);
    }
    // Every in-range sample converts as the truncation of x * 32767 in double.
    for (int i = -1000; i <= 1000; ++i)
    {
        const float x = static_cast<float>(i) / 1000.0f;
        ASSERT_EQ(SoundManager::ConvertSample(x),
                  static_cast<int16_t>(static_cast<int>(x * 32767.0)));
    }
}
