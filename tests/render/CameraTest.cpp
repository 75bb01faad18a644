// Cameras against a renderer that only reports the screen: placement, view,
// projection and viewport in landscape screen points.
#include "app/Window.h"
#include "render/Camera_2D.h"
#include "render/Renderer.h"

#include <gtest/gtest.h>

namespace
{
class PortraitWindow : public Window
{
  public:
    int GetWidth() const override { return 320; }
    int GetHeight() const override { return 480; }
    bool IsFullscreen() const override { return true; }
    int Process() override { return 0; }
};

// Answers the screen-size questions cameras ask; draws nothing.
class ScreenOnlyRenderer : public Renderer
{
  public:
    explicit ScreenOnlyRenderer(Window* window, bool landscape)
        : Renderer(window), m_bLandscape(landscape)
    {
    }
    bool RecreateDevice() override { return true; }
    bool IsValid() override { return true; }
    void SetMaterial(Material*) override {}
    void SetTransform(const Transform&) override {}
    void BeginFrame(bool, unsigned int) override {}
    void EndFrame(bool) override {}
    void RenderTree(Node*, Camera*) override {}
    bool IsMainThread() override { return true; }
    bool GetLandscape() override { return m_bLandscape; }

  private:
    bool m_bLandscape;
};

// Applies the view then the projection to a landscape screen point, as the
// renderer's camera matrix does before its quarter turn.
Vector2f ToClip(Camera& camera, float x, float y)
{
    Transform view;
    Projection projection;
    camera.GetTransform(view);
    camera.GetProjection(projection);
    float m[16];
    projection.CopyTo(m, false);
    const float vx = x + view.GetPosition().x;
    const float vy = y + view.GetPosition().y;
    // The landscape rotation of -90 degrees about z: (u, v) -> (v, -u).
    const float rx = vy;
    const float ry = -vx;
    return Vector2f(m[0] * rx + m[12], m[5] * ry + m[13]);
}

class CameraTest : public ::testing::Test
{
  protected:
    PortraitWindow m_window;
    ScreenOnlyRenderer m_renderer{&m_window, true};
};
} // namespace

TEST_F(CameraTest, ScreenSizeIsLandscapeOnlyWhenRotated)
{
    ASSERT_EQ(Renderer::GetInstance(), &m_renderer);
    EXPECT_EQ(m_renderer.GetScreenSize(true).x, 480.0f);
    EXPECT_EQ(m_renderer.GetScreenSize(true).y, 320.0f);
    EXPECT_EQ(m_renderer.GetScreenSize(false).x, 320.0f);
    EXPECT_EQ(m_renderer.GetScreenSize(false).y, 480.0f);
}

TEST_F(CameraTest, PortraitRendererKeepsTheWindowSize)
{
    PortraitWindow window;
    // A second renderer does not replace the instance; it answers for itself.
    ScreenOnlyRenderer portrait(&window, false);
    EXPECT_EQ(Renderer::GetInstance(), &m_renderer);
    EXPECT_EQ(portrait.GetScreenSize(true).x, 320.0f);
    EXPECT_EQ(portrait.GetScreenSize(true).y, 480.0f);
}

TEST_F(CameraTest, NewCameraCoversTheLandscapeScreenCentred)
{
    Camera_2D camera;
    EXPECT_EQ(camera.GetViewportMin().x, 0.0f);
    EXPECT_EQ(camera.GetViewportMin().y, 0.0f);
    EXPECT_EQ(camera.GetViewportMax().x, 480.0f);
    EXPECT_EQ(camera.GetViewportMax().y, 320.0f);
    EXPECT_EQ(camera.GetScreenWidth(), 480.0f);
    EXPECT_EQ(camera.GetScreenHeight(), 320.0f);
    EXPECT_FALSE(camera.GetFogEnabled());

    Transform view;
    camera.GetTransform(view);
    EXPECT_EQ(view.GetPosition().x, -240.0f);
    EXPECT_EQ(view.GetPosition().y, -160.0f);
    EXPECT_EQ(view.GetPosition().z, 0.0f);
    EXPECT_EQ(camera.GetInvTransform().GetPosition().x, 240.0f);
    EXPECT_EQ(camera.GetInvTransform().GetPosition().y, 160.0f);
}

TEST_F(CameraTest, ProjectionMirrorsThePortraitWidth)
{
    Camera_2D camera;
    Projection projection;
    camera.GetProjection(projection);
    float m[16];
    projection.CopyTo(m, false);
    for (int i = 0; i < 16; ++i)
    {
        SCOPED_TRACE(i);
        switch (i)
        {
        case 0:
            EXPECT_FLOAT_EQ(m[i], -0.00625f);
            break;
        case 5:
            EXPECT_FLOAT_EQ(m[i], 1.0f / 240.0f);
            break;
        case 10:
            EXPECT_FLOAT_EQ(m[i], -0.01f);
            break;
        case 15:
            EXPECT_FLOAT_EQ(m[i], 1.0f);
            break;
        default:
            EXPECT_EQ(m[i], 0.0f);
        }
    }
}

TEST_F(CameraTest, ScreenCornersReachTheFramebufferCorners)
{
    Camera_2D camera;
    struct Case
    {
        float x, y, clipX, clipY;
    } cases[] = {
        {0.0f, 0.0f, 1.0f, 1.0f},
        {480.0f, 320.0f, -1.0f, -1.0f},
        {240.0f, 160.0f, 0.0f, 0.0f},
        {480.0f, 0.0f, 1.0f, -1.0f},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "point " << c.x << ", " << c.y);
        const Vector2f clip = ToClip(camera, c.x, c.y);
        EXPECT_NEAR(clip.x, c.clipX, 1e-6);
        EXPECT_NEAR(clip.y, c.clipY, 1e-6);
    }
}

TEST_F(CameraTest, SetPositionMovesThePictureAndKeepsTheProjection)
{
    Camera_2D camera;
    Projection before;
    camera.GetProjection(before);
    const float d = 40.0f;
    camera.SetPosition(240.0f, 160.0f - d);
    Transform view;
    camera.GetTransform(view);
    EXPECT_EQ(view.GetPosition().x, -240.0f);
    EXPECT_EQ(view.GetPosition().y, -(160.0f - d));
    // The point that was at the top edge now shows d points lower.
    const Vector2f clip = ToClip(camera, 240.0f, 0.0f);
    EXPECT_NEAR(clip.x, -(0.0f - (160.0f - d)) / 160.0f, 1e-6);
    Projection after;
    camera.GetProjection(after);
    float a[16], b[16];
    before.CopyTo(b, false);
    after.CopyTo(a, false);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(a[i], b[i]) << i;
}

TEST_F(CameraTest, ViewIsRecomputedOnlyAfterSetPosition)
{
    // Exposes the cached placement so a stale recomputation would show.
    struct Probe : Camera_2D
    {
        void Tamper() { m_placement.SetPosition(1.0f, 2.0f, 3.0f); }
    } camera;
    Transform view;
    camera.GetTransform(view);
    camera.Tamper();
    camera.GetTransform(view);
    EXPECT_EQ(camera.GetInvTransform().GetPosition().x, 1.0f) << "view recomputed without a move";
    camera.SetPosition(10.0f, 20.0f);
    EXPECT_EQ(camera.GetInvTransform().GetPosition().x, 10.0f);
    EXPECT_EQ(camera.GetInvTransform().GetPosition().y, 20.0f);
}

TEST_F(CameraTest, ViewportCanBeSetAndReset)
{
    Camera_2D camera;
    camera.SetViewport(Vector2f(0.0f, -40.0f), Vector2f(480.0f, 280.0f));
    EXPECT_EQ(camera.GetViewportMin().y, -40.0f);
    EXPECT_EQ(camera.GetViewportMax().y, 280.0f);
    camera.ResetViewport();
    EXPECT_EQ(camera.GetViewportMin().y, 0.0f);
    EXPECT_EQ(camera.GetViewportMax().x, 480.0f);
    EXPECT_EQ(camera.GetViewportMax().y, 320.0f);
}
