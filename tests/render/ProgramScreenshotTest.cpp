// The built program, headless: it opens its GL view, shows the launch image,
// draws its frames and writes the last one with --screenshot.
#include "support/GLTestContext.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <png.h>

namespace fs = std::filesystem;
using namespace zindle_test;

namespace
{
ProcessResult Zindle(const TempDir& data, const std::string& arguments)
{
    return RunCommand(ZindleBinary() + " --headless --data " + data.Path().string() + " " +
                      arguments);
}
} // namespace

TEST(ProgramScreenshot, WritesTheLastFrameInLandscapeFromTheLaunchImageOn)
{
    TempDir data, out;
    {
        SCOPED_TRACE("no art: frames are cleared to black until the instrument draws");
        const auto result = Zindle(data, "--seconds 1 --wav " + (out / "x.wav").string() +
                                             " --screenshot " + (out / "shot.png").string());
        ASSERT_EQ(result.status, 0) << result.output;
        Image image;
        ASSERT_TRUE(ReadPng(out / "shot.png", image));
        EXPECT_EQ(std::pair(image.width, image.height), std::pair(480, 320));
        for (auto [x, y] : {std::pair{0, 0}, {479, 319}, {240, 160}})
        {
            const uint8_t* p = image.At(x, y);
            EXPECT_EQ(p[0] + p[1] + p[2], 0) << x << ", " << y;
            EXPECT_EQ(p[3], 255) << "the screen is opaque";
        }
        EXPECT_TRUE(fs::exists(out / "x.wav"));
    }
    {
        SCOPED_TRACE("a portrait launch image, red above and blue below, held in landscape");
        std::vector<uint8_t> samples;
        for (int i = 0; i < 320 * 480; ++i)
            samples.insert(samples.end(),
                           {uint8_t(i < 320 * 240 ? 255 : 0), 0, uint8_t(i < 320 * 240 ? 0 : 255)});
        WritePNG(data / "Default.png", 320, 480, PNG_COLOR_TYPE_RGB, samples);
        const auto result =
            Zindle(data, "--seconds 0 --screenshot " + (out / "launch.png").string());
        ASSERT_EQ(result.status, 0) << result.output;
        EXPECT_EQ(result.output.find("Image is null"), std::string::npos) << result.output;
        Image image;
        ASSERT_TRUE(ReadPng(out / "launch.png", image));
        ASSERT_EQ(image.width, 480);
        EXPECT_EQ(image.At(10, 160)[0], 255);
        EXPECT_EQ(image.At(10, 160)[2], 0);
        EXPECT_EQ(image.At(470, 160)[0], 0);
        EXPECT_EQ(image.At(470, 160)[2], 255);
    }
}

TEST(ProgramScreenshot, UnwritableScreenshotFailsCleanly)
{
    TempDir data, out;
    const auto missing =
        Zindle(data, "--seconds 0.1 --screenshot " + (out / "no" / "x.png").string());
    EXPECT_EQ(missing.status, 1) << missing.output;
    EXPECT_NE(missing.output.find("cannot write"), std::string::npos) << missing.output;
    // A screenshot into a directory leaves no temporary file behind.
    fs::create_directory(out / "dir.png");
    const auto clash = Zindle(data, "--seconds 0.1 --screenshot " + (out / "dir.png").string());
    EXPECT_EQ(clash.status, 1) << clash.output;
    for (const auto& entry : fs::directory_iterator(out.Path()))
        EXPECT_EQ(entry.path().filename(), "dir.png");
}
