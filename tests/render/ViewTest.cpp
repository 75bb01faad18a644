// The GL view: the launch image on the portrait framebuffer, and the landscape
// picture presented on a window (letterboxed, turned a quarter turn) with the
// window-to-screen mapping.
#include "RenderTestSupport.h"

#include "platform/View_SDL.h"
#include "platform/Window_SDL.h"

#include <GLES/gl.h>
#include <png.h>

using namespace zindle_test;

TEST(View, LaunchImageIsClippedToItsBitmapAndABrokenOneIsSkipped)
{
    // 600 x 600, red above row 120 and green below: only the bottom-left
    // 512 x 512 fits the bitmap, and of that the framebuffer shows the bottom
    // 480 rows, all green.
    TempDir dir;
    std::vector<uint8_t> samples;
    for (int i = 0; i < 600 * 600; ++i)
        samples.insert(samples.end(),
                       {uint8_t(i < 600 * 120 ? 255 : 0), uint8_t(i < 600 * 120 ? 0 : 255), 0});
    WritePNG(dir / "Default.png", 600, 600, PNG_COLOR_TYPE_RGB, samples);
    {
        GLTestContext gl(dir.Path());
        ASSERT_TRUE(gl.IsValid());
        for (auto [x, y] : {std::pair{0, 479}, {319, 479}, {160, 240}, {0, 0}, {319, 0}})
            EXPECT_TRUE(Near(gl.FramebufferPixel(x, y), 0, 255, 0)) << x << ", " << y;
    }
    for (const bool present : {true, false})
    {
        SCOPED_TRACE(present ? "corrupt image" : "no image");
        if (present)
            WriteFile(dir / "Default.png", "\x89PNG\r\n\x1a\n broken");
        else
            std::filesystem::remove(dir / "Default.png");
        testing::internal::CaptureStderr();
        GLTestContext gl(dir.Path());
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(gl.IsValid());
        EXPECT_NE(log.find("Image is null: Default.png"), std::string::npos) << log;
    }
}

TEST(View, LandscapeFitsTheDrawableLetterboxed)
{
    for (const auto& c : {std::array{960, 640, 0, 0, 960, 640},
                          {1000, 500, 125, 0, 750, 500},
                          {480, 800, 0, 240, 480, 320},
                          {481, 320, 0, 0, 480, 320},
                          {100, 1000, 0, 467, 100, 66}})
    {
        SCOPED_TRACE(testing::Message() << c[0] << " x " << c[1]);
        int x, y, w, h;
        View_SDL::FitLandscape(c[0], c[1], x, y, w, h);
        EXPECT_EQ((std::array{x, y, w, h}), (std::array{c[2], c[3], c[4], c[5]}));
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
    }
    void TearDown() override { delete m_pRenderer; }

    // A red quad at landscape (0, 0)-(100, 50) on white, into the framebuffer
    // and from there into the window's back buffer.
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

TEST_F(LiveView, WindowShowsTheScreenOriginTopLeftAndTheScreenshotTheFramebuffer)
{
    DrawToWindow();
    // The default window is 960 x 640: two window pixels a point.
    EXPECT_TRUE(Near(WindowPixel(2, 2), 255, 0, 0));
    EXPECT_TRUE(Near(WindowPixel(195, 95), 255, 0, 0));
    EXPECT_TRUE(Near(WindowPixel(205, 50), 255, 255, 255));
    EXPECT_TRUE(Near(WindowPixel(50, 105), 255, 255, 255));
    EXPECT_TRUE(Near(WindowPixel(957, 637), 255, 255, 255));
    m_pRenderer->GetView()->BindFramebuffer();
    std::vector<uint8_t> rgba;
    ASSERT_TRUE(m_pRenderer->GetView()->ReadLandscapeFrame(rgba));
    ASSERT_EQ(rgba.size(), 480u * 320u * 4u);
    EXPECT_TRUE(Near(At(rgba, 10, 10), 255, 0, 0, 0));
    EXPECT_TRUE(Near(At(rgba, 200, 100), 255, 255, 255, 0));
}

TEST_F(LiveView, ResizedWindowIsLetterboxedAndMapsBackToTheScreen)
{
    SDL_SetWindowSize(m_pRenderer->GetView()->GetSDLWindow(), 1000, 500);
    DrawToWindow();
    // The 750 x 500 picture between two black bars 125 pixels wide, 1.5625 pixels a point.
    EXPECT_TRUE(Near(WindowPixel(60, 250), 0, 0, 0));
    EXPECT_TRUE(Near(WindowPixel(940, 250), 0, 0, 0));
    EXPECT_TRUE(Near(WindowPixel(128, 3), 255, 0, 0));
    EXPECT_TRUE(Near(WindowPixel(125 + 170, 3), 255, 255, 255));
    m_pRenderer->GetView()->BindFramebuffer();
    float x = 0.0f, y = 0.0f;
    EXPECT_TRUE(m_pRenderer->GetView()->WindowToLandscape(125.0f, 0.0f, x, y));
    EXPECT_EQ(std::pair(x, y), std::pair(0.0f, 0.0f));
    EXPECT_TRUE(m_pRenderer->GetView()->WindowToLandscape(500.0f, 250.0f, x, y));
    EXPECT_EQ(std::pair(x, y), std::pair(240.0f, 160.0f));
    EXPECT_FALSE(m_pRenderer->GetView()->WindowToLandscape(100.0f, 250.0f, x, y));
}
