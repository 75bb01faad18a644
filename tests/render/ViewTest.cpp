// The GL view: the launch image, the landscape presentation on a window
// (letterboxed, turned a quarter turn) and the window-to-screen mapping.
#include "platform/Renderer_GL_SDL.h"
#include "platform/View_SDL.h"
#include "platform/Window_SDL.h"
#include "render/Camera_2D.h"
#include "render/Material.h"
#include "support/GLTestContext.h"
#include "support/TestSupport.h"

#include <GLES/gl.h>
#include <gtest/gtest.h>
#include <png.h>

using zindle_test::GLTestContext;
using zindle_test::Node_TestQuad;
using zindle_test::Pixel;

namespace
{
// An RGB image whose rows above splitRow are one colour and the rest another.
void WriteSplitImage(const std::filesystem::path& path, int width, int height, int splitRow,
                     const uint8_t above[3], const uint8_t below[3])
{
    std::vector<uint8_t> samples;
    samples.reserve(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
        {
            const uint8_t* colour = y < splitRow ? above : below;
            samples.insert(samples.end(), colour, colour + 3);
        }
    zindle_test::WritePNG(path, width, height, PNG_COLOR_TYPE_RGB, samples);
}

bool Is(const Pixel& p, int r, int g, int b)
{
    return std::abs(p.r - r) <= 2 && std::abs(p.g - g) <= 2 && std::abs(p.b - b) <= 2;
}

const uint8_t c_red[3] = {255, 0, 0};
const uint8_t c_green[3] = {0, 255, 0};
const uint8_t c_blue[3] = {0, 0, 255};
} // namespace

TEST(View, LaunchImageIsShownUprightOnThePortraitFramebuffer)
{
    zindle_test::TempDir dir;
    WriteSplitImage(dir / "Default.png", 320, 480, 240, c_red, c_blue);
    GLTestContext gl(dir.Path());
    ASSERT_TRUE(gl.IsValid());
    // The image's top row is the framebuffer's top row (GL y = 479).
    EXPECT_TRUE(Is(gl.FramebufferPixel(160, 470), 255, 0, 0));
    EXPECT_TRUE(Is(gl.FramebufferPixel(5, 250), 255, 0, 0));
    EXPECT_TRUE(Is(gl.FramebufferPixel(160, 10), 0, 0, 255));
    EXPECT_TRUE(Is(gl.FramebufferPixel(315, 230), 0, 0, 255));
}

TEST(View, LargeLaunchImageIsClippedToItsBitmap)
{
    // 600 x 600: only the bottom-left 512 x 512 fits the bitmap, and of that
    // the framebuffer shows the bottom 480 rows, from image row 120 down.
    zindle_test::TempDir dir;
    WriteSplitImage(dir / "Default.png", 600, 600, 120, c_red, c_green);
    GLTestContext gl(dir.Path());
    ASSERT_TRUE(gl.IsValid());
    for (auto [x, y] : {std::pair{0, 479}, std::pair{319, 479}, std::pair{160, 240},
                        std::pair{0, 0}, std::pair{319, 0}})
    {
        SCOPED_TRACE(testing::Message() << "pixel " << x << ", " << y);
        EXPECT_TRUE(Is(gl.FramebufferPixel(x, y), 0, 255, 0));
    }
}

TEST(View, BrokenOrMissingLaunchImageIsLoggedAndSkipped)
{
    zindle_test::TempDir dir;
    for (bool present : {false, true})
    {
        SCOPED_TRACE(present ? "corrupt image" : "no image");
        if (present)
            zindle_test::WriteFile(dir / "Default.png", "\x89PNG\r\n\x1a\n broken");
        testing::internal::CaptureStderr();
        GLTestContext gl(dir.Path());
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(gl.IsValid());
        EXPECT_NE(log.find("Image is null: Default.png"), std::string::npos) << log;
    }
}

TEST(View, LandscapeFitsTheDrawableLetterboxed)
{
    struct Case
    {
        int width, height, x, y, w, h;
    } cases[] = {
        {960, 640, 0, 0, 960, 640},     {1000, 500, 125, 0, 750, 500}, {480, 800, 0, 240, 480, 320},
        {1920, 1280, 0, 0, 1920, 1280}, {481, 320, 0, 0, 480, 320},    {100, 1000, 0, 467, 100, 66},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        int x, y, w, h;
        View_SDL::FitLandscape(c.width, c.height, x, y, w, h);
        EXPECT_EQ(x, c.x);
        EXPECT_EQ(y, c.y);
        EXPECT_EQ(w, c.w);
        EXPECT_EQ(h, c.h);
    }
}

namespace
{
// A live view (a window on SDL's offscreen driver) with the desktop renderer.
class LiveView : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_pRenderer = new Renderer_GL_SDL(&m_window, new View_SDL(false, false));
        ASSERT_TRUE(m_pRenderer->IsValid()) << m_pRenderer->GetView()->GetError();
        ASSERT_NE(m_pRenderer->GetView()->GetSDLWindow(), nullptr);
    }
    void TearDown() override { delete m_pRenderer; }

    // Draws a red quad at landscape (0, 0)-(100, 50) into the framebuffer,
    // then the framebuffer into the window's back buffer.
    void DrawToWindow()
    {
        Camera_2D camera;
        Material* material = Material::Create();
        Node* quad = new Node_TestQuad(0.0f, 0.0f, 100.0f, 50.0f, material, 0xFF0000FF);
        m_pRenderer->BeginFrame(true, 0x00FFFFFF);
        m_pRenderer->RenderTree(quad, &camera);
        m_pRenderer->EndFrame(false);
        m_pRenderer->GetView()->DrawToWindow();
        quad->Release();
        material->Release();
    }

    // A pixel of the window's back buffer, (0, 0) top-left.
    Pixel WindowPixel(int x, int y)
    {
        int width = 0, height = 0;
        SDL_GL_GetDrawableSize(m_pRenderer->GetView()->GetSDLWindow(), &width, &height);
        uint8_t p[4] = {};
        glReadPixels(x, height - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return {p[0], p[1], p[2], p[3]};
    }

    Window_SDL m_window{true, false};
    Renderer_GL_SDL* m_pRenderer = nullptr;
};
} // namespace

TEST_F(LiveView, PresentShowsTheScreenOriginTopLeft)
{
    DrawToWindow();
    // The default window is 960 x 640: two window pixels per screen point.
    EXPECT_TRUE(Is(WindowPixel(2, 2), 255, 0, 0));
    EXPECT_TRUE(Is(WindowPixel(195, 95), 255, 0, 0));
    EXPECT_TRUE(Is(WindowPixel(205, 50), 255, 255, 255));
    EXPECT_TRUE(Is(WindowPixel(50, 105), 255, 255, 255));
    EXPECT_TRUE(Is(WindowPixel(957, 637), 255, 255, 255));
    m_pRenderer->GetView()->BindFramebuffer();
}

TEST_F(LiveView, ResizedWindowIsLetterboxed)
{
    SDL_Window* window = m_pRenderer->GetView()->GetSDLWindow();
    SDL_SetWindowSize(window, 1000, 500);
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    if (width != 1000 || height != 500)
        GTEST_SKIP() << "this video driver does not resize its windows";
    DrawToWindow();
    // The 750 x 500 picture stands between two black bars 125 pixels wide.
    EXPECT_TRUE(Is(WindowPixel(60, 250), 0, 0, 0));
    EXPECT_TRUE(Is(WindowPixel(940, 250), 0, 0, 0));
    EXPECT_TRUE(Is(WindowPixel(128, 3), 255, 0, 0));
    EXPECT_TRUE(Is(WindowPixel(125 + 170, 3), 255, 255, 255)); // 1.5625 pixels a point
    m_pRenderer->GetView()->BindFramebuffer();

    float x = 0.0f, y = 0.0f;
    EXPECT_TRUE(m_pRenderer->GetView()->WindowToLandscape(125.0f, 0.0f, x, y));
    EXPECT_FLOAT_EQ(x, 0.0f);
    EXPECT_FLOAT_EQ(y, 0.0f);
    EXPECT_TRUE(m_pRenderer->GetView()->WindowToLandscape(500.0f, 250.0f, x, y));
    EXPECT_FLOAT_EQ(x, 240.0f);
    EXPECT_FLOAT_EQ(y, 160.0f);
    EXPECT_FALSE(m_pRenderer->GetView()->WindowToLandscape(100.0f, 250.0f, x, y));
}

TEST_F(LiveView, ScreenshotIsTheFramebufferNotTheWindow)
{
    DrawToWindow();
    m_pRenderer->GetView()->BindFramebuffer();
    std::vector<uint8_t> rgba;
    ASSERT_TRUE(m_pRenderer->GetView()->ReadLandscapeFrame(rgba));
    ASSERT_EQ(rgba.size(), 480u * 320u * 4u);
    EXPECT_EQ(rgba[(10 * 480 + 10) * 4], 255);
    EXPECT_EQ(rgba[(10 * 480 + 10) * 4 + 1], 0);
    EXPECT_EQ(rgba[(100 * 480 + 200) * 4 + 1], 255);
}
