// The built program, headless: it opens its GL view, shows the launch image,
// draws its frames and writes the last one with --screenshot.
#include "render/PNGImage.h"
#include "support/GLTestContext.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <png.h>

#include <fstream>

namespace fs = std::filesystem;

namespace
{
bool ReadPNG(const fs::path& path, PNGImage& image)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
    return image.Decode(bytes.data(), bytes.size());
}

std::string Zindle(const zindle_test::TempDir& data, const std::string& arguments)
{
    return zindle_test::ZindleBinary() + " --headless --data " + data.Path().string() + " " +
           arguments;
}

const uint8_t* At(const PNGImage& image, int x, int y)
{
    return &image.GetRGBA()[(static_cast<size_t>(y) * image.GetWidth() + x) * 4];
}
} // namespace

TEST(ProgramScreenshot, HeadlessRunWritesTheLastFrameAsLandscapePNG)
{
    zindle_test::TempDir data, out;
    const fs::path shot = out / "shot.png";
    const auto result = zindle_test::RunCommand(Zindle(
        data, "--seconds 1 --wav " + (out / "x.wav").string() + " --screenshot " + shot.string()));
    ASSERT_EQ(result.status, 0) << result.output;
    PNGImage image;
    ASSERT_TRUE(ReadPNG(shot, image));
    EXPECT_EQ(image.GetWidth(), 480);
    EXPECT_EQ(image.GetHeight(), 320);
    EXPECT_FALSE(image.HasAlpha()) << "the screen is opaque";
    // Until the instrument draws, frames are cleared to black.
    for (auto [x, y] : {std::pair{0, 0}, std::pair{479, 319}, std::pair{240, 160}})
    {
        const uint8_t* p = At(image, x, y);
        EXPECT_EQ(p[0] + p[1] + p[2], 0) << x << ", " << y;
    }
    EXPECT_TRUE(fs::exists(out / "x.wav"));
}

TEST(ProgramScreenshot, LaunchImageIsTheFrameBeforeTheFirstFrame)
{
    // A portrait launch image, red above and blue below: held in landscape,
    // its top is the left of the screen.
    zindle_test::TempDir data, out;
    std::vector<uint8_t> samples;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 320; ++x)
            samples.insert(samples.end(), {static_cast<uint8_t>(y < 240 ? 255 : 0), 0,
                                           static_cast<uint8_t>(y < 240 ? 0 : 255)});
    zindle_test::WritePNG(data / "Default.png", 320, 480, PNG_COLOR_TYPE_RGB, samples);
    const fs::path shot = out / "launch.png";
    const auto result =
        zindle_test::RunCommand(Zindle(data, "--seconds 0 --screenshot " + shot.string()));
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output.find("Image is null"), std::string::npos) << result.output;
    PNGImage image;
    ASSERT_TRUE(ReadPNG(shot, image));
    ASSERT_EQ(image.GetWidth(), 480);
    EXPECT_EQ(At(image, 10, 160)[0], 255);
    EXPECT_EQ(At(image, 10, 160)[2], 0);
    EXPECT_EQ(At(image, 470, 160)[0], 0);
    EXPECT_EQ(At(image, 470, 160)[2], 255);
}

TEST(ProgramScreenshot, UnwritableScreenshotFailsCleanly)
{
    zindle_test::TempDir data, out;
    const fs::path shot = out / "missing" / "shot.png";
    const auto result =
        zindle_test::RunCommand(Zindle(data, "--seconds 0.1 --screenshot " + shot.string()));
    EXPECT_EQ(result.status, 1) << result.output;
    EXPECT_NE(result.output.find("cannot write"), std::string::npos) << result.output;
    EXPECT_FALSE(fs::exists(shot));
    // A screenshot into a directory leaves no temporary file behind.
    fs::create_directory(out / "dir.png");
    const auto clash = zindle_test::RunCommand(
        Zindle(data, "--seconds 0.1 --screenshot " + (out / "dir.png").string()));
    EXPECT_EQ(clash.status, 1) << clash.output;
    for (const auto& entry : fs::directory_iterator(out.Path()))
        EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
}
