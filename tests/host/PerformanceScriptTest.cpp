// Performance scripts: parsing with clear errors, and playing them frame by frame.
#include "formats/PerformanceScript.h"
#include "app/ScriptPlayer.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <utility>

namespace
{
// Logs what the player asks of its host, one line per call.
class Recorder : public ScriptPlayer::Target
{
  public:
    void TouchDown(int c, float x, float y) override { Add("down", c, x, y); }
    void TouchMove(int c, float x, float y) override { Add("move", c, x, y); }
    void TouchUp(int c) override { lines.push_back("up " + std::to_string(c)); }
    void Shot(const std::string& path) override { lines.push_back("shot " + path); }
    void Save(const std::string& path) override { lines.push_back("save " + path); }
    void Add(const char* what, int c, float x, float y)
    {
        std::ostringstream line;
        line << what << " " << c << " " << x << " " << y;
        lines.push_back(line.str());
    }
    std::vector<std::string> lines;
};
} // namespace

TEST(PerformanceScript, ParsesEveryEventAndItsDefaultLength)
{
    const std::string text = "# a demo\n"
                             "0.0   down  1 120 200     # contact 1 lands\n"
                             "\n"
                             "0.5   move  1 240 180\n"
                             "0.5   slide 1 300 180 1.5\n"
                             "2.0   up    1\n"
                             "2.2   tap   472 312\n"
                             "3.0   shot  panel.png\n";
    PerformanceScript script;
    std::string error;
    ASSERT_TRUE(script.Parse(text, "/some/dir/demo.zs", error)) << error;
    ASSERT_EQ(script.GetEvents().size(), 6u); // what each event does: ScriptPlayer below
    EXPECT_EQ(script.GetEvents()[2].iLine, 5);
    EXPECT_EQ(script.GetEvents()[5].sPath, "/some/dir/panel.png") << "relative to the script";
    EXPECT_FALSE(script.GetEnd());
    EXPECT_DOUBLE_EQ(script.GetDefaultSeconds(), 5.0) << "last event plus 2 s of echo tail";

    ASSERT_TRUE(script.Parse("0 down 1 1 1\n1 slide 1 2 2 4\n2 up 1\n", "s.zs", error)) << error;
    EXPECT_DOUBLE_EQ(script.GetLastEventTime(), 5.0) << "a slide lasts until it arrives";
    ASSERT_TRUE(script.Parse("1 tap 5 5\n9.0 end\n", "s.zs", error)) << error;
    EXPECT_DOUBLE_EQ(script.GetDefaultSeconds(), 9.0);

    // A byte-order mark may start the file; far-off coordinates are held.
    ASSERT_TRUE(script.Parse("\xEF\xBB\xBF"
                             "0 down 1 1e30 -1e300\n",
                             "s.zs", error))
        << error;
    EXPECT_EQ(std::pair(script.GetEvents()[0].rX, script.GetEvents()[0].rY),
              std::pair(1e6f, -1e6f));
}

TEST(PerformanceScript, ErrorsNameFileLineAndProblem)
{
    const std::pair<std::string, std::string> cases[] = {
        {"0 wiggle 1 2 3\n", "bad.zs:1: unknown event 'wiggle'"},
        {"0 down 1 2\n", "bad.zs:1: missing arguments (expected: down <contact> <x> <y>)"},
        {"0 down 1 2 3 4\n", "bad.zs:1: extra arguments (expected: down <contact> <x> <y>)"},
        {"1 down 1 2 3\n0.5 up 1\n", "bad.zs:2: time 0.5 goes backwards"},
        {"\n\n0 move 3 2 3\n", "bad.zs:3: move of contact 3, which is not down"},
        {"0 up 3\n", "bad.zs:1: up of contact 3, which is not down"},
        {"0 down 1 0 0\n1 down 1 0 0\n", "bad.zs:2: contact 1 is already down"},
        {"0 down 100 0 0\n", "bad.zs:1: '100' is not a contact (1 to 99)"},
        {"0 down 0 0 0\n", "bad.zs:1: '0' is not a contact (1 to 99)"},
        {"0 down 1 x 0\n", "bad.zs:1: 'x' is not a coordinate"},
        {"0 down 1 nan 0\n", "bad.zs:1: 'nan' is not a coordinate"},
        {"soon down 1 0 0\n", "bad.zs:1: 'soon' is not a time in seconds"},
        {"-1 tap 0 0\n", "bad.zs:1: '-1' is not a time in seconds"},
        {"0\n", "bad.zs:1: missing event after the time"},
        {"0 down 1 0 0\n0 slide 1 5 5 -2\n", "bad.zs:2: '-2' is not a duration in seconds"},
        {"1 end\n2 tap 0 0\n", "bad.zs:2: event after the end"},
        {"0 shot\n", "bad.zs:1: missing arguments (expected: shot <file>)"},
        {"1e300 end\n",
         "bad.zs:1: '1e300' is beyond the 86400 seconds (24 hours) a performance may last"},
        {"0 down 1 0 0\n1 slide 1 5 5 86400\n", "bad.zs:2: a slide of '86400' seconds ends "
                                                "beyond the 86400 seconds (24 hours) a "
                                                "performance may last"},
        // What a message echoes is one visible line of at most 60 characters.
        {"0 tap 1 1\n1 \xEF\xBB\xBF"
         "end\n",
         "bad.zs:2: unknown event '\\u{FEFF}end'"},
        {"0 \x01\x1B[2J\xC3\xA9\xFF 1\n", "bad.zs:1: unknown event '\\x01\\x1B[2J\xC3\xA9\\xFF'"},
        {"0 " + std::string(5000, 'x') + "\n",
         "bad.zs:1: unknown event '" + std::string(60, 'x') + "...'"},
    };
    for (const auto& [text, expected] : cases)
    {
        SCOPED_TRACE(text);
        PerformanceScript script;
        std::string error;
        EXPECT_FALSE(script.Parse(text, "bad.zs", error));
        EXPECT_EQ(error, expected);
        EXPECT_TRUE(script.GetEvents().empty()) << "a bad script yields nothing to play";
    }

    // Only a file of at most 16 MiB is read.
    zindle_test::TempDir dir;
    zindle_test::WriteFile(dir / "huge.zs", "");
    std::filesystem::resize_file(dir / "huge.zs", PerformanceScript::c_iMaxFileBytes + 1);
    PerformanceScript script;
    std::string error;
    EXPECT_FALSE(script.Load((dir / "huge.zs").string(), error));
    EXPECT_EQ(error, (dir / "huge.zs").string() + ": cannot read the script: larger than 16 MiB");
}

TEST(ScriptPlayer, PlaysTouchesFrameByFrame)
{
    using Frames = std::vector<std::vector<std::string>>; // what each frame plays
    const std::pair<const char*, Frames> scripts[] = {
        {"0.0 down 1 100 200\n0.0 down 2 10 10\n0.1 slide 1 200 100 0.2\n0.12 tap 472 312\n"
         "0.2 shot a.png\n0.2 move 2 20 20\n0.35 up 1\n0.35 up 2\n",
         // The slide starts at 0.1 and moves once per frame until it arrives at
         // 0.3; the tap lifts on the next frame; shots come after the touches;
         // 0.35 is due at frame 7 despite rounding of 7 * 0.05.
         {{"down 1 100 200", "down 2 10 10"},
          {},
          {},
          {"down 100 472 312", "move 1 125 175"},
          {"up 100", "move 2 20 20", "move 1 150 150", "shot a.png"},
          {"move 1 175 125"},
          {"move 1 200 100"},
          {"up 1", "up 2"}}},
        // A move or a lift stops a running slide.
        {"0 down 5 0 0\n0 slide 5 100 0 1\n0.1 up 5\n",
         {{"down 5 0 0"}, {"move 5 5 0"}, {"up 5"}, {}}},
    };
    for (const auto& [text, frames] : scripts)
    {
        SCOPED_TRACE(text);
        PerformanceScript script;
        std::string error;
        ASSERT_TRUE(script.Parse(text, "p.zs", error)) << error;
        ScriptPlayer player(script);
        Recorder r;
        for (size_t k = 0; k < frames.size(); ++k)
        {
            // As the hosts play frame k at t = k * 0.05: earlier taps lift, the
            // events due play, the slides move, then the shots.
            EXPECT_FALSE(player.IsFinished() && !frames[k].empty()) << "frame " << k;
            player.LiftTaps(r);
            player.PlayUntil(ScriptPlayer::SampleOf(k * 0.05), r);
            player.MoveSlides(k * 0.05, r);
            player.TakeShots(r);
            EXPECT_EQ(std::exchange(r.lines, {}), frames[k]) << "frame " << k;
        }
        EXPECT_TRUE(player.IsFinished());
    }
}
