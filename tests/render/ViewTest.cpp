// The GL view: the launch image on the portrait framebuffer, and the landscape
// picture presented on a window, letterboxed and turned a quarter turn. Where
// the letterbox falls for each drawable is the touch input test's.
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
    WriteFile(dir / "Default.png", "\x89PNG\r\n\x1a\n broken");
    testing::internal::CaptureStderr();
    GLTestContext gl(dir.Path());
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(gl.IsValid());
    EXPECT_NE(log.find("Image is null: Default.png"), std::string::npos) << log;
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
    // Whether a pixel of the window's back buffer, (0, 0) top-left, is near 0xRRGGBB.
    bool WindowPixelIs(int x, int y, uint32_t colour)
    {
        int width = 0, height = 0;
        SDL_GL_GetDrawableSize(m_pRenderer->GetView()->GetSDLWindow(), &width, &height);
        uint8_t p[4] = {};
        glReadPixels(x, height - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return Near({p[0], p[1], p[2], p[3]}, colour >> 16, colour >> 8 & 255, colour & 255);
    }

    Window_SDL m_window{true, false};
    Renderer_GL_SDL* m_pRenderer = nullptr;
};
} // namespace

TEST_F(LiveView, WindowShowsTheScreenOriginTopLeftAndResizedLetterboxed)
{
    // The default window is 960 x 640, two pixels a point; resized to 1000 x 500 it
    // shows the 750 x 500 picture between black bars 125 pixels wide, 1.5625 pixels a point.
    using Points = std::vector<std::tuple<int, int, uint32_t>>;
    for (const Points& points :
         {Points{{2, 2, 0xFF0000}, {195, 95, 0xFF0000}, {205, 50, 0xFFFFFF}, {50, 105, 0xFFFFFF}},
          Points{{60, 250, 0}, {940, 250, 0}, {128, 3, 0xFF0000}, {125 + 170, 3, 0xFFFFFF}}})
    {
        DrawToWindow();
        for (auto [x, y, colour] : points)
            EXPECT_TRUE(WindowPixelIs(x, y, colour)) << x << ", " << y;
        SDL_SetWindowSize(m_pRenderer->GetView()->GetSDLWindow(), 1000, 500);
    }
}
