// Software PVRTC decoding speed, in megapixels per second, for square textures of
// pseudo-random words (the decoder's work does not depend on the data).
#include "formats/PvrtcDecoder.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace
{
void DecodePvrtc(benchmark::State& state, int bitsPerPixel)
{
    const uint32_t side = uint32_t(state.range(0));
    std::vector<uint8_t> data(size_t(PvrtcDecoder::LevelSize(side, side, bitsPerPixel)));
    std::mt19937 random(1);
    for (uint8_t& byte : data)
        byte = uint8_t(random());
    std::vector<uint8_t> rgba;
    for (auto _ : state)
    {
        if (!PvrtcDecoder::Decode(data.data(), data.size(), side, side, bitsPerPixel, rgba))
            state.SkipWithError("decoding failed");
        benchmark::DoNotOptimize(rgba.data());
        benchmark::ClobberMemory();
    }
    const double pixels = double(side) * side;
    state.counters["Mpixel/s"] =
        benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Pvrtc4bpp(benchmark::State& state)
{
    DecodePvrtc(state, 4);
}
void BM_Pvrtc2bpp(benchmark::State& state)
{
    DecodePvrtc(state, 2);
}
} // namespace

BENCHMARK(BM_Pvrtc4bpp)->Arg(128)->Arg(256)->Arg(512)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Pvrtc2bpp)->Arg(128)->Arg(256)->Arg(512)->Arg(1024)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
