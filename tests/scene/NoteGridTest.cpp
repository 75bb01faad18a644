// The note grid: where its lines fall for the theremins' window, note set and
// autotune mode, their colours by key, the edges of the screen and of the
// full range, the line cap, and a real frame of it.
#include "scene/Node_NoteGrid.h"

#include "SceneContentFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <vector>

using Theremin = SoundControl_Theremin;
using zindle_test::SceneContentTest;

namespace
{
struct Line
{
    float x;
    uint32_t colour;
};

uint32_t Packed(const ModelVertex& v)
{
    return v.colour[0] | (v.colour[1] << 8) | (v.colour[2] << 16) |
           (static_cast<uint32_t>(v.colour[3]) << 24);
}

bool IsBlack(int semitone)
{
    const int s = ((semitone % 12) + 12) % 12;
    return s == 1 || s == 3 || s == 6 || s == 8 || s == 10;
}

// Only the given pitch classes enabled (wanted ones first: the last enabled
// class cannot be switched off).
void EnableOnly(std::initializer_list<int> notes)
{
    for (int n : notes)
    {
        if (!Theremin::IsNoteEnabled(n))
            Theremin::ToggleNote(n);
    }
    for (int note = 0; note < 12; ++note)
    {
        bool wanted = false;
        for (int n : notes)
            wanted = wanted || n == note;
        if (!wanted && Theremin::IsNoteEnabled(note))
            Theremin::ToggleNote(note);
    }
    ASSERT_EQ(Theremin::GetEnabledNoteCount(), static_cast<int>(notes.size()));
}

class NoteGridTest : public SceneContentTest
{
  protected:
    void TearDown() override
    {
        if (m_pGrid)
            m_pGrid->Release();
    }

    Node_NoteGrid& Grid()
    {
        if (!m_pGrid)
            m_pGrid = new Node_NoteGrid();
        else
            m_pGrid->UpdateGeometry();
        return *m_pGrid;
    }

    // Checks every line against the expected ones, in order, and that each is
    // a full-height vertical line.
    static void ExpectLines(const Node_NoteGrid& grid, const std::vector<Line>& expected)
    {
        ASSERT_EQ(grid.GetLineCount(), static_cast<int>(expected.size()));
        for (size_t i = 0; i < expected.size(); ++i)
        {
            SCOPED_TRACE(testing::Message() << "line " << i);
            const ModelVertex& top = grid.GetVertices()[2 * i];
            const ModelVertex& bottom = grid.GetVertices()[2 * i + 1];
            EXPECT_NEAR(top.position.x, expected[i].x, 2e-3f);
            EXPECT_EQ(bottom.position.x, top.position.x);
            EXPECT_EQ(top.position.y, 0.0f);
            EXPECT_EQ(bottom.position.y, 320.0f);
            EXPECT_EQ(Packed(top), expected[i].colour);
            EXPECT_EQ(Packed(bottom), expected[i].colour);
        }
    }

    // The lines at the given semitones (counted from octave 0's C), coloured
    // by key, the first enabled note of the octave marked.
    static std::vector<Line> NoteLines(int from, int to, std::initializer_list<int> notes)
    {
        std::vector<Line> lines;
        const float min = Theremin::GetMinOctave(), max = Theremin::GetMaxOctave();
        const int first = *notes.begin();
        for (int s = from; s <= to; ++s)
        {
            const int pitchClass = ((s % 12) + 12) % 12;
            bool enabled = false;
            for (int n : notes)
                enabled = enabled || n == pitchClass;
            if (!enabled)
                continue;
            const float x = (s / 12.0f - min) / (max - min) * 480.0f;
            uint32_t colour;
            if (pitchClass == first)
                colour = IsBlack(s) ? Node_NoteGrid::c_iColourFirstBlack
                                    : Node_NoteGrid::c_iColourFirstWhite;
            else
                colour = IsBlack(s) ? Node_NoteGrid::c_iColourBlack : Node_NoteGrid::c_iColourWhite;
            lines.push_back({x, colour});
        }
        return lines;
    }

    Node_NoteGrid* m_pGrid = nullptr;
};
} // namespace

TEST_F(NoteGridTest, AllNotesMarkEverySemitoneFromOctaveMinusOne)
{
    // The window -1.125 .. 4.125: semitones -12 (the C of octave -1, not the B
    // below it) up to 49.
    ASSERT_FLOAT_EQ(Theremin::GetMinOctave(), -1.125f);
    const auto expected = NoteLines(-12, 49, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    ASSERT_EQ(expected.size(), 62u);
    ExpectLines(Grid(), expected);
    EXPECT_EQ(Grid().GetLineCount(), 62);
    EXPECT_EQ(Node_NoteGrid::c_iColourFirstWhite, 0xFF99FFFFu); // (255, 255, 153, 255)
    EXPECT_EQ(Node_NoteGrid::c_iColourFirstBlack, 0xFF000088u); // (136, 0, 0, 255)
}

TEST_F(NoteGridTest, FewNotesMarkOnlyThoseNotes)
{
    {
        SCOPED_TRACE("C, E and G");
        EnableOnly({0, 4, 7});
        ExpectLines(Grid(), NoteLines(-12, 49, {0, 4, 7}));
    }
    {
        SCOPED_TRACE("C# first, a black key: dark red");
        EnableOnly({1, 6, 9});
        ExpectLines(Grid(), NoteLines(-12, 49, {1, 6, 9}));
    }
    {
        SCOPED_TRACE("a single note");
        EnableOnly({5});
        ExpectLines(Grid(), NoteLines(-12, 49, {5}));
    }
}

TEST_F(NoteGridTest, SnapModeDividesEachOctaveIntoEqualZones)
{
    Theremin::SetAutotuneSamples(0, true);
    ASSERT_TRUE(Theremin::IsAutotuneEnabled_Snap());
    for (auto notes : {std::initializer_list<int>{0, 2, 4, 5, 7, 9, 11},
                       std::initializer_list<int>{1, 2, 3, 4, 5, 6, 10}})
    {
        EnableOnly(notes);
        SCOPED_TRACE(testing::Message() << "first note " << *notes.begin());
        const std::vector<int> enabled(notes);
        std::vector<Line> expected;
        const float min = Theremin::GetMinOctave(), max = Theremin::GetMaxOctave();
        // Zone centres k / 7 from octave -1 while inside the window.
        for (int k = -7; k / 7.0f < max; ++k)
        {
            const float x = (k / 7.0f - min) / (max - min) * 480.0f;
            if (x < 0.0f)
                continue;
            const int zone = (k + 7) % 7;
            const int semitone = enabled[zone];
            uint32_t colour;
            if (zone == 0)
                colour = IsBlack(semitone) ? Node_NoteGrid::c_iColourFirstBlack
                                           : Node_NoteGrid::c_iColourFirstWhite;
            else
                colour = IsBlack(semitone) ? Node_NoteGrid::c_iColourBlack
                                           : Node_NoteGrid::c_iColourWhite;
            expected.push_back({x, colour});
        }
        ExpectLines(Grid(), expected);
    }
}

TEST_F(NoteGridTest, LineOnTheLeftEdgeIsDrawnOneOnTheRightEdgeIsNot)
{
    // A window from octave 0 to 5.25 is exactly 63 semitones wide.
    Theremin::SetMinOctave(0.0f);
    ASSERT_EQ(Theremin::GetMinOctave(), 0.0f);
    ASSERT_EQ(Theremin::GetMaxOctave(), 5.25f);
    Node_NoteGrid& grid = Grid();
    ASSERT_EQ(grid.GetLineCount(), 63);
    EXPECT_EQ(grid.GetVertices()[0].position.x, 0.0f);
    EXPECT_LT(grid.GetVertices()[2 * 62].position.x, 480.0f);
    ExpectLines(grid, NoteLines(0, 62, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
}

TEST_F(NoteGridTest, WindowAtEitherEndOfTheFullRange)
{
    const std::initializer_list<int> all{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    {
        SCOPED_TRACE("lowest: -2.4375 .. 2.8125, nothing below octave -1");
        Theremin::SetPitchScale(0.0f);
        ASSERT_FLOAT_EQ(Theremin::GetMinOctave(), -2.4375f);
        Node_NoteGrid& grid = Grid();
        ExpectLines(grid, NoteLines(-12, 33, all));
        EXPECT_NEAR(grid.GetVertices()[0].position.x, 1.4375f / 5.25f * 480.0f, 1e-3f);
    }
    {
        SCOPED_TRACE("highest: 0.1875 .. 5.4375");
        Theremin::SetPitchScale(1.0f);
        ASSERT_FLOAT_EQ(Theremin::GetMaxOctave(), 5.4375f);
        ExpectLines(Grid(), NoteLines(3, 65, all));
    }
    {
        SCOPED_TRACE("full zoom, one note, snap, at both ends");
        EnableOnly({7});
        Theremin::SetAutotuneSamples(0, true);
        Theremin::SetPitchZoom(1.0f);
        for (float pitch : {0.0f, 1.0f})
        {
            Theremin::SetPitchScale(pitch);
            Theremin::SetMinOctave(pitch == 0.0f ? -10.0f : 10.0f);
            const float min = Theremin::GetMinOctave(), max = Theremin::GetMaxOctave();
            ASSERT_NEAR(max - min, 1.99f, 1e-4f);
            std::vector<Line> expected;
            for (int k = -1; k < max; ++k)
            {
                if (k >= min)
                    expected.push_back(
                        {(k - min) / (max - min) * 480.0f, Node_NoteGrid::c_iColourFirstWhite});
            }
            ExpectLines(Grid(), expected);
        }
    }
}

TEST_F(NoteGridTest, NeverMoreThan128Lines)
{
    // A zoom below 0 widens the window past the full range: from octave -1 to
    // 10.375 there would be 137 semitone lines.
    Theremin::SetPitchZoom(-3.0f);
    ASSERT_GT((Theremin::GetMaxOctave() + 1.0f) * 12.0f, 128.0f);
    Node_NoteGrid& grid = Grid();
    ASSERT_EQ(grid.GetLineCount(), 128);
    // The lowest 128, in order from octave -1.
    const auto expected = NoteLines(-12, 115, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    ExpectLines(grid, expected);
}

TEST_F(NoteGridTest, GeometryChangesOnlyOnDemand)
{
    m_pGrid = new Node_NoteGrid();
    const int before = m_pGrid->GetLineCount();
    const float firstX = m_pGrid->GetVertices()[0].position.x;
    EnableOnly({0});
    Theremin::SetPitchScale(0.0f);
    EXPECT_EQ(m_pGrid->GetLineCount(), before);
    EXPECT_EQ(m_pGrid->GetVertices()[0].position.x, firstX);
    m_pGrid->UpdateGeometry();
    EXPECT_LT(m_pGrid->GetLineCount(), before);
}

// The lines as a player sees them over a blue background.
TEST_F(NoteGridTest, FrameShowsLinesInTheirColours)
{
    Node_NoteGrid& grid = Grid();
    DrawFrame(&grid, 0x000000FF);
    const std::vector<uint8_t> frame = m_gl.ReadLandscape();
    ASSERT_EQ(frame.size(), 480u * 320u * 4u);
    const auto pixel = [&](int x, int y)
    {
        const size_t i = (static_cast<size_t>(y) * 480 + x) * 4;
        return std::array<int, 3>{frame[i], frame[i + 1], frame[i + 2]};
    };
    // The column nearest each line shows its colour, top to bottom.
    const auto expected = NoteLines(-12, 49, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    for (const Line& line : expected)
    {
        SCOPED_TRACE(testing::Message() << "line at " << line.x);
        const std::array<int, 3> want{static_cast<int>(line.colour & 255),
                                      static_cast<int>((line.colour >> 8) & 255),
                                      static_cast<int>((line.colour >> 16) & 255)};
        for (int y : {2, 160, 317})
        {
            bool found = false;
            for (int x = static_cast<int>(line.x) - 1; x <= static_cast<int>(line.x) + 1; ++x)
                found = found || (x >= 0 && x < 480 && pixel(x, y) == want);
            EXPECT_TRUE(found) << "y " << y;
        }
    }
    // Between the lines the background shows.
    const float semitone = 480.0f / 63.0f;
    for (int s = -12; s < 49; ++s)
    {
        const int x = static_cast<int>((s / 12.0f + 1.125f) / 5.25f * 480.0f + semitone / 2.0f);
        EXPECT_EQ(pixel(x, 100), (std::array<int, 3>{0, 0, 255})) << "x " << x;
    }
}
