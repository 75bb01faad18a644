// The instrument's shared state: one per synth, and published whole to the
// audio thread, so that a block never pulls onto a note set or a scale half
// rebuilt while the main thread changes it.
#include "synth/InstrumentState.h"
#include "formats/Tuning.h"
#include "support/SoundTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using namespace zindle_test;

namespace
{
// A note set or scale as snap must use it: degree 0 and the period, and the
// enabled degrees within a period, all in octaves above the low C.
struct DegreeSet
{
    double base = 0.0;
    double period = 1.0;
    std::vector<double> degrees;
};

// Where snap puts octave o (a plain reference): the period cut into equal zones,
// one per enabled degree in their order, each zone centred on its degree's share.
double SnapReference(const DegreeSet& set, double octave)
{
    const double n = static_cast<double>(set.degrees.size());
    const double u = (octave - set.base) / set.period + 0.5 / n;
    const double whole = std::floor(u);
    const size_t zone = std::min(static_cast<size_t>((u - whole) * n), set.degrees.size() - 1);
    return set.base + whole * set.period + set.degrees[zone];
}

// `scale` (null: the twelve notes on C) with the note keys in `off` switched off.
DegreeSet DegreesOf(const Tuning* scale, const std::vector<int>& off)
{
    auto on = [&](int degree)
    { return degree >= 12 || std::find(off.begin(), off.end(), degree) == off.end(); };
    DegreeSet set;
    const int n = scale ? scale->GetDegreeCount() : 12;
    if (scale)
    {
        set.period = scale->GetPeriodOctaves();
        const double base = std::log2(scale->GetBaseHz() / Tuning::c_rLowC);
        set.base = base - set.period * std::floor(base / set.period);
    }
    for (int degree = 0; degree < n; ++degree)
        if (on(degree))
            set.degrees.push_back(scale ? scale->GetDegreeOctaves(degree) : degree / 12.0);
    return set;
}

Tuning EqualScale(int degrees, double periodCents, double baseHz)
{
    std::vector<double> cents;
    for (int i = 1; i <= degrees; ++i)
        cents.push_back(periodCents * i / degrees);
    return Tuning(std::to_string(degrees) + " equal", cents, baseHz);
}
} // namespace

// One thread loads scales of 5 to 1024 degrees (and the twelve notes again) and
// switches note keys; another pulls blocks from a voice in "Snap" with a finger
// down. Each block's pitch must be where one whole published set puts that
// finger: the set before the changes made during the block or one after,
// never a mix (a count with the wrong table, a base with another scale's
// degrees, a table half shifted).
TEST(InstrumentStateThreaded, SnapPullsOntoOneWholePublishedSetWhileTheSetsChange)
{
    Engine engine;
    InstrumentState& state = engine.synth.GetInstrumentState();
    SoundControl_Theremin& voice = *engine.synth.GetTheremin(0);
    state.SetAutotuneSamples(0, true);

    // Scales of many degrees take long to load: a block that reads one half
    // loaded hears degree 0 moved with the rest of the old degrees.
    const Tuning scales[] = {EqualScale(1024, 1200.0, 70.0), EqualScale(5, 1200.0, 75.0),
                             EqualScale(997, 1200.0, 83.0), EqualScale(13, 1901.955, 110.0),
                             EqualScale(731, 1901.955, 97.0)};
    // One cycle of changes; after change k the state is expected[k]. Each
    // scale starts with every key on, and the cycle ends where it starts.
    struct Change
    {
        const Tuning* scale; // loaded, or null: the key is toggled
        int key;
    };
    std::vector<Change> cycle;
    std::vector<DegreeSet> expected;
    for (size_t s = 0; s <= std::size(scales); ++s)
    {
        const Tuning* scale = s == 0 ? nullptr : &scales[s - 1];
        cycle.push_back({scale, -1});
        expected.push_back(DegreesOf(scale, {}));
        const std::pair<int, std::vector<int>> keys[] = {{1, {1}}, {3, {1, 3}}, {3, {1}}, {1, {}}};
        for (const auto& [key, off] : keys)
        {
            cycle.push_back({nullptr, key});
            expected.push_back(DegreesOf(scale, off));
        }
    }
    // The state after `done` changes (none: the start, the twelve notes).
    auto stateAfter = [&](long done)
    { return expected[static_cast<size_t>(done == 0 ? 0 : (done - 1) % long(cycle.size()))]; };

    const int fingerX[] = {37, 151, 263, 389, 470};
    engine.Down(0, fingerX[0], 160);
    std::atomic<long> done{0};
    std::atomic<bool> finished{false};
    long changesHeard = 0; // the audio thread's, read after it ends
    int wrong = 0;
    std::string firstWrong;
    std::thread audio(
        [&]
        {
            // At least 2000 blocks, until 200 changes were made while they were
            // pulled. A machine busy with other builds can hold the main thread
            // back for a quarter of a second or more, so the bound that ends a
            // run whose changes never come is a generous one (seconds of blocks).
            constexpr int c_iMinBlocks = 2000, c_iMaxBlocks = 1000000;
            constexpr long c_iMinChanges = 200;
            long first = 0;
            while ((first = done.load(std::memory_order_acquire)) == 0) // the changes have begun
                std::this_thread::yield();
            long seen = first;
            for (int block = 1; block <= c_iMaxBlocks; ++block)
            {
                const long before = done.load(std::memory_order_acquire);
                const Runs runs = RunsOf(voice, 0, block, 256);
                const long after = done.load(std::memory_order_acquire);
                const float hz = voice.GetBlockFinger().rFrequency;
                const double octave = std::log2(hz / Tuning::c_rLowC); // as the voice has it
                const double heard = std::log2(runs.at(0).first / double(Tuning::c_rLowC));
                // A change may be published before `done` counts it; a finger
                // on a zone's edge may round either way.
                bool found = false;
                for (long d = before; runs.size() == 1 && !found && d <= after + 1; ++d)
                    for (double nudge : {0.0, -1e-5, 1e-5})
                        found = found || std::fabs(SnapReference(stateAfter(d), octave + nudge) -
                                                   heard) < 1e-5;
                if (!found && wrong++ == 0)
                    firstWrong = "block " + std::to_string(block) + ": finger at octave " +
                                 std::to_string(octave) + " heard at " + std::to_string(heard) +
                                 " after changes " + std::to_string(before) + " to " +
                                 std::to_string(after);
                if (block >= c_iMinBlocks && after - first >= c_iMinChanges)
                    break;
                // On a shared core the main thread is preempted anywhere, often
                // in the middle of a change, which the blocks here then meet;
                // when it has made none for a while, this thread gives way.
                if (block % 64 == 0)
                {
                    if (after == seen)
                        std::this_thread::yield();
                    seen = after;
                }
            }
            changesHeard = done.load(std::memory_order_acquire) - first;
            finished.store(true, std::memory_order_release);
        });

    long changes = 0;
    while (!finished.load(std::memory_order_acquire))
    {
        const Change& change = cycle[static_cast<size_t>(changes % long(cycle.size()))];
        if (change.key < 0)
            state.SetTuning(change.scale);
        else
            state.ToggleNote(change.key);
        done.store(++changes, std::memory_order_release);
        if (changes % 16 == 0)
            engine.Move(0, fingerX[changes / 16 % long(std::size(fingerX))], 160);
    }
    audio.join();
    EXPECT_EQ(wrong, 0) << firstWrong;
    EXPECT_GE(changesHeard, 200) << "the sets changed while the blocks were pulled";
}

// Each synth has its own state, and a fresh one is the start, whatever another
// synth (or an earlier test) has set.
TEST(InstrumentState, EachSynthHasItsOwnStateAndAFreshOneIsTheStart)
{
    {
        Engine engine;
        InstrumentState& changed = engine.synth.GetInstrumentState();
        changed.SetAutotuneSamples(0, true);
        changed.ToggleNote(4);
        changed.SetPitchZoom(1.0f);
        const Tuning scale = EqualScale(7, 1200.0, 100.0);
        changed.SetTuning(&scale);

        const Synth_FourVoice other{SoundManager::c_rSampleRate, SoundManager::c_iMaxBlockSamples};
        const InstrumentState& fresh = other.GetInstrumentState();
        EXPECT_EQ(std::tuple(fresh.GetAutotuneSpeed(), fresh.GetCorrectionSamples(),
                             fresh.IsNoteEnabled(4), fresh.IsTuned(), fresh.GetDegreeCount()),
                  std::tuple(0.0f, 4096, true, false, 12));
        EXPECT_EQ(std::tuple(fresh.GetMinOctave(), fresh.GetMaxOctave(), fresh.GetPitchScale(),
                             fresh.GetPitchZoom()),
                  std::tuple(-1.125f, 4.125f, 0.5f, 0.0f));

        // The changed synth's voices snap onto its scale.
        engine.Down(0, 240, 160);
        const double degrees =
            7.0 * std::log2(RunsOf(*engine.synth.GetTheremin(0), 0, 1, 256).at(0).first / 100.0);
        EXPECT_NEAR(degrees, std::round(degrees), 1e-4) << "on a degree of the 7-equal scale";
    }
    // A new synth plays the start window without autotune.
    Engine engine;
    engine.Down(0, 240, 160);
    EXPECT_NEAR(RunsOf(*engine.synth.GetTheremin(0), 0, 1, 256).at(0).first, WindowHz(240), 0.01);
}
