// The built program, headless: it opens its GL view, shows the launch image,
// draws its frames and writes the last one with --screenshot.
#include "support/GLTestContext.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <png.h>

using namespace zindle_test;

namespace
{
ProcessResult Zindle(const TempDir& data, const std::string& arguments)
{
    return RunCommand(ZindleBinary() + " --headless --data " + data.Path().string() + " " +
                      arguments);
}
} // namespace

TEST(ProgramScreenshot, WritesTheLastFrameInLandscapeFromTheLaunchImageOnOrFailsCleanly)
{
    TempDir data, out;
    // No art: frames are cleared to black until the instrument draws.
    auto result = Zindle(data, "--seconds 1 --screenshot " + (out / "shot.png").string());
    ASSERT_EQ(result.status, 0) << result.output;
    Image image;
    ASSERT_TRUE(ReadPng(out / "shot.png", image));
    EXPECT_EQ(std::pair(image.width, image.height), std::pair(480, 320));
    for (auto [x, y] : {std::pair{0, 0}, {479, 319}, {240, 160}}) // black, and opaque
        EXPECT_EQ(std::vector(image.At(x, y), image.At(x, y) + 4),
                  (std::vector<uint8_t>{0, 0, 0, 255}))
            << x << ", " << y;

    // A portrait launch image, red above and blue below, held in landscape.
    std::vector<uint8_t> samples;
    for (int i = 0; i < 320 * 480; ++i)
        samples.insert(samples.end(),
                       {uint8_t(i < 320 * 240 ? 255 : 0), 0, uint8_t(i < 320 * 240 ? 0 : 255)});
    WritePNG(data / "Default.png", 320, 480, PNG_COLOR_TYPE_RGB, samples);
    result = Zindle(data, "--seconds 0 --screenshot " + (out / "launch.png").string());
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output.find("Image is null"), std::string::npos) << result.output;
    ASSERT_TRUE(ReadPng(out / "launch.png", image));
    ASSERT_EQ(image.width, 480);
    EXPECT_TRUE(image.At(10, 160)[0] == 255 && image.At(10, 160)[2] == 0);
    EXPECT_TRUE(image.At(470, 160)[0] == 0 && image.At(470, 160)[2] == 255);

    // Into a missing folder: a failed run that says why (what an unwritable
    // output leaves behind is the headless program test's, through --wav).
    result = Zindle(data, "--seconds 0.1 --screenshot " + (out / "no" / "x.png").string());
    EXPECT_EQ(result.status, 1) << result.output;
    EXPECT_NE(result.output.find("cannot write"), std::string::npos) << result.output;
}
