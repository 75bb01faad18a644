// The GL renderer drawing real frames offscreen: frame set-up, clear colour,
// the landscape mapping, viewports and the material state table.
#include "platform/Renderer_GL_SDL.h"
#include "render/Camera_2D.h"
#include "render/Material.h"
#include "render/Texture.h"
#include "support/GLTestContext.h"
#include "support/TestSupport.h"

#include <GLES/gl.h>
#include <gtest/gtest.h>

using zindle_test::GLTestContext;
using zindle_test::Node_TestQuad;
using zindle_test::Pixel;

namespace
{
class RendererTest : public ::testing::Test
{
  protected:
    void SetUp() override { ASSERT_TRUE(m_gl.IsValid()) << "no offscreen OpenGL ES 1.1"; }

    // Draws one frame with the quads under a root, through camera.
    void DrawFrame(Node* root, Camera& camera, unsigned int clear = 0)
    {
        Renderer_GL_SDL& renderer = m_gl.GetRenderer();
        renderer.BeginFrame(true, clear);
        renderer.RenderTree(root, &camera);
        renderer.EndFrame(true);
    }

    static bool IsColour(const Pixel& p, int r, int g, int b)
    {
        return std::abs(p.r - r) <= 1 && std::abs(p.g - g) <= 1 && std::abs(p.b - b) <= 1;
    }

    zindle_test::TempDir m_dir;
    GLTestContext m_gl{m_dir.Path()};
};

GLint GetInteger(GLenum name)
{
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

GLint GetTexParameter(GLenum name)
{
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
}
} // namespace

TEST_F(RendererTest, ScreenSizeIsLandscape)
{
    EXPECT_EQ(m_gl.GetRenderer().GetScreenSize(true).x, 480.0f);
    EXPECT_EQ(m_gl.GetRenderer().GetScreenSize(true).y, 320.0f);
    EXPECT_EQ(m_gl.GetRenderer().GetScreenSize(false).x, 320.0f);
    EXPECT_EQ(m_gl.GetRenderer().GetScreenSize(false).y, 480.0f);
    EXPECT_TRUE(m_gl.GetRenderer().IsMainThread());
}

TEST_F(RendererTest, ClearColourTakesRedGreenBlueFromTheLowBytes)
{
    Renderer_GL_SDL& renderer = m_gl.GetRenderer();
    // The top byte is ignored and the clear alpha is always 0.
    renderer.BeginFrame(true, 0xAAFF8000);
    renderer.EndFrame(true);
    const Pixel p = m_gl.LandscapePixel(240, 160);
    EXPECT_EQ(p.r, 255);
    EXPECT_EQ(p.g, 128);
    EXPECT_EQ(p.b, 0);
    EXPECT_EQ(p.a, 0);

    renderer.BeginFrame(true, 0x00123456);
    renderer.EndFrame(true);
    const Pixel q = m_gl.FramebufferPixel(0, 0);
    EXPECT_EQ(q.r, 0x12);
    EXPECT_EQ(q.g, 0x34);
    EXPECT_EQ(q.b, 0x56);
}

TEST_F(RendererTest, BeginFrameWithoutClearKeepsPixelsButResetsState)
{
    Renderer_GL_SDL& renderer = m_gl.GetRenderer();
    renderer.BeginFrame(true, 0x0000FF00);
    renderer.EndFrame(true);

    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glViewport(1, 2, 3, 4);
    renderer.BeginFrame(false, 0x00FF0000);

    EXPECT_TRUE(IsColour(m_gl.FramebufferPixel(10, 10), 0, 255, 0)) << "a frame without clear";
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[1], 0);
    EXPECT_EQ(viewport[2], 320);
    EXPECT_EQ(viewport[3], 480);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(GetInteger(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(GetInteger(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(GetInteger(GL_DEPTH_FUNC), GL_LEQUAL);
    GLboolean depthMask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
    EXPECT_TRUE(depthMask);
    GLboolean colourMask[4] = {};
    glGetBooleanv(GL_COLOR_WRITEMASK, colourMask);
    for (GLboolean channel : colourMask)
        EXPECT_TRUE(channel);
    for (GLenum array : {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_COLOR_ARRAY, GL_TEXTURE_COORD_ARRAY})
        EXPECT_TRUE(glIsEnabled(array)) << array;
    renderer.EndFrame(true);
}

TEST_F(RendererTest, ScreenOriginQuadLandsTopLeftOfLandscape)
{
    Camera_2D camera;
    Material* material = Material::Create();
    material->SetZTest(false);
    Node* root = new Node();
    Node* quad = new Node_TestQuad(0.0f, 0.0f, 100.0f, 50.0f, material, 0xFF0000FF); // red
    root->AddChild(quad);
    quad->Release();
    DrawFrame(root, camera);

    struct Case
    {
        int x, y;
        bool inside;
    } cases[] = {{1, 1, true},     {99, 49, true},    {50, 25, true},
                 {101, 10, false}, {10, 51, false},   {470, 10, false},
                 {10, 310, false}, {470, 310, false}, {240, 160, false}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "landscape pixel " << c.x << ", " << c.y);
        const Pixel p = m_gl.LandscapePixel(c.x, c.y);
        EXPECT_EQ(IsColour(p, 255, 0, 0), c.inside);
    }
    // On the portrait framebuffer, landscape (X, Y) is pixel (320 - Y, 480 - X).
    EXPECT_TRUE(IsColour(m_gl.FramebufferPixel(319, 479), 255, 0, 0));
    EXPECT_TRUE(IsColour(m_gl.FramebufferPixel(271, 381), 255, 0, 0));
    EXPECT_FALSE(IsColour(m_gl.FramebufferPixel(0, 0), 255, 0, 0));
    root->Release();
    material->Release();
}

TEST_F(RendererTest, CameraViewportFollowsTheLandscapeFormula)
{
    struct Case
    {
        Vector2f min, max;
        GLint expected[4];
    } cases[] = {
        {{0.0f, 0.0f}, {480.0f, 320.0f}, {0, 0, 320, 480}},
        {{0.0f, -40.0f}, {480.0f, 280.0f}, {40, 0, 320, 480}},
        {{100.0f, 20.0f}, {300.0f, 120.0f}, {200, 180, 100, 200}},
    };
    Camera_2D camera;
    Node root;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "viewport " << c.min.x << ", " << c.min.y << " - "
                                        << c.max.x << ", " << c.max.y);
        camera.SetViewport(c.min, c.max);
        m_gl.GetRenderer().BeginFrame(true, 0);
        m_gl.GetRenderer().RenderTree(&root, &camera);
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(viewport[i], c.expected[i]) << i;
        m_gl.GetRenderer().EndFrame(true);
    }
}

TEST_F(RendererTest, PanelViewportShiftsThePictureUp)
{
    // A layer whose viewport starts 40 points above the screen draws its
    // content 40 points higher than a full-screen layer would.
    Camera_2D camera;
    camera.SetViewport(Vector2f(0.0f, -40.0f), Vector2f(480.0f, 280.0f));
    Material* material = Material::Create();
    Node* root = new Node_TestQuad(0.0f, 40.0f, 100.0f, 90.0f, material, 0xFF00FF00); // green
    DrawFrame(root, camera);
    EXPECT_TRUE(IsColour(m_gl.LandscapePixel(5, 5), 0, 255, 0));
    EXPECT_TRUE(IsColour(m_gl.LandscapePixel(95, 45), 0, 255, 0));
    EXPECT_FALSE(IsColour(m_gl.LandscapePixel(50, 70), 0, 255, 0));
    root->Release();
    material->Release();
}

TEST_F(RendererTest, CameraPositionScrollsTheScene)
{
    Camera_2D camera;
    camera.SetPosition(240.0f, 160.0f - 100.0f);
    Material* material = Material::Create();
    Node* root = new Node_TestQuad(0.0f, 0.0f, 100.0f, 50.0f, material, 0xFFFF0000); // blue
    DrawFrame(root, camera);
    // Moving the camera up by 100 points shows the quad 100 points lower.
    EXPECT_FALSE(IsColour(m_gl.LandscapePixel(50, 25), 0, 0, 255));
    EXPECT_TRUE(IsColour(m_gl.LandscapePixel(50, 125), 0, 0, 255));
    root->Release();
    material->Release();
}

namespace
{
struct BlendCase
{
    int mode;
    bool enabled;
    GLenum source;
    GLenum destination;
};
} // namespace

TEST_F(RendererTest, MaterialBlendModesSetTheBlendTable)
{
    const BlendCase cases[] = {
        {0, false, GL_ZERO, GL_ZERO},
        {1, true, GL_ONE, GL_ONE_MINUS_SRC_ALPHA},
        {2, true, GL_ONE, GL_ONE_MINUS_SRC_ALPHA},
        {3, true, GL_ONE, GL_ONE},
        {4, true, GL_SRC_ALPHA, GL_ONE},
        {5, true, GL_DST_COLOR, GL_ZERO},
        {6, true, GL_DST_ALPHA, GL_ONE_MINUS_DST_ALPHA},
        {7, true, GL_ONE_MINUS_DST_ALPHA, GL_DST_ALPHA},
    };
    Material* material = Material::Create();
    for (const BlendCase& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "blend mode " << c.mode);
        // Start from a state every mode must change.
        glDisable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA_SATURATE, GL_SRC_COLOR);
        if (c.mode == 0)
            glEnable(GL_BLEND);
        material->SetBlendMode(static_cast<char>(c.mode));
        m_gl.GetRenderer().SetMaterial(material);
        EXPECT_EQ(glIsEnabled(GL_BLEND) == GL_TRUE, c.enabled);
        if (c.enabled)
        {
            EXPECT_EQ(GetInteger(GL_BLEND_SRC), static_cast<GLint>(c.source));
            EXPECT_EQ(GetInteger(GL_BLEND_DST), static_cast<GLint>(c.destination));
        }
    }
    // Any other mode leaves the blend state exactly as it was.
    for (int mode : {-1, 8, 100})
    {
        SCOPED_TRACE(testing::Message() << "blend mode " << mode);
        for (bool enabled : {false, true})
        {
            enabled ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA_SATURATE, GL_SRC_COLOR);
            material->SetBlendMode(static_cast<char>(mode));
            m_gl.GetRenderer().SetMaterial(material);
            EXPECT_EQ(glIsEnabled(GL_BLEND) == GL_TRUE, enabled);
            EXPECT_EQ(GetInteger(GL_BLEND_SRC), GL_SRC_ALPHA_SATURATE);
            EXPECT_EQ(GetInteger(GL_BLEND_DST), GL_SRC_COLOR);
        }
    }
    material->Release();
}

TEST_F(RendererTest, MaterialMasksDepthWrapAndFilters)
{
    zindle_test::WriteSolidPNG(m_dir / "white.png", 4, 4, 255, 255, 255);
    Material* material = Material::Create("white.png");
    ASSERT_NE(material->GetTexture(0), nullptr);

    for (int bits = 0; bits < 64; ++bits)
    {
        const bool colour = bits & 1, alpha = bits & 2, zWrite = bits & 4, zTest = bits & 8;
        const char wrap = (bits & 16) ? 1 : 0, filter = (bits & 32) ? 3 : 0;
        SCOPED_TRACE(testing::Message() << "combination " << bits);
        material->SetColorMask(colour, alpha);
        material->SetZWrite(zWrite);
        material->SetZTest(zTest);
        material->SetTextureMode(wrap, static_cast<char>(!wrap));
        material->SetFilter(filter, static_cast<char>(filter ? 0 : 1));
        glDepthFunc(GL_ALWAYS);
        m_gl.GetRenderer().SetMaterial(material);

        GLboolean mask[4] = {};
        glGetBooleanv(GL_COLOR_WRITEMASK, mask);
        EXPECT_EQ(mask[0] == GL_TRUE, colour);
        EXPECT_EQ(mask[1] == GL_TRUE, colour);
        EXPECT_EQ(mask[2] == GL_TRUE, colour);
        EXPECT_EQ(mask[3] == GL_TRUE, alpha);
        GLboolean depthMask = GL_FALSE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
        EXPECT_EQ(depthMask == GL_TRUE, zWrite);
        EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST) == GL_TRUE, zTest);
        if (zTest)
        {
            EXPECT_EQ(GetInteger(GL_DEPTH_FUNC), GL_LEQUAL);
        }
        EXPECT_EQ(GetTexParameter(GL_TEXTURE_WRAP_S), wrap ? GL_REPEAT : GL_CLAMP_TO_EDGE);
        EXPECT_EQ(GetTexParameter(GL_TEXTURE_WRAP_T), wrap ? GL_CLAMP_TO_EDGE : GL_REPEAT);
        EXPECT_EQ(GetTexParameter(GL_TEXTURE_MIN_FILTER), filter ? GL_LINEAR : GL_NEAREST);
        EXPECT_EQ(GetTexParameter(GL_TEXTURE_MAG_FILTER), filter ? GL_NEAREST : GL_LINEAR);
    }
    material->Release();
}

TEST_F(RendererTest, MaterialTextureBindsOrDisablesTexturing)
{
    zindle_test::WriteSolidPNG(m_dir / "white.png", 4, 4, 255, 255, 255);
    Material* textured = Material::Create("white.png");
    Material* plain = Material::Create();
    ASSERT_NE(textured->GetTexture(0), nullptr);

    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    m_gl.GetRenderer().SetMaterial(textured);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_NE(GetInteger(GL_TEXTURE_BINDING_2D), 0);

    m_gl.GetRenderer().SetMaterial(plain);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

    // A null material changes nothing.
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_TEXTURE_2D);
    m_gl.GetRenderer().SetMaterial(nullptr);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(GetInteger(GL_BLEND_DST), GL_ONE);
    textured->Release();
    plain->Release();
}

TEST_F(RendererTest, BlendModesComposeAsDrawn)
{
    // Half-transparent red over a blue clear: premultiplied adds the source
    // as stored; additive adds it fully; multiply keeps only what both share.
    struct Case
    {
        int mode;
        int r, g, b;
    } cases[] = {
        {0, 128, 0, 0},   // opaque: the stored texel replaces the background
        {2, 128, 0, 127}, // premultiplied: texel + background * (1 - alpha)
        {3, 128, 0, 255}, // additive
        {5, 0, 0, 0},     // multiply: red times blue is black
    };
    std::vector<uint8_t> samples(4 * 4 * 4);
    for (size_t i = 0; i < samples.size(); i += 4)
    {
        samples[i] = 255;
        samples[i + 3] = 128;
    }
    zindle_test::WritePNG(m_dir / "red.png", 4, 4, 6, samples);
    Camera_2D camera;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "blend mode " << c.mode);
        Material* material = Material::Create("red.png");
        ASSERT_EQ(material->GetBlendMode(), Material::c_iBlendPremultiplied);
        material->SetBlendMode(static_cast<char>(c.mode));
        Node* quad = new Node_TestQuad(0.0f, 0.0f, 480.0f, 320.0f, material);
        DrawFrame(quad, camera, 0x000000FF);
        const Pixel p = m_gl.LandscapePixel(240, 160);
        EXPECT_NEAR(p.r, c.r, 2);
        EXPECT_NEAR(p.g, c.g, 2);
        EXPECT_NEAR(p.b, c.b, 2);
        quad->Release();
        material->Release();
    }
}

TEST_F(RendererTest, FogFollowsTheCamera)
{
    // Fog colour packs red in the top byte, alpha in the lowest.
    struct Camera_Fog : Camera_2D
    {
        Camera_Fog()
        {
            m_bFogEnabled = true;
            m_iFogColor = 0xFF804000;
            m_rFogStart = 10.0f;
            m_rFogEnd = 90.0f;
        }
    } foggy;
    Camera_2D clear;
    Node root;
    m_gl.GetRenderer().BeginFrame(true, 0);
    m_gl.GetRenderer().RenderTree(&root, &foggy);
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    GLfloat colour[4] = {};
    glGetFloatv(GL_FOG_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 1.0f);
    EXPECT_NEAR(colour[1], 128.0f / 255.0f, 1e-6);
    EXPECT_NEAR(colour[2], 64.0f / 255.0f, 1e-6);
    EXPECT_FLOAT_EQ(colour[3], 0.0f);
    GLfloat start = 0.0f, end = 0.0f;
    glGetFloatv(GL_FOG_START, &start);
    glGetFloatv(GL_FOG_END, &end);
    EXPECT_FLOAT_EQ(start, 10.0f);
    EXPECT_FLOAT_EQ(end, 90.0f);
    EXPECT_EQ(GetInteger(GL_FOG_MODE), GL_LINEAR);

    m_gl.GetRenderer().RenderTree(&root, &clear);
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    m_gl.GetRenderer().EndFrame(true);
}

TEST_F(RendererTest, TextureMatrixIsLoadedOrReset)
{
    Transform shift;
    shift.SetPosition(0.25f, 0.5f, 0.0f);
    m_gl.GetRenderer().SetTextureMatrix(&shift);
    EXPECT_EQ(GetInteger(GL_MATRIX_MODE), GL_MODELVIEW);
    GLfloat m[16] = {};
    glGetFloatv(GL_TEXTURE_MATRIX, m);
    EXPECT_FLOAT_EQ(m[12], 0.25f);
    EXPECT_FLOAT_EQ(m[13], 0.5f);
    EXPECT_FLOAT_EQ(m[0], 1.0f);

    m_gl.GetRenderer().SetTextureMatrix(nullptr);
    glGetFloatv(GL_TEXTURE_MATRIX, m);
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(m[i], i % 5 == 0 ? 1.0f : 0.0f) << i;
    EXPECT_EQ(GetInteger(GL_MATRIX_MODE), GL_MODELVIEW);
}
