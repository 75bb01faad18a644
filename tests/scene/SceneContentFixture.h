// Shared set-up of the robot, backdrop, decals and note grid tests: a real
// offscreen renderer, the real touch manager, four theremins on a full-screen
// camera, fingers placed through the manager, and frame drawing.
#pragma once

#include "input/TouchManager.h"
#include "platform/Renderer_GL_SDL.h"
#include "render/Camera_2D.h"
#include "sound/SoundControl_Theremin.h"
#include "support/GLTestContext.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace zindle_test
{
class SceneContentTest : public ::testing::Test
{
  protected:
    static constexpr int c_iVoices = 4;

    SceneContentTest()
    {
        TouchManager::Startup();
        SoundControl_Theremin::ResetSettings();
        m_pCamera = std::make_unique<Camera_2D>();
        m_pCamera->SetViewport(Vector2f(0.0f, 0.0f), Vector2f(480.0f, 320.0f));
        for (auto& voice : m_voices)
        {
            voice = std::make_unique<SoundControl_Theremin>();
            voice->SetCamera(m_pCamera.get());
        }
    }

    ~SceneContentTest() override
    {
        for (auto& voice : m_voices)
            voice.reset();
        TouchManager::Shutdown();
        SoundControl_Theremin::ResetSettings();
    }

    void SetUp() override { ASSERT_TRUE(m_gl.IsValid()) << "no offscreen OpenGL ES 1.1"; }

    SoundControl_Theremin& Voice(int i) { return *m_voices[i]; }

    // Fingers at landscape points; the manager adds its x offset to what the
    // view reports, so the view position is that much to the left.
    void Down(int finger, int x, int y)
    {
        TouchManager::GetInstance()->TouchBegan(Handle(finger), x - TouchManager::c_iOffsetX, y);
    }
    void Move(int finger, int x, int y)
    {
        TouchManager* manager = TouchManager::GetInstance();
        manager->TouchMoved(manager->FindTouchID(Handle(finger)), x - TouchManager::c_iOffsetX, y);
    }
    void Up(int finger)
    {
        TouchManager* manager = TouchManager::GetInstance();
        const int id = manager->FindTouchID(Handle(finger));
        int x = 0, y = 0;
        manager->GetTouchPosition(id, x, y);
        manager->TouchEnded(id, x - TouchManager::c_iOffsetX, y);
    }

    // One frame of the tree under root through the full-screen camera.
    void DrawFrame(Node* root, unsigned int clear = 0)
    {
        Renderer_GL_SDL& renderer = m_gl.GetRenderer();
        renderer.BeginFrame(true, clear);
        renderer.RenderTree(root, m_pCamera.get());
        renderer.EndFrame(true);
    }

    void* Handle(int finger) { return &m_handles[finger]; }

    TempDir m_dir;
    GLTestContext m_gl{m_dir.Path()};
    std::unique_ptr<Camera_2D> m_pCamera;
    std::array<std::unique_ptr<SoundControl_Theremin>, c_iVoices> m_voices;
    std::array<int, 16> m_handles{};
};
} // namespace zindle_test
