// A real OpenGL ES 1.1 renderer for tests: a headless window, the desktop
// renderer and its view on SDL's offscreen driver, pixel read-back, PNG
// writing, and a flat quad node to draw with.
#pragma once

#include "render/Material.h"
#include "render/ModelVertex.h"
#include "scene/Node.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class Renderer_GL_SDL;
class View_SDL;
class Window;

namespace zindle_test
{
struct Pixel
{
    int r = 0, g = 0, b = 0, a = 0;
};

// Opens the renderer on construction and closes it with the object. Textures
// are looked up in resourceDir when one is given. Only one may exist at a time.
class GLTestContext
{
  public:
    explicit GLTestContext(const std::filesystem::path& resourceDir = {});
    ~GLTestContext();
    GLTestContext(const GLTestContext&) = delete;
    GLTestContext& operator=(const GLTestContext&) = delete;

    bool IsValid() const;
    Renderer_GL_SDL& GetRenderer() { return *m_pRenderer; }
    View_SDL& GetView();

    // The framebuffer as the player sees it: 480 x 320, top row first.
    std::vector<uint8_t> ReadLandscape();
    // One pixel of the landscape picture, (0, 0) top-left.
    Pixel LandscapePixel(int x, int y);
    // One pixel of the portrait framebuffer in GL coordinates (origin bottom-left).
    Pixel FramebufferPixel(int x, int y);

  private:
    Window* m_pWindow = nullptr;
    Renderer_GL_SDL* m_pRenderer = nullptr;
};

// A rectangle in the local space of its node, drawn with a material and one
// packed vertex colour; texture coordinates run (0, 0) top-left to (1, 1).
class Node_TestQuad : public Node
{
  public:
    Node_TestQuad(float left, float top, float right, float bottom, Material* material,
                  uint32_t colour = 0xFFFFFFFF);
    ~Node_TestQuad() override;
    void Render(Renderer& renderer) override;

  private:
    ModelVertex m_vertices[4];
    Material* m_pMaterial;
};

// Writes a PNG with libpng: colourType as in the PNG header (0 grey, 2 RGB,
// 3 palette, 4 grey+alpha, 6 RGBA), 8 bits, samples row by row from the top.
// For palettes, samples are indices and palette/trns give the colours.
void WritePNG(const std::filesystem::path& path, int width, int height, int colourType,
              const std::vector<uint8_t>& samples, const std::vector<uint8_t>& palette = {},
              const std::vector<uint8_t>& trns = {});
// A width x height RGBA PNG filled with one colour.
void WriteSolidPNG(const std::filesystem::path& path, int width, int height, uint8_t r, uint8_t g,
                   uint8_t b, uint8_t a = 255);
} // namespace zindle_test
