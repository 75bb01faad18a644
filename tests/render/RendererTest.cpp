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

TEST_F(RenderTest, ScreenOriginIsTheTopLeftAndTheCameraMovesThePicture)
{
    Material* material = Material::Create();
    std::vector<uint8_t> frame = DrawQuad(material, 0, 100.0f, 50.0f, 0xFF0000FF);
    for (auto [x, y, inside] :
         {std::tuple{1, 1, true}, {99, 49, true}, {101, 10, false}, {10, 51, false}})
        EXPECT_EQ(Near(At(frame, x, y), 255, 0, 0, 1), inside) << x << ", " << y;
    // The panel's viewport, 40 points above the screen, draws 40 points higher.
    m_camera.SetViewport(Vector2f(0.0f, -40.0f), Vector2f(480.0f, 280.0f));
    Node* quad = new Node_TestQuad(0.0f, 40.0f, 100.0f, 90.0f, material, 0xFF00FF00);
    frame = DrawTree(quad);
    quad->Release();
    EXPECT_TRUE(Near(At(frame, 5, 5), 0, 255, 0) && Near(At(frame, 95, 45), 0, 255, 0));
    EXPECT_FALSE(Near(At(frame, 50, 70), 0, 255, 0));
    m_camera.ResetViewport();
    // A camera moved 100 points up shows the scene 100 points lower.
    m_camera.SetPosition(240.0f, 60.0f);
    frame = DrawQuad(material, 0, 100.0f, 50.0f, 0xFFFF0000);
    material->Release();
    EXPECT_FALSE(Near(At(frame, 50, 25), 0, 0, 255));
    EXPECT_TRUE(Near(At(frame, 50, 125), 0, 0, 255) && Near(At(frame, 99, 149), 0, 0, 255));
}

TEST_F(RenderTest, BlendModesComposeAsDrawn)
{
    // Red at alpha 128 (stored premultiplied: 128, 0, 0) over (64, 128, 255),
    // whose alpha is 0.
    std::vector<uint8_t> samples;
    for (int i = 0; i < 16; ++i)
        samples.insert(samples.end(), {255, 0, 0, 128});
    WritePNG(m_dir / "red.png", 4, 4, PNG_COLOR_TYPE_RGBA, samples);
    // clang-format off
    const std::array<int, 4> cases[] = { // mode, then the colour drawn
        {0, 128, 0, 0},     // opaque: the texel replaces the background
        {1, 160, 64, 127},  // texel + background * (1 - alpha)
        {2, 160, 64, 127},  // the same, chosen for textures with alpha
        {3, 192, 128, 255}, // additive
        {100, 96, 64, 127}, // any other mode keeps the frame's own blending, by the source alpha
        {4, 128, 128, 255}, // added by the source alpha
        {5, 32, 0, 0},      // multiplied
        {6, 64, 128, 255},  // by the destination alpha: none, so the background
        {7, 128, 0, 0}};    // by its inverse: the texel
    // clang-format on
    for (const auto& [mode, r, g, b] : cases)
    {
        Material* material = Material::Create("red.png");
        material->SetBlendMode(static_cast<char>(mode));
        const Pixel p = At(DrawQuad(material, 0x4080FF), 240, 160);
        EXPECT_TRUE(Near(p, r, g, b))
            << "mode " << mode << ": " << p.r << ", " << p.g << ", " << p.b;
        material->Release();
    }
}

TEST_F(RenderTest, MasksAndDestinationAlphaComposeLayersAndTheClearResetsThem)
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
    // The next clear writes everything again: the low bytes, and an alpha of 0.
    Renderer_GL_SDL& renderer = m_gl.GetRenderer();
    renderer.BeginFrame(true, 0xAAFF8000);
    renderer.EndFrame(true);
    const Pixel p = m_gl.LandscapePixel(100, 160);
    EXPECT_TRUE(Near(p, 255, 128, 0, 0) && p.a == 0) << p.r << ", " << p.g << ", " << p.a;
    renderer.BeginFrame(false, 0x00123456); // without a clear the pixels stay
    renderer.EndFrame(true);
    EXPECT_TRUE(Near(m_gl.LandscapePixel(10, 300), 255, 128, 0, 0));
}

TEST_F(RenderTest, TextureMatrixWrapAndFilterShowInTheTexels)
{
    // Two texels, red then green, stretched over the screen.
    WritePNG(m_dir / "two.png", 2, 1, PNG_COLOR_TYPE_RGB, {255, 0, 0, 0, 255, 0});
    Material* material = Material::Create("two.png");
    ASSERT_NE(material->GetTexture(0), nullptr);
    // At u = 0.45: nearest shows the red texel; linear is 60 % red and 40 % green.
    EXPECT_TRUE(Near(At(DrawQuad(material), 216, 160), 255, 0, 0));
    material->SetFilter(1, 1);
    EXPECT_TRUE(Near(At(DrawQuad(material), 216, 160), 153, 102, 0, 3));
    material->SetFilter(0, 0);
    // Shifted by half the texture, the right half reaches past its edge, where a
    // repeating texture starts again and a clamped one keeps its last texel;
    // with the matrix reset (-1) the texture lies as drawn.
    Transform shift;
    shift.SetPosition(0.5f, 0.0f, 0.0f);
    for (const int repeat : {1, 0, -1})
    {
        SCOPED_TRACE(repeat);
        material->SetTextureMode(repeat > 0, repeat > 0);
        m_gl.GetRenderer().SetTextureMatrix(repeat >= 0 ? &shift : nullptr);
        const std::vector<uint8_t> frame = DrawQuad(material);
        m_gl.GetRenderer().SetTextureMatrix(nullptr);
        EXPECT_TRUE(Near(At(frame, 100, 160), repeat >= 0 ? 0 : 255, repeat >= 0 ? 255 : 0, 0));
        EXPECT_TRUE(Near(At(frame, 380, 160), repeat > 0 ? 255 : 0, repeat > 0 ? 0 : 255, 0));
    }
    material->Release();
}
