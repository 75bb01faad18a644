// The robot face seen in real frames while real fingers play the theremins:
// each head and mouth image is a solid colour that names it, so a pixel at the
// head and one at each mouth position tell what the player sees.
#include "scene/Node_Robot.h"
#include "scene/Node_Sprite.h"

#include "SceneContentFixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

using zindle_test::SceneContentTest;

namespace
{
constexpr int c_iHeadSize = 32; // textures are powers of two
constexpr int c_iMouthSize = 8;

struct Face
{
    int head = -1;      // head frame shown, -1 for none
    int mouthHead = -1; // head frame of the mouth shown, -1 for none
    int mouthStep = -1;
    int mouths = 0; // distinct mouth images seen
};

class RobotTest : public SceneContentTest
{
  protected:
    void TearDown() override
    {
        if (m_pRobot)
            m_pRobot->Release();
    }

    static std::string Name(const char* format, int a, int b = 0)
    {
        char name[32];
        std::snprintf(name, sizeof(name), format, a, b);
        return name;
    }

    // Head i is red (10 + 20 i); mouth [j][k] is blue with red 10 + 25 j and
    // green 40 + 50 k. Files in skip are not written; files in broken hold no image.
    void WriteArt(const std::set<std::string>& skip = {}, const std::set<std::string>& broken = {})
    {
        const auto write = [&](const std::string& name, int size, int r, int g, int b)
        {
            if (skip.count(name))
                return;
            if (broken.count(name))
                zindle_test::WriteFile(m_dir / name, "\x89PNG\r\n\x1a\n not really");
            else
                zindle_test::WriteSolidPNG(m_dir / name, size, size, r, g, b);
        };
        for (int i = 0; i < Node_Robot::c_iHeadFrames; ++i)
        {
            write(Name("robot%d.png", i), c_iHeadSize, 10 + 20 * i, 0, 0);
            for (int k = 0; k < Node_Robot::c_iMouthSteps; ++k)
                write(Name("mouth%d-%d.png", i + 1, k), c_iMouthSize, 10 + 25 * i, 40 + 50 * k,
                      255);
        }
    }

    Node_Robot& MakeRobot()
    {
        m_pRobot = new Node_Robot();
        for (int i = 0; i < c_iVoices; ++i)
            m_pRobot->AddTheremin(&Voice(i));
        return *m_pRobot;
    }

    // Draws one frame and reads back what shows at the head and mouth places.
    Face Look()
    {
        DrawFrame(m_pRobot);
        const std::vector<uint8_t> frame = m_gl.ReadLandscape();
        const auto at = [&](int x, int y)
        {
            const size_t i = (static_cast<size_t>(y) * 480 + x) * 4;
            return std::array<int, 3>{frame[i], frame[i + 1], frame[i + 2]};
        };
        Face face;
        const auto head = at(188, 46);
        if (head[0] > 0 && head[1] == 0 && head[2] == 0 && (head[0] - 10) % 20 == 0)
            face.head = (head[0] - 10) / 20;
        std::set<std::pair<int, int>> mouths;
        for (int j = 0; j < Node_Robot::c_iHeadFrames; ++j)
        {
            const Vector2f& p = m_pRobot->GetMouthPosition(j);
            const auto mouth = at(static_cast<int>(p.x) + 2, static_cast<int>(p.y) + 2);
            if (mouth[2] == 255)
                mouths.insert({(mouth[0] - 10) / 25, (mouth[1] - 40) / 50});
        }
        face.mouths = static_cast<int>(mouths.size());
        if (mouths.size() == 1)
        {
            face.mouthHead = mouths.begin()->first;
            face.mouthStep = mouths.begin()->second;
            // Placed by its top-left corner at the head frame's mouth position.
            const Vector2f& p = m_pRobot->GetMouthPosition(face.mouthHead);
            const int x = static_cast<int>(p.x), y = static_cast<int>(p.y);
            EXPECT_EQ(at(x, y)[2], 255);
            EXPECT_EQ(at(x + c_iMouthSize - 1, y + c_iMouthSize - 1)[2], 255);
            EXPECT_NE(at(x - 1, y - 1)[2], 255);
            EXPECT_NE(at(x + c_iMouthSize, y)[2], 255);
        }
        return face;
    }

    // The face shows head frame `head` with its mouth at opening `step`.
    void ExpectFace(int head, int step)
    {
        const Face face = Look();
        EXPECT_EQ(face.head, head);
        EXPECT_EQ(face.mouths, 1);
        EXPECT_EQ(face.mouthHead, head);
        EXPECT_EQ(face.mouthStep, step);
        EXPECT_EQ(m_pRobot->GetHead(), head);
        EXPECT_EQ(m_pRobot->GetMouthStep(), step);
    }

    Node_Robot* m_pRobot = nullptr;
};
} // namespace

TEST_F(RobotTest, HeadFollowsTheFingerAcrossNineFrames)
{
    WriteArt();
    Node_Robot& robot = MakeRobot();
    ExpectFace(4, 0); // at rest before any finger
    // x = 480 normalises to exactly 1.0, which would be frame 9: the last is 8.
    const std::pair<int, int> cases[] = {{0, 0},   {53, 0},  {54, 1},  {150, 2}, {160, 3},
                                         {239, 4}, {300, 5}, {320, 6}, {400, 7}, {426, 7},
                                         {427, 8}, {479, 8}, {480, 8}};
    Down(0, 240, 319);
    for (auto [x, head] : cases)
    {
        SCOPED_TRACE(testing::Message() << "x " << x);
        Move(0, x, 319);
        ASSERT_TRUE(Voice(0).IsTouchActive());
        ExpectFace(head, 0);
        // Every head frame sits at the same place, by its top-left corner.
        EXPECT_EQ(robot.GetHeadPosition(head).x, 186.0f);
        EXPECT_EQ(robot.GetHeadPosition(head).y, 44.0f);
    }
    const std::vector<uint8_t> frame = m_gl.ReadLandscape();
    const auto red = [&](int x, int y) { return frame[(static_cast<size_t>(y) * 480 + x) * 4]; };
    EXPECT_EQ(red(186, 44), 10 + 20 * 8);
    EXPECT_EQ(red(186 + c_iHeadSize - 1, 44 + c_iHeadSize - 1), 10 + 20 * 8);
    EXPECT_EQ(red(185, 44), 0);
    EXPECT_EQ(red(186, 43), 0);
}

TEST_F(RobotTest, MouthOpensAccordingToTheSynthMode)
{
    WriteArt();
    Node_Robot& robot = MakeRobot();
    // Finger height y -> opening in modes 0 (and 1), 2, 3, and any other mode.
    struct Case
    {
        int y;
        int sweep, volume, width, other;
    };
    const Case cases[] = {
        {0, 4, 2, 4, 0},   {5, 4, 2, 4, 0},   {20, 4, 2, 3, 0},  {60, 4, 2, 2, 0},
        {100, 3, 2, 2, 0}, {130, 3, 2, 1, 0}, {160, 2, 1, 1, 0}, {220, 1, 1, 2, 0},
        {289, 0, 1, 3, 0}, {300, 0, 1, 3, 0}, {320, 0, 1, 4, 0},
    };
    Down(0, 250, 160);
    for (int mode : {0, 1, 2, 3, 4, -1})
    {
        robot.SetMouthMode(mode);
        for (const Case& c : cases)
        {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " y " << c.y);
            Move(0, 250, c.y);
            const int expected = mode <= 1 && mode >= 0 ? c.sweep
                                 : mode == 2            ? c.volume
                                 : mode == 3            ? c.width
                                                        : c.other;
            ExpectFace(4, expected);
        }
    }
    // No finger: the closed mouth, whatever the mode.
    Up(0);
    for (int mode : {0, 2, 3})
    {
        robot.SetMouthMode(mode);
        ExpectFace(4, 0);
    }
}

TEST_F(RobotTest, HeadReturnsToRestOneFrameAtATimeAfterTwentyIdleFrames)
{
    WriteArt();
    Node_Robot& robot = MakeRobot();
    for (auto [x, head] : {std::pair{470, 8}, std::pair{10, 0}})
    {
        SCOPED_TRACE(testing::Message() << "from head " << head);
        robot.SetMouthMode(2);
        Down(0, x, 100);
        ExpectFace(head, 2);
        Up(0);
        for (int frame = 1; frame <= 20; ++frame)
        {
            SCOPED_TRACE(frame);
            ExpectFace(head, 0);
        }
        const int step = head > 4 ? -1 : 1;
        for (int h = head + step; h != 4 + step; h += step)
            ExpectFace(h, 0);
        for (int frame = 0; frame < 3; ++frame)
            ExpectFace(4, 0);
    }
    // A finger coming back moves the head at once, however long it was idle.
    for (int frame = 0; frame < 100000; ++frame)
        robot.Render(m_gl.GetRenderer());
    EXPECT_LE(robot.GetIdleFrames(), Node_Robot::c_iIdleFramesBeforeRest + 1);
    Down(0, 470, 100);
    ExpectFace(8, 2);
    EXPECT_EQ(robot.GetIdleFrames(), 0);
}

TEST_F(RobotTest, OnlyTheFirstActiveFingerDrivesTheFace)
{
    WriteArt();
    MakeRobot();
    Down(0, 20, 20);   // voice 0: head 0, wide open
    Down(1, 470, 310); // voice 1: would be head 8, closed
    ASSERT_TRUE(Voice(1).IsTouchActive());
    ExpectFace(0, 4);
    // The first finger lifts: the second drives the face at once.
    Up(0);
    ExpectFace(8, 0);
    // A new finger takes voice 0 again, ahead of voice 1 in the list.
    Down(2, 240, 160);
    ASSERT_TRUE(Voice(0).IsTouchActive());
    ExpectFace(4, 2);
    // A finger that slides off the surface lets go of its voice.
    Move(2, 240, 400);
    ASSERT_FALSE(Voice(0).IsTouchActive());
    ExpectFace(8, 0);
}

TEST_F(RobotTest, MissingOrBrokenImagesLeaveThosePartsOut)
{
    WriteArt({"robot3.png", "mouth5-1.png"}, {"robot6.png", "mouth8-4.png"});
    Node_Robot& robot = MakeRobot();
    EXPECT_EQ(robot.GetHeadSprite(3), nullptr);
    EXPECT_EQ(robot.GetHeadSprite(6), nullptr);
    EXPECT_EQ(robot.GetMouthSprite(4, 1), nullptr);
    EXPECT_EQ(robot.GetMouthSprite(7, 4), nullptr);
    ASSERT_NE(robot.GetHeadSprite(2), nullptr);
    robot.SetMouthMode(0);

    Down(0, 170, 5); // head 3, whose image is missing; its mouths are there
    Face face = Look();
    EXPECT_EQ(face.head, -1);
    EXPECT_EQ(face.mouthHead, 3);
    EXPECT_EQ(face.mouthStep, 4);
    Move(0, 240, 220); // head 4, opening 1 missing
    face = Look();
    EXPECT_EQ(face.head, 4);
    EXPECT_EQ(face.mouths, 0);
    Move(0, 380, 5); // head 7 with opening 4, from a broken file
    face = Look();
    EXPECT_EQ(face.head, 7);
    EXPECT_EQ(face.mouths, 0);
    Move(0, 320, 5); // head 6, broken
    face = Look();
    EXPECT_EQ(face.head, -1);
    EXPECT_EQ(face.mouthHead, 6);
}

TEST_F(RobotTest, WithoutAnyArtTheFaceIsEmptyButStillFollowsTheFingers)
{
    Node_Robot& robot = MakeRobot();
    EXPECT_EQ(robot.GetChildren(), nullptr);
    Down(0, 330, 100);
    const Face face = Look();
    EXPECT_EQ(face.head, -1);
    EXPECT_EQ(face.mouths, 0);
    EXPECT_EQ(robot.GetHead(), 6);
    EXPECT_EQ(robot.GetMouthStep(), 3);
}
