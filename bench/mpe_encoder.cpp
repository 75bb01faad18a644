// What MPE encoding costs the audio thread: one block of four gliding voices
// (30-sample pitch and timbre runs, as the theremins emit while fingers move),
// encoded and drained.
#include "dsp/SoundControlSource.h"
#include "synth/MpeEncoder.h"

#include <benchmark/benchmark.h>

namespace
{
class GlidingVoice : public SoundControlSource
{
  public:
    explicit GlidingVoice(float hz) : SoundControlSource(2), m_rHz(hz) {}
    void Generate(int channel, int, SoundControlBuffer* buffer, int count) override
    {
        for (int offset = 0; offset < count; offset += 30)
        {
            m_rHz *= 1.0005f; // about a cent per run
            if (m_rHz > 2000.0f)
                m_rHz = 100.0f;
            m_rTimbre = m_rTimbre >= 1.0f ? 0.0f : m_rTimbre + 0.01f;
            buffer->AddValue(channel == 0 ? m_rHz : m_rTimbre, 30);
        }
    }

  private:
    float m_rHz;
    float m_rTimbre = 0.0f;
};

void EncodeFourGlidingVoices(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    MpeEncoder encoder;
    GlidingVoice voices[4] = {GlidingVoice(100.0f), GlidingVoice(200.0f), GlidingVoice(300.0f),
                              GlidingVoice(400.0f)};
    for (int k = 0; k < 4; ++k)
        encoder.SetVoiceSource(k, &voices[k]);
    MidiEvent events[4096];
    int stamp = 0;
    size_t sent = 0;
    for (auto _ : state)
    {
        encoder.ProcessBlock(++stamp, count);
        sent += encoder.Drain(events, 4096);
    }
    state.counters["events/block"] =
        benchmark::Counter(static_cast<double>(sent) / static_cast<double>(state.iterations()));
    state.SetItemsProcessed(state.iterations() * count);
}
} // namespace

BENCHMARK(EncodeFourGlidingVoices)->Arg(256)->Arg(1024);
BENCHMARK_MAIN();
