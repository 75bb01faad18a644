// The built program, headless: it opens its GL view, shows the launch image,
// draws its frames and writes the last one with --screenshot.
#include "support/GLTestContext.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <png.h>

using namespace zindle_test;
namespace fs = std::filesystem;

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
    // A folder that is no resource directory is refused at once, with one line.
    auto result = Zindle(data, "--seconds 1 --screenshot " + (out / "shot.png").string());
    EXPECT_EQ(result.status, 1) << result.output;
    EXPECT_EQ(result.output, "zindle: resource directory " + data.Path().string() +
                                 " lacks Default.png, blsaw.dat, oldsans18.fnt, oldsans18_0.png\n");
    EXPECT_FALSE(fs::exists(out / "shot.png"));

    // The resources it needs there but empty, so no art: frames are cleared to
    // black until the instrument draws.
    for (const char* name : {"Default.png", "blsaw.dat", "oldsans18.fnt", "oldsans18_0.png"})
        WriteFile(data / name, "");
    result = Zindle(data, "--seconds 1 --screenshot " + (out / "shot.png").string());
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

TEST(ProgramScreenshot, TheDemosPanelAtFourTimesTheScaleIsTheOneTimesFrameInFinerPixels)
{
    // The demo with the panel open, headless at 1x and at 4x from the art in data/.
    TempDir out;
    const std::string demo = (SourceDataDir().parent_path() / "examples" / "demo.zs").string();
    Image frames[2];
    for (int i = 0; i < 2; ++i)
    {
        const std::string shot = (out / ("shot" + std::to_string(i) + ".png")).string();
        const ProcessResult result =
            RunCommand(ZindleBinary() + " --headless --seed 3 --script '" + demo +
                       "' --seconds 10.5 --scale " + (i == 0 ? "1" : "4") + " --screenshot '" +
                       shot + "' --wav '" + (out / "play.wav").string() + "'");
        ASSERT_EQ(result.status, 0) << result.output;
        ASSERT_TRUE(ReadPng(shot, frames[i]));
    }
    const Image& one = frames[0];
    const Image& four = frames[1];
    ASSERT_EQ(std::pair(four.width, four.height), std::pair(one.width * 4, one.height * 4));
    // Means over blocks of 4 x 4 points (the 4 x 4 ordered dither of the opaque art averages
    // out): the same picture in the same places, over the whole frame and over the panel
    // (its right 163 points) alone, and far nearer than the 1x frame one block aside.
    const int blocksX = one.width / 4, blocksY = one.height / 4;
    auto blockMeans = [&](const Image& image, int side)
    {
        std::vector<double> means(size_t(blocksX) * blocksY * 3, 0.0);
        for (int y = 0; y < blocksY * side; ++y)
            for (int x = 0; x < blocksX * side; ++x)
                for (int c = 0; c < 3; ++c)
                    means[(size_t(y / side) * blocksX + x / side) * 3 + c] +=
                        image.At(x, y)[c] / (double(side) * side);
        return means;
    };
    const std::vector<double> small = blockMeans(one, 4), reduced = blockMeans(four, 16);
    double whole = 0.0, panel = 0.0, aside = 0.0;
    const int panelBlocks = (163 + 3) / 4;
    for (int by = 0; by < blocksY; ++by)
        for (int bx = 0; bx < blocksX; ++bx)
            for (int c = 0; c < 3; ++c)
            {
                const size_t i = (size_t(by) * blocksX + bx) * 3 + c;
                const double d = std::abs(reduced[i] - small[i]);
                whole += d;
                panel += bx >= blocksX - panelBlocks ? d : 0.0;
                aside +=
                    std::abs(reduced[i] -
                             small[(size_t(by) * blocksX + std::min(bx + 1, blocksX - 1)) * 3 + c]);
            }
    whole /= double(small.size());
    aside /= double(small.size());
    panel /= 3.0 * panelBlocks * blocksY;
    std::printf("  mean difference of the reduced 4x frame: %.2f over the frame, %.2f over the "
                "panel, %.2f a block aside (of 255)\n",
                whole, panel, aside);
    EXPECT_LT(whole, 2.0);
    EXPECT_LT(panel, 2.0);
    EXPECT_LT(whole, 0.3 * aside);
}
