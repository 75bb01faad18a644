// The whole instrument in one process for tests: a real GL renderer on SDL's
// offscreen driver with the shipped art (or a chosen resource folder), the real
// touch manager, the offline sound manager and an initialised main state.
// Fingers go in through the touch manager, frames are updated and drawn, and
// the picture is read back as the player sees it.
#pragma once

#include "app/State_Main.h"
#include "dsp/SoundManager.h"
#include "input/TouchManager.h"
#include "platform/sdl/Renderer_GL_SDL.h"
#include "render/ModelVertex.h"
#include "scene/Node.h"
#include "scene/Node_Button.h"
#include "scene/Node_ControlPanel.h"
#include "support/GLTestContext.h"
#include "support/TestSupport.h"
#include "synth/SoundControl_Theremin.h"
#include "synth/Synth_FourVoice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

namespace zindle_test
{
// One landscape frame, 480 x 320, top row first.
class LandscapeFrame
{
  public:
    explicit LandscapeFrame(std::vector<uint8_t> rgba) : m_rgba(std::move(rgba)) {}

    bool IsComplete() const { return m_rgba.size() >= 480u * 320u * 4u; }
    Pixel At(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= 480 || y >= 320 || !IsComplete())
            return {-1, -1, -1, -1};
        const size_t i = (static_cast<size_t>(y) * 480 + static_cast<size_t>(x)) * 4;
        return {m_rgba[i], m_rgba[i + 1], m_rgba[i + 2], m_rgba[i + 3]};
    }
    // Pixels of the rectangle [x0, x1) x [y0, y1) that match.
    int Count(int x0, int y0, int x1, int y1, const std::function<bool(const Pixel&)>& match) const
    {
        int count = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                count += match(At(x, y)) ? 1 : 0;
        return count;
    }
    const std::vector<uint8_t>& Bytes() const { return m_rgba; }

  private:
    std::vector<uint8_t> m_rgba;
};

// A packed colour (red in the low byte) as drawn over black, within a few levels.
inline bool IsColour(const Pixel& p, uint32_t packed, int tolerance = 6)
{
    const int r = static_cast<int>(packed & 0xFF);
    const int g = static_cast<int>((packed >> 8) & 0xFF);
    const int b = static_cast<int>((packed >> 16) & 0xFF);
    return std::abs(p.r - r) <= tolerance && std::abs(p.g - g) <= tolerance &&
           std::abs(p.b - b) <= tolerance;
}
inline bool IsPureBlack(const Pixel& p)
{
    return p.r == 0 && p.g == 0 && p.b == 0;
}

// The face colour a button draws with now (red in the low byte).
inline uint32_t ButtonFaceColour(Node_Button* button)
{
    button->UpdateGeometry();
    const ModelVertex& face = button->GetVertices()[4];
    return static_cast<uint32_t>(face.colour[0]) | (static_cast<uint32_t>(face.colour[1]) << 8) |
           (static_cast<uint32_t>(face.colour[2]) << 16) |
           (static_cast<uint32_t>(face.colour[3]) << 24);
}

inline int ChildCount(const Node* node)
{
    return node->GetChildren() ? static_cast<int>(node->GetChildren()->size()) : 0;
}

class InstrumentTest : public ::testing::Test
{
  protected:
    static constexpr float c_rFrame = 0.05f; // 20 frames per second

    void SetUp() override { Start(SourceDataDir()); }
    void TearDown() override { Stop(); }

    void Start(const std::filesystem::path& resources)
    {
        m_pGL = std::make_unique<GLTestContext>(resources);
        ASSERT_TRUE(m_pGL->IsValid()) << "no offscreen OpenGL ES 1.1";
        TouchManager::Startup();
        m_pTouches = TouchManager::GetInstance();
        m_pSound = std::make_unique<ScopedSoundManager>();
        m_pState = new State_Main();
        ASSERT_TRUE(m_pState->Init());
        m_pPanel = m_pState->GetControlPanel();
        ASSERT_NE(m_pPanel, nullptr);
    }
    void Stop()
    {
        delete m_pState;
        m_pState = nullptr;
        m_pSound.reset();
        TouchManager::Shutdown();
        m_pTouches = nullptr;
        m_pGL.reset();
    }

    // The window, autotune, notes and scale the main state's voices play by.
    InstrumentState& Instrument() { return m_pState->GetSynth()->GetInstrumentState(); }

    void Frames(int count, float dt = c_rFrame)
    {
        for (int i = 0; i < count; ++i)
            m_pState->Update(dt);
    }

    // Fingers by number, at landscape screen points; the manager's x offset is
    // taken off on the way in so listeners receive these coordinates.
    static void* Handle(int finger)
    {
        return reinterpret_cast<void*>(static_cast<intptr_t>(finger));
    }
    void Down(int finger, int x, int y)
    {
        m_pTouches->TouchBegan(Handle(finger), x - TouchManager::c_iOffsetX, y);
    }
    void Move(int finger, int x, int y)
    {
        m_pTouches->TouchMoved(m_pTouches->FindTouchID(Handle(finger)),
                               x - TouchManager::c_iOffsetX, y);
    }
    void Up(int finger, int x, int y)
    {
        m_pTouches->TouchEnded(m_pTouches->FindTouchID(Handle(finger)),
                               x - TouchManager::c_iOffsetX, y);
    }
    void Tap(int x, int y)
    {
        Down(1, x, y);
        Up(1, x, y);
    }
    void Drag(int x0, int y0, int x1, int y1)
    {
        Down(1, x0, y0);
        Move(1, (x0 + x1) / 2, (y0 + y1) / 2);
        Move(1, x1, y1);
        Up(1, x1, y1);
    }

    // The corner button's double tap, as a player does it: two taps 0.1 s apart.
    void DoubleTapCorner()
    {
        Tap(455, 295);
        Frames(2);
        Tap(455, 295);
    }

    // Opens the panel with a double tap and lets it slide fully in.
    void OpenPanel()
    {
        DoubleTapCorner();
        Frames(12);
    }

    LandscapeFrame Draw()
    {
        m_pState->Render(m_pGL->GetRenderer());
        return LandscapeFrame(m_pGL->ReadLandscape());
    }

    // Root mean square of `samples` samples of the output, as 16-bit values.
    double OutputLevel(int samples)
    {
        std::vector<int16_t> out(static_cast<size_t>(samples));
        SoundManager::GetInstance()->RenderOutput(out.data(), samples);
        double sum = 0.0;
        for (int16_t s : out)
            sum += static_cast<double>(s) * s;
        return std::sqrt(sum / samples);
    }

    std::unique_ptr<GLTestContext> m_pGL;
    std::unique_ptr<ScopedSoundManager> m_pSound;
    TouchManager* m_pTouches = nullptr;
    State_Main* m_pState = nullptr;
    Node_ControlPanel* m_pPanel = nullptr;
};
} // namespace zindle_test
