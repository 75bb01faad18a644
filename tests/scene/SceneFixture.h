// What the scene tests share: a GL renderer over a fresh resource folder, frames
// read back, real touches through the touch manager, binary BMFont descriptors.
#pragma once

#include "core/RefCounted.h"
#include "input/TouchListener.h"
#include "input/TouchManager.h"
#include "platform/sdl/Renderer_GL_SDL.h"
#include "render/Camera_2D.h"
#include "render/TextureManager.h"
#include "support/GLTestContext.h"
#include "support/TestSupport.h"
#include "synth/InstrumentState.h"
#include "synth/SoundControl_Theremin.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zindle_test
{
using Match = std::function<bool(const Pixel&)>;

// One landscape frame, 480 x 320, top row first.
struct Frame
{
    std::vector<uint8_t> rgba;

    Pixel At(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= 480 || y >= 320 || rgba.size() < 480u * 320u * 4u)
            return {-1, -1, -1, -1};
        const uint8_t* p = &rgba[(static_cast<size_t>(y) * 480 + static_cast<size_t>(x)) * 4];
        return {p[0], p[1], p[2], p[3]};
    }
    // Half-open [first, last + 1) of the matches along a row or column; (-1, -1) if none.
    std::pair<int, int> Extent(bool row, int at, const Match& match) const
    {
        int first = -1, last = -2;
        for (int i = 0; i < (row ? 480 : 320); ++i)
            if (match(row ? At(i, at) : At(at, i)))
                first = first < 0 ? i : first, last = i;
        return {first, last + 1};
    }
    std::pair<int, int> Row(int y, const Match& match) const { return Extent(true, y, match); }
    std::pair<int, int> Column(int x, const Match& match) const { return Extent(false, x, match); }
    int Count(const Match& match) const
    {
        int count = 0;
        for (int i = 0; i < 480 * 320; ++i)
            count += match(At(i % 480, i / 480));
        return count;
    }
};

inline bool Near(const Pixel& p, int r, int g, int b, int t = 2)
{
    return std::abs(p.r - r) <= t && std::abs(p.g - g) <= t && std::abs(p.b - b) <= t;
}
inline const Match IsRed = [](const Pixel& p) { return p.r > 200 && p.g < 60 && p.b < 60; };
inline const Match IsGreen = [](const Pixel& p) { return p.g > 200 && p.r < 60 && p.b < 60; };
inline const Match IsBlue = [](const Pixel& p) { return p.b > 200 && p.r < 60 && p.g < 60; };
inline const Match IsWhite = [](const Pixel& p) { return p.r > 200 && p.g > 200 && p.b > 200; };
inline const Match IsBlack = [](const Pixel& p) { return p.r < 30 && p.g < 30 && p.b < 30; };
inline const Match IsLit = [](const Pixel& p) { return p.r > 30 || p.g > 30 || p.b > 30; };

// id, x, y, width, height, x and y offsets, advance and page of a glyph record.
using BmGlyph = std::array<int64_t, 9>;

// A binary BMFont (version 3) descriptor block by block, of any type, size and content.
class BmFontWriter
{
  public:
    BmFontWriter& Block(uint8_t type, uint32_t declaredSize, const std::string& content)
    {
        Put(m_bytes += static_cast<char>(type), declaredSize, 4) += content;
        return *this;
    }
    BmFontWriter& Block(uint8_t type, const std::string& content)
    {
        return Block(type, static_cast<uint32_t>(content.size()), content);
    }
    BmFontWriter& Info()
    {
        return Block(1, std::string("\x12\0\x40\0\x64\1\0\0\0\0\1\1\0Test\0", 18));
    }
    BmFontWriter& Common(uint16_t lineHeight, uint32_t size = 15)
    {
        std::string content(size, '\0'); // at least the line height's two bytes
        content[0] = static_cast<char>(lineHeight), content[1] = static_cast<char>(lineHeight >> 8);
        return Block(2, content);
    }
    BmFontWriter& Pages(const std::vector<std::string>& names)
    {
        std::string content;
        for (const std::string& name : names)
            content += name + '\0';
        return Block(3, content);
    }
    BmFontWriter& Chars(const std::vector<BmGlyph>& glyphs)
    {
        std::string content;
        for (const BmGlyph& g : glyphs)
        {
            for (size_t i = 0; i < 8; ++i)
                Put(content, uint32_t(g[i]), i == 0 ? 4 : 2);
            content += {static_cast<char>(g[8]), '\x0F'}; // page, channel
        }
        return Block(4, content);
    }
    // Pairs of first, second and amount.
    BmFontWriter& Kerning(const std::vector<std::array<int, 3>>& pairs)
    {
        std::string content;
        for (const auto& [first, second, amount] : pairs)
            Put(Put(Put(content, uint32_t(first), 4), uint32_t(second), 4), uint32_t(amount), 2);
        return Block(5, content);
    }
    const std::string& String() const { return m_bytes; }
    const uint8_t* Data() const { return reinterpret_cast<const uint8_t*>(m_bytes.data()); }
    size_t Size() const { return m_bytes.size(); }

  private:
    static std::string& Put(std::string& out, uint32_t value, int bytes)
    {
        for (int i = 0; i < bytes; ++i)
            out += static_cast<char>((value >> (8 * i)) & 0xFF);
        return out;
    }
    std::string m_bytes{"BMF\x03"};
};

// A small font: 'A' red, 'V' green and 'B' blue solid glyphs of 6 x 10 texels
// at x 0, 8 and 16 of its page, a space of 5, and 'A' kerned against 'V' by -2.
inline BmFontWriter TestFont(const std::string& page = "glyphs.png")
{
    const std::vector<BmGlyph> glyphs = {{'A', 0, 0, 6, 10, 0, 0, 8},
                                         {'V', 8, 0, 6, 10, 0, 0, 8},
                                         {'B', 16, 0, 6, 10, 1, 2, 9},
                                         {' ', 0, 0, 0, 0, 0, 0, 5}};
    return BmFontWriter().Info().Common(12).Pages({page}).Chars(glyphs).Kerning({{'A', 'V', -2}});
}

// Writes the font's page (glyphs.png) and descriptor (test.fnt) into dir.
inline void WriteTestFont(const std::filesystem::path& dir)
{
    std::vector<uint8_t> samples(64 * 16 * 4, 0);
    for (int i = 0; i < 64 * 10; ++i) // glyph g's texels have channel g and alpha full
        if (i % 64 < 24 && i % 8 < 6)
            samples[size_t(i) * 4 + size_t(i % 64 / 8)] = samples[size_t(i) * 4 + 3] = 255;
    WritePNG(dir / "glyphs.png", 64, 16, 6, samples);
    WriteFile(dir / "test.fnt", TestFont().String());
}

// Bids -1000 everywhere, like an idle theremin, and records what it gets.
class SurfaceProbe : public TouchListener
{
  public:
    bool TouchGetBid(int, int, float& bid) override { return bid = -1000.0f, true; }
    void TouchBegan(int, int x, int y) override { began.push_back({x, y}); }
    void TouchEnded(int, int x, int y, int, int) override { ended.push_back({x, y}); }
    std::vector<std::pair<int, int>> began, ended;
};

// One record per widget callback: the id, and for sliders the phase and value.
struct CallbackLog
{
    using Call = std::tuple<int, int, float>; // id, phase, value
    std::vector<Call> calls;
    static void Button(void* user, int id) { Slider(user, id, -1, 0.0f); }
    static void Slider(void* user, int id, int phase, float value)
    {
        static_cast<CallbackLog*>(user)->calls.push_back({id, phase, value});
    }
};

class SceneTest : public ::testing::Test
{
  protected:
    SceneTest() { TouchManager::Startup(); }
    ~SceneTest() override
    {
        for (RefCounted* object : m_owned)
            object->Release();
        m_voices = {}; // the voices leave the touch manager before it goes
        TouchManager::GetInstance()->RemoveListener(&m_surface);
        TouchManager::Shutdown();
    }
    void SetUp() override { ASSERT_TRUE(m_gl.IsValid()) << "no offscreen OpenGL ES 1.1"; }

    // Draws one frame of the tree on a clear colour (0xRRGGBB) and reads it back.
    Frame Draw(Node* root, unsigned int clear = 0)
    {
        Renderer_GL_SDL& renderer = m_gl.GetRenderer();
        renderer.BeginFrame(true, clear);
        renderer.RenderTree(root, &m_camera);
        renderer.EndFrame(true);
        return Frame{m_gl.ReadLandscape()};
    }
    int LiveTextures() { return m_gl.GetRenderer().GetTextureManager()->GetTextureCount(); }

    // Four theremins on the screen camera, as the instrument plays them.
    void AddVoices()
    {
        for (auto& voice : m_voices)
        {
            voice = std::make_unique<SoundControl_Theremin>(m_state);
            voice->SetCamera(&m_camera);
        }
    }
    SoundControl_Theremin& Voice(int i) { return *m_voices[static_cast<size_t>(i)]; }
    // The surface joins the auction after whatever listeners exist now.
    void AddSurface() { TouchManager::GetInstance()->AddListener(&m_surface); }

    // Fingers at landscape points; the manager's x offset is taken off on the way in.
    static void* Handle(int finger) { return reinterpret_cast<void*>(intptr_t(finger) + 1); }
    static TouchManager& Touches() { return *TouchManager::GetInstance(); }
    static int Id(int finger) { return Touches().FindTouchID(Handle(finger)); }
    static constexpr int c_dx = TouchManager::c_iOffsetX;
    static void Down(int f, int x, int y) { Touches().TouchBegan(Handle(f), x - c_dx, y); }
    static void Move(int f, int x, int y) { Touches().TouchMoved(Id(f), x - c_dx, y); }
    // Lifted at (x, y), or where it is.
    static void Up(int f, int x = -1, int y = -1)
    {
        if (x < 0)
            Touches().GetTouchPosition(Id(f), x, y);
        Touches().TouchEnded(Id(f), x - c_dx, y);
    }

    // Released at the end, before the voices; Drop releases one early.
    template <typename T> T* Own(T* object) { return m_owned.push_back(object), object; }
    void Drop(RefCounted* object) { std::erase(m_owned, object), object->Release(); }

    TempDir m_dir;
    GLTestContext m_gl{m_dir.Path()};
    Camera_2D m_camera;
    InstrumentState m_state; // the voices' and the note grid's, fresh for each test
    std::array<std::unique_ptr<SoundControl_Theremin>, 4> m_voices;
    SurfaceProbe m_surface;
    CallbackLog m_log;
    std::vector<RefCounted*> m_owned;
};
} // namespace zindle_test
