// The robot face in real frames while real fingers play the theremins: each
// head and mouth image is a solid colour that names it.
#include "SceneFixture.h"

#include "scene/Node_Robot.h"

#include <set>

using namespace zindle_test;

namespace
{
// Shown: the head frame, how many mouths, and the mouth's head frame and opening (-1: none).
using Face = std::tuple<int, int, int, int>;

class RobotTest : public SceneTest
{
  protected:
    RobotTest() { AddVoices(); }

    // Head i (32 x 32) is red 10 + 20 i; mouth [j][k] (8 x 8) blue with red 10 + 25 j and
    // green 40 + 50 k. Files in skip are left out, those in broken hold no image.
    Node_Robot& Make(const std::set<std::string>& skip = {},
                     const std::set<std::string>& broken = {})
    {
        const auto write = [&](const std::string& name, int size, int r, int g, int b)
        {
            if (broken.count(name))
                WriteFile(m_dir / name, "\x89PNG\r\n\x1a\n not really");
            else if (!skip.count(name))
                WriteSolidPNG(m_dir / name, size, size, uint8_t(r), uint8_t(g), uint8_t(b));
        };
        for (int i = 0; i < Node_Robot::c_iHeadFrames; ++i)
        {
            write("robot" + std::to_string(i) + ".png", 32, 10 + 20 * i, 0, 0);
            for (int k = 0; k < Node_Robot::c_iMouthSteps; ++k)
                write("mouth" + std::to_string(i + 1) + "-" + std::to_string(k) + ".png", 8,
                      10 + 25 * i, 40 + 50 * k, 255);
        }
        m_pRobot = Own(new Node_Robot());
        for (int i = 0; i < 4; ++i)
            m_pRobot->AddTheremin(&Voice(i));
        return *m_pRobot;
    }

    // Draws one frame and reads what shows at the head and mouth places.
    Face Look()
    {
        const Frame frame = Draw(m_pRobot);
        const Pixel head = frame.At(188, 46);
        const bool named = head.r > 0 && head.g == 0 && head.b == 0 && (head.r - 10) % 20 == 0;
        std::set<std::pair<int, int>> mouths;
        for (int j = 0; j < Node_Robot::c_iHeadFrames; ++j)
        {
            const Vector2f& p = m_pRobot->GetMouthPosition(j);
            const Pixel mouth = frame.At(int(p.x) + 2, int(p.y) + 2);
            if (mouth.b == 255)
                mouths.insert({(mouth.r - 10) / 25, (mouth.g - 40) / 50});
        }
        const auto [mouthHead, step] = mouths.size() == 1 ? *mouths.begin() : std::pair(-1, -1);
        // Placed by its top-left corner at the head frame's mouth position.
        const Vector2f& p = m_pRobot->GetMouthPosition(std::max(mouthHead, 0));
        const int x = int(p.x), y = int(p.y);
        EXPECT_TRUE(mouthHead < 0 ||
                    (frame.At(x, y).b == 255 && frame.At(x + 7, y + 7).b == 255 &&
                     frame.At(x - 1, y - 1).b != 255 && frame.At(x + 8, y).b != 255));
        return {named ? (head.r - 10) / 20 : -1, int(mouths.size()), mouthHead, step};
    }
    // The face shows head frame `head` with its own mouth at opening `step`.
    void ExpectFace(int head, int step) { EXPECT_EQ(Look(), Face(head, 1, head, step)); }

    Node_Robot* m_pRobot = nullptr;
};
} // namespace

TEST_F(RobotTest, HeadFollowsTheFingerAcrossNineFramesAndReturnsToRestWhenIdle)
{
    Node_Robot& robot = Make();
    ExpectFace(4, 0); // at rest before any finger
    Down(0, 240, 319);
    // x = 480 normalises to exactly 1.0, which would be frame 9: the last is 8.
    const int cases[][2] = {{0, 0},   {53, 0},  {54, 1},  {150, 2}, {160, 3}, {239, 4}, {300, 5},
                            {320, 6}, {400, 7}, {426, 7}, {427, 8}, {479, 8}, {480, 8}};
    for (const auto& [x, head] : cases)
    {
        SCOPED_TRACE(testing::Message() << "x " << x);
        Move(0, x, 319);
        ASSERT_TRUE(Voice(0).IsTouchActive());
        ExpectFace(head, 0);
    }
    // Every head frame sits at the same place, by its top-left corner.
    const Frame frame = Draw(m_pRobot);
    EXPECT_EQ(frame.Row(44, IsLit), std::pair(186, 218));
    EXPECT_EQ(frame.Column(186, IsLit), std::pair(44, 76));
    Up(0);

    // Twenty idle frames after a lift, the head steps back one frame at a time.
    robot.SetMouthMode(2);
    for (auto [x, head] : {std::pair{470, 8}, std::pair{10, 0}})
    {
        SCOPED_TRACE(testing::Message() << "from head " << head);
        Down(0, x, 100);
        ExpectFace(head, 2);
        Up(0);
        for (int frame = 1; frame <= 20; ++frame)
            ExpectFace(head, 0);
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
}

TEST_F(RobotTest, MouthOpensAccordingToTheSynthMode)
{
    Node_Robot& robot = Make();
    // Finger y -> opening in modes 0 and 1 (sweep), 2 (volume), 3 (width); others: closed.
    const std::array<int, 4> cases[] = {{0, 4, 2, 4},   {5, 4, 2, 4},   {20, 4, 2, 3},
                                        {60, 4, 2, 2},  {100, 3, 2, 2}, {130, 3, 2, 1},
                                        {160, 2, 1, 1}, {220, 1, 1, 2}, {289, 0, 1, 3},
                                        {300, 0, 1, 3}, {320, 0, 1, 4}};
    Down(0, 250, 160);
    for (int mode : {0, 1, 2, 3, 4, -1})
    {
        robot.SetMouthMode(mode);
        for (const auto& [y, sweep, volume, width] : cases)
        {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " y " << y);
            Move(0, 250, y);
            ExpectFace(4,
                       mode >= 0 && mode <= 3 ? std::array{sweep, sweep, volume, width}[mode] : 0);
        }
    }
    Up(0); // no finger: the closed mouth, whatever the mode
    for (int mode : {0, 2, 3})
        robot.SetMouthMode(mode), ExpectFace(4, 0);
}

TEST_F(RobotTest, OnlyTheFirstActiveFingerDrivesTheFace)
{
    Make();
    Down(0, 20, 20);   // voice 0: head 0, wide open
    Down(1, 470, 310); // voice 1: would be head 8, closed
    ExpectFace(0, 4);
    Up(0); // the second finger drives the face at once
    ExpectFace(8, 0);
    Down(2, 240, 160); // takes voice 0 again, ahead of voice 1
    ASSERT_TRUE(Voice(0).IsTouchActive());
    ExpectFace(4, 2);
    Move(2, 240, 400); // a finger sliding off the surface lets go of its voice
    ASSERT_FALSE(Voice(0).IsTouchActive());
    ExpectFace(8, 0);
}

TEST_F(RobotTest, MissingOrBrokenImagesLeaveThosePartsOut)
{
    Make({"robot3.png", "mouth5-1.png"}, {"robot6.png", "mouth8-4.png"});
    const auto face = [&](int x, int y)
    {
        Move(0, x, y);
        const auto [head, mouths, mouthHead, step] = Look();
        return std::tuple(head, mouths, mouthHead);
    };
    Down(0, 170, 5);
    EXPECT_EQ(face(170, 5), std::tuple(-1, 1, 3)) << "head 3 missing, its mouths there";
    EXPECT_EQ(face(240, 220), std::tuple(4, 0, -1)) << "head 4, opening 1 missing";
    EXPECT_EQ(face(380, 5), std::tuple(7, 0, -1)) << "head 7, opening 4 broken";
    EXPECT_EQ(face(320, 5), std::tuple(-1, 1, 6)) << "head 6 broken";
    Drop(m_pRobot);

    // Without any art the face is empty, but still follows the fingers.
    std::filesystem::remove_all(m_dir.Path());
    std::filesystem::create_directory(m_dir.Path());
    m_pRobot = Own(new Node_Robot());
    m_pRobot->AddTheremin(&Voice(0));
    EXPECT_EQ(m_pRobot->GetChildren(), nullptr);
    EXPECT_EQ(face(330, 100), std::tuple(-1, 0, -1));
    EXPECT_EQ(std::pair(m_pRobot->GetHead(), m_pRobot->GetMouthStep()), std::pair(6, 3));
}
