// What the drawable and widget tests share: a real GL renderer on SDL's
// offscreen driver, a 2D camera, frames drawn and read back as the player sees
// them, images and fonts written into the resource directory.
#pragma once

#include "BmFontWriter.h"
#include "platform/Renderer_GL_SDL.h"
#include "render/Camera_2D.h"
#include "render/Renderer.h"
#include "render/TextureManager.h"
#include "scene/Node.h"
#include "support/GLTestContext.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zindle_test
{
// One landscape frame, 480 x 320, top row first.
class Frame
{
  public:
    static constexpr int c_iWidth = 480;
    static constexpr int c_iHeight = 320;

    explicit Frame(std::vector<uint8_t> rgba) : m_rgba(std::move(rgba)) {}

    Pixel At(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= c_iWidth || y >= c_iHeight || m_rgba.size() < 480u * 320u * 4u)
            return {-1, -1, -1, -1};
        const size_t i = (static_cast<size_t>(y) * c_iWidth + static_cast<size_t>(x)) * 4;
        return {m_rgba[i], m_rgba[i + 1], m_rgba[i + 2], m_rgba[i + 3]};
    }

    // Half-open extent [first, last + 1) of the pixels in row y that match, or
    // (-1, -1) when none does.
    std::pair<int, int> RowExtent(int y, const std::function<bool(const Pixel&)>& match) const
    {
        int first = -1;
        int last = -1;
        for (int x = 0; x < c_iWidth; ++x)
        {
            if (match(At(x, y)))
            {
                if (first < 0)
                    first = x;
                last = x;
            }
        }
        return {first, last < 0 ? -1 : last + 1};
    }
    std::pair<int, int> ColumnExtent(int x, const std::function<bool(const Pixel&)>& match) const
    {
        int first = -1;
        int last = -1;
        for (int y = 0; y < c_iHeight; ++y)
        {
            if (match(At(x, y)))
            {
                if (first < 0)
                    first = y;
                last = y;
            }
        }
        return {first, last < 0 ? -1 : last + 1};
    }
    // How many pixels of the frame match.
    int Count(const std::function<bool(const Pixel&)>& match) const
    {
        int count = 0;
        for (int y = 0; y < c_iHeight; ++y)
            for (int x = 0; x < c_iWidth; ++x)
                count += match(At(x, y)) ? 1 : 0;
        return count;
    }

  private:
    std::vector<uint8_t> m_rgba;
};

inline bool IsRed(const Pixel& p)
{
    return p.r > 200 && p.g < 60 && p.b < 60;
}
inline bool IsGreen(const Pixel& p)
{
    return p.g > 200 && p.r < 60 && p.b < 60;
}
inline bool IsBlue(const Pixel& p)
{
    return p.b > 200 && p.r < 60 && p.g < 60;
}
inline bool IsWhite(const Pixel& p)
{
    return p.r > 200 && p.g > 200 && p.b > 200;
}
inline bool IsBlack(const Pixel& p)
{
    return p.r < 30 && p.g < 30 && p.b < 30;
}
inline bool IsLit(const Pixel& p)
{
    return p.r > 30 || p.g > 30 || p.b > 30;
}

// A GL renderer over a fresh resource directory, and a screen camera.
class SceneTest : public ::testing::Test
{
  protected:
    void SetUp() override { ASSERT_TRUE(m_gl.IsValid()) << "no offscreen OpenGL ES 1.1"; }

    // Draws one frame of the tree on a cleared screen (black unless told,
    // 0xRRGGBB) and reads it back.
    Frame Draw(Node* root, unsigned int clearColour = 0)
    {
        Renderer_GL_SDL& renderer = m_gl.GetRenderer();
        renderer.BeginFrame(true, clearColour);
        renderer.RenderTree(root, &m_camera);
        renderer.EndFrame(true);
        return Frame(m_gl.ReadLandscape());
    }

    int LiveTextures() { return Renderer::GetInstance()->GetTextureManager()->GetTextureCount(); }

    // A width x height RGBA image split into four quadrants of the given colours
    // (top-left, top-right, bottom-left, bottom-right), each 0xRRGGBBAA.
    void WriteQuadrantPNG(const std::string& name, int width, int height, const uint32_t colours[4])
    {
        std::vector<uint8_t> samples;
        for (int y = 0; y < height; ++y)
        {
            for (int x = 0; x < width; ++x)
            {
                const uint32_t c = colours[(y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0)];
                samples.push_back(static_cast<uint8_t>(c >> 24));
                samples.push_back(static_cast<uint8_t>(c >> 16));
                samples.push_back(static_cast<uint8_t>(c >> 8));
                samples.push_back(static_cast<uint8_t>(c));
            }
        }
        WritePNG(m_dir / name, width, height, 6, samples);
    }

    void WriteBytes(const std::string& name, const std::string& bytes)
    {
        WriteFile(m_dir / name, bytes);
    }

    TempDir m_dir;
    GLTestContext m_gl{m_dir.Path()};
    Camera_2D m_camera;
};
} // namespace zindle_test
