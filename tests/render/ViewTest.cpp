// The GL view: the launch image on the portrait framebuffer, and the landscape
// picture presented on a window, letterboxed and turned a quarter turn.
#include "RenderTestSupport.h"

#include "platform/sdl/View_SDL.h"
#include "platform/sdl/Window_SDL.h"

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

TEST(LiveView, WindowShowsTheScreenOriginTopLeftAndResizedLetterboxed)
{
    // A live view (a window on SDL's offscreen driver) with the desktop renderer.
    Window_SDL window(true, false);
    Renderer_GL_SDL renderer(&window, new View_SDL(false, false));
    ASSERT_TRUE(renderer.IsValid()) << renderer.GetView()->GetError();
    SDL_Window* sdlWindow = renderer.GetView()->GetSDLWindow();
    Camera_2D camera;
    Material* material = Material::Create();
    Node* quad = new Node_TestQuad(0.0f, 0.0f, 100.0f, 50.0f, material, 0xFF0000FF);
    // A red quad at (0, 0)-(100, 50) on white, through the framebuffer into the window:
    // 960 x 640 at first, two pixels a point; resized to 1000 x 500 it shows the 750 x
    // 500 picture between black bars 125 pixels wide, 1.5625 pixels a point.
    using Points = std::vector<std::tuple<int, int, uint32_t>>;
    for (const Points& points :
         {Points{{2, 2, 0xFF0000}, {195, 95, 0xFF0000}, {205, 50, 0xFFFFFF}, {50, 105, 0xFFFFFF}},
          Points{{60, 250, 0}, {940, 250, 0}, {128, 3, 0xFF0000}, {125 + 170, 3, 0xFFFFFF}}})
    {
        renderer.BeginFrame(true, 0x00FFFFFF);
        renderer.RenderTree(quad, &camera);
        renderer.EndFrame(false);
        renderer.GetView()->DrawToWindow();
        int width = 0, height = 0;
        SDL_GL_GetDrawableSize(sdlWindow, &width, &height);
        for (auto [x, y, colour] : points)
        {
            uint8_t p[4] = {};
            glReadPixels(x, height - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
            EXPECT_TRUE(
                Near({p[0], p[1], p[2], p[3]}, colour >> 16, colour >> 8 & 255, colour & 255))
                << x << ", " << y;
        }
        SDL_SetWindowSize(sdlWindow, 1000, 500);
    }
    quad->Release();
    material->Release();
}

TEST(LiveView, AtThreePixelsAPointEdgesStaySharpAndClicksLandOnWhatIsDrawn)
{
    // A 1440 x 960 window draws the frame at 3 pixels a point, shown pixel for pixel. A
    // "button" (red, points (380, 250)-(460, 290)) and a one-point "note key" line (green,
    // x 200 to 201) on white; clicks at their window pixels map back to their points.
    Window_SDL window(true, false);
    // Opened at that size: SDL's offscreen driver keeps a window's first surface size.
    Renderer_GL_SDL renderer(&window, new View_SDL(false, false, 1.0f, 1440, 960));
    ASSERT_TRUE(renderer.IsValid()) << renderer.GetView()->GetError();
    SDL_Window* sdlWindow = renderer.GetView()->GetSDLWindow();
    Camera_2D camera;
    Material* material = Material::Create();
    Node* button = new Node_TestQuad(380.0f, 250.0f, 460.0f, 290.0f, material, 0xFF0000FF);
    Node* key = new Node_TestQuad(200.0f, 0.0f, 201.0f, 320.0f, material, 0xFF00FF00);
    renderer.BeginFrame(true, 0x00FFFFFF);
    renderer.RenderTree(button, &camera);
    renderer.RenderTree(key, &camera);
    renderer.EndFrame(false);
    EXPECT_EQ(renderer.GetPixelScale(), 3.0f);
    EXPECT_EQ(renderer.GetView()->GetFrameWidth(), 1440);
    EXPECT_EQ(renderer.GetView()->GetFrameHeight(), 960);
    renderer.GetView()->DrawToWindow();

    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(sdlWindow, &width, &height);
    ASSERT_EQ(width, 1440);
    std::vector<uint8_t> shot(static_cast<size_t>(width) * height * 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, shot.data());
    auto pixel = [&](int x, int y) // window pixel, top row first
    {
        const uint8_t* p = &shot[(static_cast<size_t>(height - 1 - y) * width + x) * 4];
        return Pixel{p[0], p[1], p[2], p[3]};
    };
    // The key is three pixels wide with no blended pixel either side; so is the button's edge.
    for (int x = 597; x <= 604; ++x)
    {
        const bool inside = x >= 600 && x < 603;
        EXPECT_TRUE(Near(pixel(x, 300), inside ? 0 : 255, 255, inside ? 0 : 255, 0))
            << x << ": " << pixel(x, 300).r << " " << pixel(x, 300).g << " " << pixel(x, 300).b;
    }
    for (int x = 1136; x <= 1143; ++x)
        EXPECT_TRUE(Near(pixel(x, 800), 255, x < 1140 ? 255 : 0, x < 1140 ? 255 : 0, 0)) << x;

    const TouchInput_SDL::Geometry geometry{1440, 960, width, height};
    for (const auto& [name, wx, wy, left, top, right, bottom, r, g] :
         {std::tuple{"the button", 1141, 752, 380.0f, 250.0f, 460.0f, 290.0f, 255, 0},
          std::tuple{"the note key", 602, 40, 200.0f, 0.0f, 201.0f, 320.0f, 0, 255}})
    {
        SCOPED_TRACE(name);
        const Pixel seen = pixel(wx, wy);
        EXPECT_TRUE(Near(seen, r, g, 0, 0)) << seen.r << " " << seen.g << " " << seen.b;
        float viewX = 0.0f, viewY = 0.0f;
        bool inside = false;
        ASSERT_TRUE(TouchInput_SDL::WindowToView(static_cast<float>(wx), static_cast<float>(wy),
                                                 geometry, viewX, viewY, &inside));
        // Landscape (X, Y) is view (320 - Y, X).
        const float x = viewY;
        const float y = 320.0f - viewX;
        EXPECT_TRUE(inside);
        EXPECT_TRUE(x >= left && x < right && y >= top && y < bottom) << x << ", " << y;
    }
    key->Release();
    button->Release();
    material->Release();
}
