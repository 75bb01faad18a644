// The note grid: where its lines fall for the window, note set and autotune
// mode, their colours by key with the first enabled note marked, and a frame.
#include "SceneFixture.h"

#include "formats/Tuning.h"
#include "scene/Node_NoteGrid.h"

#include <cmath>

using namespace zindle_test;
using Grid = Node_NoteGrid;

namespace
{
using Line = std::pair<float, uint32_t>; // x, colour

uint32_t Colour(int semitone, bool first)
{
    const int s = ((semitone % 12) + 12) % 12;
    const bool black = s == 1 || s == 3 || s == 6 || s == 8 || s == 10;
    return first ? (black ? Grid::c_iColourFirstBlack : Grid::c_iColourFirstWhite)
                 : (black ? Grid::c_iColourBlack : Grid::c_iColourWhite);
}

// Where octave o lies across the 480-point screen in the state's window.
float X(const InstrumentState& state, float octave)
{
    return (octave - state.GetMinOctave()) / (state.GetMaxOctave() - state.GetMinOctave()) * 480.0f;
}

// Only these pitch classes enabled, the first first (the last cannot be switched off).
void EnableOnly(InstrumentState& state, const std::vector<int>& notes)
{
    for (int note : notes)
        if (!state.IsNoteEnabled(note))
            state.ToggleNote(note);
    for (int note = 0; note < 12; ++note)
        if (std::find(notes.begin(), notes.end(), note) == notes.end() && state.IsNoteEnabled(note))
            state.ToggleNote(note);
    ASSERT_EQ(state.GetEnabledNoteCount(), int(notes.size()));
}

// The lines at the enabled semitones from..to (counted from octave 0's C).
std::vector<Line> NoteLines(const InstrumentState& state, int from, int to,
                            const std::vector<int>& notes)
{
    std::vector<Line> lines;
    for (int s = from; s <= to; ++s)
        if (std::find(notes.begin(), notes.end(), ((s % 12) + 12) % 12) != notes.end())
            lines.push_back({X(state, s / 12.0f), Colour(s, ((s % 12) + 12) % 12 == notes[0])});
    return lines;
}

const std::vector<int> c_all = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};

class NoteGridTest : public SceneTest
{
  protected:
    // Each line full height at its x in its colour, in the vertices and over a
    // blue frame, drawn by a grid of `state`.
    void ExpectLines(const InstrumentState& state, const std::vector<Line>& expected)
    {
        Grid* grid = Own(new Grid(state));
        const Frame frame = Draw(grid, 0x0000FF);
        EXPECT_EQ(grid->GetLineCount(), int(expected.size()));
        for (size_t i = 0; i < expected.size() && i < size_t(grid->GetLineCount()); ++i)
        {
            const auto [x, colour] = expected[i];
            SCOPED_TRACE(testing::Message() << "line " << i << " at " << x);
            for (int end : {0, 1})
            {
                const ModelVertex& v = grid->GetVertices()[2 * i + end];
                EXPECT_NEAR(v.position.x, x, 2e-3f);
                EXPECT_EQ(v.position.y, 320.0f * end);
                EXPECT_EQ(v.colour[0] | v.colour[1] << 8 | v.colour[2] << 16 |
                              uint32_t(v.colour[3]) << 24,
                          colour);
            }
            for (int y : {2, 160, 317})
            {
                bool found = false;
                for (int at = int(x) - 1; at <= int(x) + 1; ++at)
                    found = found || Near(frame.At(at, y), colour & 255, colour >> 8 & 255,
                                          colour >> 16 & 255, 0);
                EXPECT_TRUE(found) << "y " << y;
            }
            const float next = i + 1 < expected.size() ? expected[i + 1].first : 480.0f;
            EXPECT_TRUE(Near(frame.At(int((x + next) / 2), 100), 0, 0, 255, 0)) << "after it";
        }
        Drop(grid); // before its state may go
    }
};
} // namespace

TEST_F(NoteGridTest, EachEnabledNoteHasALineFromOctaveMinusOneAndTheFirstIsMarked)
{
    using Setup = void (*)(InstrumentState&);
    // clang-format off
    const std::tuple<const char*, Setup, int, int, std::vector<int>> windows[] = {
        {"-1.125 .. 4.125: from the C of octave -1, not the B below",
         [](InstrumentState&) {}, -12, 49, c_all},
        {"0 .. 5.25: a line on the left edge, none on the right",
         [](InstrumentState& s) { s.SetMinOctave(0.0f); }, 0, 62, c_all},
        {"the lowest window, -2.4375 .. 2.8125",
         [](InstrumentState& s) { s.SetPitchScale(0.0f); }, -12, 33, c_all},
        {"the highest window, 0.1875 .. 5.4375",
         [](InstrumentState& s) { s.SetPitchScale(1.0f); }, 3, 65, c_all},
        {"zoomed out past the full range: the lowest 128 of 137 lines",
         [](InstrumentState& s) { s.SetPitchZoom(-3.0f); }, -12, 115, c_all},
        {"C, E and G", [](InstrumentState& s) { EnableOnly(s, {0, 4, 7}); }, -12, 49, {0, 4, 7}},
        {"C#, F# and A", [](InstrumentState& s) { EnableOnly(s, {1, 6, 9}); }, -12, 49, {1, 6, 9}},
        {"F alone", [](InstrumentState& s) { EnableOnly(s, {5}); }, -12, 49, {5}}};
    // clang-format on
    for (const auto& [name, setup, from, to, notes] : windows)
    {
        SCOPED_TRACE(name);
        InstrumentState state; // as the program starts
        setup(state);
        ExpectLines(state, NoteLines(state, from, to, notes));
    }
}

TEST_F(NoteGridTest, SnapModeDividesEachOctaveIntoEqualZones)
{
    m_state.SetAutotuneSamples(0, true);
    ASSERT_TRUE(m_state.IsAutotuneEnabled_Snap());
    for (const std::vector<int>& notes :
         {std::vector{0, 2, 4, 5, 7, 9, 11}, {1, 2, 3, 4, 5, 6, 10}})
    {
        SCOPED_TRACE(testing::Message() << "first note " << notes[0]);
        EnableOnly(m_state, notes);
        // Zone k of each octave, from octave -1, while inside the window.
        std::vector<Line> expected;
        for (int k = -7; k / 7.0f < m_state.GetMaxOctave(); ++k)
            if (X(m_state, k / 7.0f) >= 0.0f)
                expected.push_back(
                    {X(m_state, k / 7.0f), Colour(notes[size_t((k + 7) % 7)], (k + 7) % 7 == 0)});
        ExpectLines(m_state, expected);
    }
    SCOPED_TRACE("one note at full zoom, at both ends of the range");
    EnableOnly(m_state, {7});
    m_state.SetPitchZoom(1.0f);
    for (float pitch : {0.0f, 1.0f})
    {
        m_state.SetPitchScale(pitch);
        m_state.SetMinOctave(pitch == 0.0f ? -10.0f : 10.0f);
        ASSERT_NEAR(m_state.GetMaxOctave() - m_state.GetMinOctave(), 1.99f, 1e-4f);
        std::vector<Line> expected;
        for (int k = -1; k < m_state.GetMaxOctave(); ++k)
            if (k >= m_state.GetMinOctave())
                expected.push_back({X(m_state, float(k)), Grid::c_iColourFirstWhite});
        ExpectLines(m_state, expected);
    }
}

TEST_F(NoteGridTest, AScaleHasALineAtEachEnabledDegreeOfEveryPeriodAndMarksTheFirst)
{
    // 5-limit just major on 264 Hz with degree 1 switched off by its key.
    const double ratios[7] = {1.0, 9.0 / 8, 5.0 / 4, 4.0 / 3, 3.0 / 2, 5.0 / 3, 15.0 / 8};
    std::vector<double> cents;
    for (int j = 1; j < 7; ++j)
        cents.push_back(1200.0 * std::log2(ratios[j]));
    cents.push_back(1200.0);
    const Tuning just("just", cents, 264.0);
    m_state.SetTuning(&just);
    m_state.ToggleNote(1);
    ASSERT_FALSE(m_state.IsNoteEnabled(1));
    ASSERT_FALSE(m_state.IsNoteEnabled(7)) << "no degree 7: key G stays unlit";
    std::vector<Line> expected;
    const double base = std::log2(264.0 / Tuning::c_rLowC);
    for (int period = -6; period < 6; ++period)
        for (int j : {0, 2, 3, 4, 5, 6})
        {
            const float x = X(m_state, float(base + period + std::log2(ratios[j])));
            if (x >= 0.0f && x < 480.0f)
                expected.push_back({x, j == 0 ? Grid::c_iColourFirstWhite : Grid::c_iColourWhite});
        }
    ExpectLines(m_state, expected);

    SCOPED_TRACE("snap: the tritave cut into thirteen zones, from the window's left edge");
    cents.clear();
    for (int k = 1; k <= 13; ++k)
        cents.push_back(1200.0 * std::log2(3.0) * k / 13.0);
    const Tuning tritave("bp", cents, 110.0);
    m_state.SetTuning(&tritave);
    m_state.ToggleNote(1); // every degree on again
    m_state.SetAutotuneSamples(0, true);
    m_state.SetPitchScale(0.0f);
    expected.clear();
    for (int k = -60; k < 60; ++k)
    {
        const float x =
            X(m_state, float(std::log2(110.0 / Tuning::c_rLowC) + std::log2(3.0) * k / 13.0));
        if (x >= 0.0f && x < 480.0f)
            expected.push_back(
                {x, (k + 65) % 13 == 0 ? Grid::c_iColourFirstWhite : Grid::c_iColourWhite});
    }
    ExpectLines(m_state, expected);
}
