// The GL renderer drawing real frames offscreen, read back as the player sees
// them: the clear, the landscape mapping, cameras, every blend mode, the masks
// and destination alpha the backdrop is composed with, and texture state.
#include "RenderTestSupport.h"

#include <png.h>

using namespace zindle_test;

namespace
{
// A plain material on a node, for a tree of quads drawn in order.
void AddQuad(Node* root, float right, char blend, uint32_t colour, bool colourMask, bool alphaMask)
{
    Material* material = Material::Create();
    material->SetBlendMode(blend);
    material->SetColorMask(colourMask, alphaMask);
    Node* quad = new Node_TestQuad(0.0f, 0.0f, right, 320.0f, material, colour);
    root->AddChild(quad);
    quad->Release();
    material->Release();
}
} // namespace

TEST_F(RenderTest, ClearTakesTheLowBytesAndAFrameWithoutClearKeepsThePixels)
{
    Renderer_GL_SDL& renderer = m_gl.GetRenderer();
    renderer.BeginFrame(true, 0xAAFF8000); // the top byte is ignored, the clear alpha is 0
    renderer.EndFrame(true);
    const Pixel p = m_gl.LandscapePixel(240, 160);
    EXPECT_TRUE(Near(p, 255, 128, 0, 0) && p.a == 0) << p.r << ", " << p.g << ", " << p.b;
    renderer.BeginFrame(false, 0x00123456);
    renderer.EndFrame(true);
    EXPECT_TRUE(Near(m_gl.LandscapePixel(10, 300), 255, 128, 0, 0));
}

TEST_F(RenderTest, ScreenOriginIsTheTopLeftOfTheLandscapePicture)
{
    Material* material = Material::Create();
    const std::vector<uint8_t> frame = DrawQuad(material, 0, 100.0f, 50.0f, 0xFF0000FF);
    material->Release();
    for (auto [x, y, inside] : {std::tuple{1, 1, true},
                                {99, 49, true},
                                {50, 25, true},
                                {101, 10, false},
                                {10, 51, false},
                                {470, 10, false},
                                {10, 310, false},
                                {470, 310, false},
                                {240, 160, false}})
    {
        SCOPED_TRACE(testing::Message() << "landscape pixel " << x << ", " << y);
        EXPECT_EQ(Near(At(frame, x, y), 255, 0, 0, 1), inside);
    }
    // On the portrait framebuffer, landscape (X, Y) is pixel (320 - Y, 480 - X).
    EXPECT_TRUE(Near(m_gl.FramebufferPixel(319, 479), 255, 0, 0, 1));
    EXPECT_TRUE(Near(m_gl.FramebufferPixel(271, 381), 255, 0, 0, 1));
    EXPECT_FALSE(Near(m_gl.FramebufferPixel(0, 0), 255, 0, 0, 1));
}

TEST_F(RenderTest, CameraViewportAndPositionMoveThePicture)
{
    Material* material = Material::Create();
    {
        SCOPED_TRACE("the panel's viewport, 40 points above the screen, draws 40 points higher");
        m_camera.SetViewport(Vector2f(0.0f, -40.0f), Vector2f(480.0f, 280.0f));
        Node* quad = new Node_TestQuad(0.0f, 40.0f, 100.0f, 90.0f, material, 0xFF00FF00);
        const std::vector<uint8_t> frame = DrawTree(quad);
        quad->Release();
        EXPECT_TRUE(Near(At(frame, 5, 5), 0, 255, 0));
        EXPECT_TRUE(Near(At(frame, 95, 45), 0, 255, 0));
        EXPECT_FALSE(Near(At(frame, 50, 70), 0, 255, 0));
        m_camera.ResetViewport();
    }
    {
        SCOPED_TRACE("a camera moved 100 points up shows the scene 100 points lower");
        m_camera.SetPosition(240.0f, 60.0f);
        const std::vector<uint8_t> frame = DrawQuad(material, 0, 100.0f, 50.0f, 0xFFFF0000);
        EXPECT_FALSE(Near(At(frame, 50, 25), 0, 0, 255));
        EXPECT_TRUE(Near(At(frame, 50, 125), 0, 0, 255));
        EXPECT_TRUE(Near(At(frame, 99, 149), 0, 0, 255));
    }
    material->Release();
}

TEST_F(RenderTest, BlendModesComposeAsDrawn)
{
    // Red at alpha 128 (stored premultiplied: 128, 0, 0) over (64, 128, 255),
    // whose alpha is 0.
    std::vector<uint8_t> samples;
    for (int i = 0; i < 16; ++i)
        samples.insert(samples.end(), {255, 0, 0, 128});
    WritePNG(m_dir / "red.png", 4, 4, PNG_COLOR_TYPE_RGBA, samples);
    const struct
    {
        int mode;
        int r, g, b;
    } cases[] = {
        {0, 128, 0, 0},     // opaque: the texel replaces the background
        {1, 160, 64, 127},  // texel + background * (1 - alpha)
        {2, 160, 64, 127},  // the same, chosen for textures with alpha
        {3, 192, 128, 255}, // additive
        // Any other mode keeps the frame's own blending, by the source alpha.
        {100, 96, 64, 127},
        {4, 128, 128, 255}, // added by the source alpha
        {5, 32, 0, 0},      // multiplied
        {6, 64, 128, 255},  // by the destination alpha: none, so the background
        {7, 128, 0, 0},     // by its inverse: the texel
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "blend mode " << c.mode);
        Material* material = Material::Create("red.png");
        ASSERT_EQ(material->GetBlendMode(), Material::c_iBlendPremultiplied);
        material->SetBlendMode(static_cast<char>(c.mode));
        const Pixel p = At(DrawQuad(material, 0x4080FF), 240, 160);
        EXPECT_TRUE(Near(p, c.r, c.g, c.b)) << p.r << ", " << p.g << ", " << p.b;
        material->Release();
    }
}

TEST_F(RenderTest, MasksAndDestinationAlphaComposeLayersAndTheNextFrameClearsThem)
{
    // As the backdrop: a layer that writes only alpha, on the left half, then
    // one drawn where that alpha is and one where it is not.
    Node* root = new Node();
    AddQuad(root, 240.0f, Material::c_iBlendOpaque, 0xFF0000FF, false, true);
    AddQuad(root, 480.0f, Material::c_iBlendDestinationAlpha, 0xFF00FF00, true, false);
    AddQuad(root, 480.0f, Material::c_iBlendInverseDestinationAlpha, 0xFFFF0000, true, false);
    AddQuad(root, 480.0f, Material::c_iBlendOpaque, 0xFFFFFFFF, false, false); // writes nothing
    const std::vector<uint8_t> frame = DrawTree(root);
    root->Release();
    EXPECT_TRUE(Near(At(frame, 100, 160), 0, 255, 0));
    EXPECT_TRUE(Near(At(frame, 380, 160), 0, 0, 255));
    // Every write is allowed again for the next frame's clear.
    m_gl.GetRenderer().BeginFrame(true, 0x808080);
    m_gl.GetRenderer().EndFrame(true);
    const Pixel p = m_gl.LandscapePixel(100, 160);
    EXPECT_TRUE(Near(p, 128, 128, 128, 0) && p.a == 0) << p.r << ", " << p.a;
}

TEST_F(RenderTest, TextureMatrixWrapAndFilterShowInTheTexels)
{
    // Two texels, red then green, stretched over the screen.
    WritePNG(m_dir / "two.png", 2, 1, PNG_COLOR_TYPE_RGB, {255, 0, 0, 0, 255, 0});
    Material* material = Material::Create("two.png");
    ASSERT_NE(material->GetTexture(0), nullptr);
    Renderer_GL_SDL& renderer = m_gl.GetRenderer();
    // At u = 0.45: nearest shows the red texel; linear is 60 % red and 40 % green.
    EXPECT_TRUE(Near(At(DrawQuad(material), 216, 160), 255, 0, 0));
    material->SetFilter(1, 1);
    EXPECT_TRUE(Near(At(DrawQuad(material), 216, 160), 153, 102, 0, 3));
    material->SetFilter(0, 0);

    // Shifted by half the texture: the right half reaches past its edge, where
    // a repeating texture starts again and a clamped one keeps its last texel.
    Transform shift;
    shift.SetPosition(0.5f, 0.0f, 0.0f);
    for (const char repeat : {1, 0})
    {
        SCOPED_TRACE(repeat ? "repeat" : "clamp");
        material->SetTextureMode(repeat, repeat);
        Node* quad = new Node_TestQuad(0.0f, 0.0f, 480.0f, 320.0f, material);
        renderer.BeginFrame(true, 0);
        renderer.SetTextureMatrix(&shift);
        renderer.RenderTree(quad, &m_camera);
        renderer.SetTextureMatrix(nullptr);
        renderer.EndFrame(true);
        quad->Release();
        const std::vector<uint8_t> frame = m_gl.ReadLandscape();
        EXPECT_TRUE(Near(At(frame, 100, 160), 0, 255, 0));
        EXPECT_TRUE(Near(At(frame, 380, 160), repeat ? 255 : 0, repeat ? 0 : 255, 0));
    }
    // Reset, the texture lies as drawn.
    const std::vector<uint8_t> frame = DrawQuad(material);
    EXPECT_TRUE(Near(At(frame, 100, 160), 255, 0, 0));
    EXPECT_TRUE(Near(At(frame, 380, 160), 0, 255, 0));
    material->Release();
}
