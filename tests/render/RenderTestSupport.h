// What the render tests share: a GL renderer over a fresh resource folder, a
// material drawn on a landscape rectangle and the frame read back, and files.
#pragma once

#include "platform/sdl/Renderer_GL_SDL.h"
#include "render/Camera_2D.h"
#include "render/Material.h"
#include "render/TextureManager.h"
#include "support/GLTestContext.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace zindle_test
{
inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& path)
{
    const std::string bytes = ReadFile(path);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// One pixel of a landscape frame read back (480 x 320, RGBA, top row first).
inline Pixel At(const std::vector<uint8_t>& frame, int x, int y)
{
    const uint8_t* p = &frame[(static_cast<size_t>(y) * 480 + static_cast<size_t>(x)) * 4];
    return {p[0], p[1], p[2], p[3]};
}

inline bool Near(const Pixel& p, int r, int g, int b, int tolerance = 2)
{
    return std::abs(p.r - r) <= tolerance && std::abs(p.g - g) <= tolerance &&
           std::abs(p.b - b) <= tolerance;
}

class RenderTest : public ::testing::Test
{
  protected:
    void SetUp() override { ASSERT_TRUE(m_gl.IsValid()) << "no offscreen OpenGL ES 1.1"; }

    // Draws the tree in one frame over a clear colour (0xRRGGBB) and reads it back.
    std::vector<uint8_t> DrawTree(Node* root, unsigned int clear = 0)
    {
        m_gl.GetRenderer().BeginFrame(true, clear);
        m_gl.GetRenderer().RenderTree(root, &m_camera);
        m_gl.GetRenderer().EndFrame(true);
        return m_gl.ReadLandscape();
    }
    // The material on a landscape rectangle (full screen unless told), one frame.
    std::vector<uint8_t> DrawQuad(Material* material, unsigned int clear = 0, float right = 480.0f,
                                  float bottom = 320.0f, uint32_t colour = 0xFFFFFFFF)
    {
        Node* quad = new Node_TestQuad(0.0f, 0.0f, right, bottom, material, colour);
        std::vector<uint8_t> frame = DrawTree(quad, clear);
        quad->Release();
        return frame;
    }

    void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        WriteFile(m_dir / name, std::string(bytes.begin(), bytes.end()));
    }
    int TextureCount() { return m_gl.GetRenderer().GetTextureManager()->GetTextureCount(); }

    TempDir m_dir;
    GLTestContext m_gl{m_dir.Path()};
    Camera_2D m_camera;
};
} // namespace zindle_test
