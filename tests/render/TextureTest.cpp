// Textures loaded through the GL texture manager and drawn: PNG texel
// layouts, power-of-two sides, the cache by path, and the PVR and APV loaders.
#include "platform/Renderer_GL_SDL.h"
#include "render/Camera_2D.h"
#include "render/Material.h"
#include "render/PvrHeader.h"
#include "render/PvrTextureImage.h"
#include "render/TextureManager_GL.h"
#include "render/Texture_GL.h"
#include "support/GLTestContext.h"
#include "support/TestSupport.h"

#include <GLES/gl.h>
#include <GLES/glext.h>
#include <gtest/gtest.h>
#include <png.h>

#include <fstream>

using zindle_test::GLTestContext;
using zindle_test::Node_TestQuad;
using zindle_test::Pixel;
using zindle_test::WritePNG;

namespace
{
class TextureTest : public ::testing::Test
{
  protected:
    void SetUp() override { ASSERT_TRUE(m_gl.IsValid()) << "no offscreen OpenGL ES 1.1"; }

    TextureManager& Manager() { return *m_gl.GetRenderer().GetTextureManager(); }

    // Draws the material's texture over the whole screen on a black clear and
    // returns the landscape picture.
    void DrawFullScreen(Material* material)
    {
        Camera_2D camera;
        Node* quad = new Node_TestQuad(0.0f, 0.0f, 480.0f, 320.0f, material);
        Renderer_GL_SDL& renderer = m_gl.GetRenderer();
        renderer.BeginFrame(true, 0);
        renderer.RenderTree(quad, &camera);
        renderer.EndFrame(true);
        quad->Release();
    }

    void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::ofstream out(m_dir / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }

    zindle_test::TempDir m_dir;
    GLTestContext m_gl{m_dir.Path()};
};

// The 8-bit value a 5- or 6-bit channel expands back to.
int Through565(int value, int bits)
{
    const int stored = value >> (8 - bits);
    const int maximum = (1 << bits) - 1;
    return (stored * 255 + maximum / 2) / maximum;
}

std::vector<uint8_t> ReadBinary(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}
} // namespace

TEST_F(TextureTest, OpaqueColourImageIsStoredAsRGB565)
{
    // 4 x 4, top half one colour, bottom half another.
    const uint8_t top[3] = {0x0F, 0x33, 0xF5};
    const uint8_t bottom[3] = {0xC8, 0x64, 0x32};
    std::vector<uint8_t> samples;
    for (int texel = 0; texel < 16; ++texel)
    {
        const uint8_t* colour = texel < 8 ? top : bottom;
        samples.insert(samples.end(), colour, colour + 3);
    }
    WritePNG(m_dir / "opaque.png", 4, 4, PNG_COLOR_TYPE_RGB, samples);

    Material* material = Material::Create("opaque.png");
    ASSERT_NE(material->GetTexture(0), nullptr);
    EXPECT_FALSE(material->GetTexture(0)->HasAlpha());
    EXPECT_EQ(material->GetBlendMode(), Material::c_iBlendOpaque);
    DrawFullScreen(material);

    // The image's top row is at the top of the picture (v = 0 is the top row).
    for (auto [y, colour] : {std::pair{40, top}, std::pair{280, bottom}})
    {
        SCOPED_TRACE(testing::Message() << "row " << y);
        const Pixel p = m_gl.LandscapePixel(240, y);
        EXPECT_NEAR(p.r, Through565(colour[0], 5), 1);
        EXPECT_NEAR(p.g, Through565(colour[1], 6), 1);
        EXPECT_NEAR(p.b, Through565(colour[2], 5), 1);
    }
    // 0x0F keeps only its top five bits: it is drawn as 8, not 15.
    EXPECT_LE(m_gl.LandscapePixel(240, 40).r, 9);
    material->Release();
}

TEST_F(TextureTest, GreyImageIsStoredAsRGB565Grey)
{
    std::vector<uint8_t> samples(8 * 8, 0x87);
    WritePNG(m_dir / "grey.png", 8, 8, PNG_COLOR_TYPE_GRAY, samples);
    Material* material = Material::Create("grey.png");
    ASSERT_NE(material->GetTexture(0), nullptr);
    EXPECT_FALSE(material->GetTexture(0)->HasAlpha());
    DrawFullScreen(material);
    const Pixel p = m_gl.LandscapePixel(100, 100);
    EXPECT_NEAR(p.r, Through565(0x87, 5), 1);
    EXPECT_NEAR(p.g, Through565(0x87, 6), 1);
    EXPECT_NEAR(p.b, Through565(0x87, 5), 1);
    material->Release();
}

TEST_F(TextureTest, TransparentImagesArePremultipliedRGBA)
{
    struct Case
    {
        const char* name;
        int colourType;
        std::vector<uint8_t> samples, palette, trns;
    };
    // Every texel is (200, 100, 50) at alpha 128, from an alpha channel or a tRNS entry.
    std::vector<uint8_t> rgba, greyAlpha, indices(16, 1);
    for (int i = 0; i < 16; ++i)
    {
        rgba.insert(rgba.end(), {200, 100, 50, 128});
        greyAlpha.insert(greyAlpha.end(), {200, 128});
    }
    const Case cases[] = {
        {"rgba.png", PNG_COLOR_TYPE_RGBA, rgba, {}, {}},
        {"palette.png", PNG_COLOR_TYPE_PALETTE, indices, {0, 0, 0, 200, 100, 50}, {255, 128}},
        {"greyalpha.png", PNG_COLOR_TYPE_GRAY_ALPHA, greyAlpha, {}, {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        WritePNG(m_dir / c.name, 4, 4, c.colourType, c.samples, c.palette, c.trns);
        Material* material = Material::Create(c.name);
        ASSERT_NE(material->GetTexture(0), nullptr);
        EXPECT_TRUE(material->GetTexture(0)->HasAlpha());
        EXPECT_EQ(material->GetBlendMode(), Material::c_iBlendPremultiplied);
        DrawFullScreen(material);
        // Premultiplied over black gives colour * alpha; a straight texel
        // would come out twice as bright.
        const bool grey = c.colourType == PNG_COLOR_TYPE_GRAY_ALPHA;
        const Pixel p = m_gl.LandscapePixel(240, 160);
        EXPECT_NEAR(p.r, 100, 2);
        EXPECT_NEAR(p.g, grey ? 100 : 50, 2);
        EXPECT_NEAR(p.b, grey ? 100 : 25, 2);
        material->Release();
    }
}

TEST_F(TextureTest, PaletteWithoutTransparencyIsOpaque)
{
    std::vector<uint8_t> indices(16, 0);
    WritePNG(m_dir / "pal.png", 4, 4, PNG_COLOR_TYPE_PALETTE, indices, {0, 255, 0});
    Material* material = Material::Create("pal.png");
    ASSERT_NE(material->GetTexture(0), nullptr);
    EXPECT_FALSE(material->GetTexture(0)->HasAlpha());
    EXPECT_EQ(material->GetBlendMode(), Material::c_iBlendOpaque);
    DrawFullScreen(material);
    const Pixel p = m_gl.LandscapePixel(10, 10);
    EXPECT_EQ(p.r, 0);
    EXPECT_EQ(p.g, 255);
    EXPECT_EQ(p.b, 0);
    material->Release();
}

TEST_F(TextureTest, OnlyPowerOfTwoSidesMakeTextures)
{
    struct Case
    {
        int width, height;
        bool loads;
    } cases[] = {{300, 256, false}, {256, 300, false}, {256, 256, true},  {1, 1, true},
                 {3, 4, false},     {512, 16, true},   {0x80, 0x40, true}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        const std::string name = std::to_string(c.width) + "x" + std::to_string(c.height) + ".png";
        WritePNG(m_dir / name, c.width, c.height, PNG_COLOR_TYPE_RGB,
                 std::vector<uint8_t>(static_cast<size_t>(c.width) * c.height * 3, 90));
        Texture* texture = m_gl.GetRenderer().LoadTexture(name.c_str());
        EXPECT_EQ(texture != nullptr, c.loads);
        if (texture)
        {
            EXPECT_EQ(texture->GetWidth(), c.width);
            EXPECT_EQ(texture->GetHeight(), c.height);
            texture->Release();
        }
    }
    EXPECT_EQ(Manager().GetTextureCount(), 0);
}

TEST_F(TextureTest, CacheSharesOneTexturePerPathAndReleasesIt)
{
    zindle_test::WriteSolidPNG(m_dir / "lava.png", 8, 8, 10, 20, 30);
    Material* first = Material::Create("data/lava.png");
    Material* second = Material::Create("data/lava.png");
    ASSERT_NE(first->GetTexture(0), nullptr);
    EXPECT_EQ(first->GetTexture(0), second->GetTexture(0));
    EXPECT_EQ(first->GetTexture(0)->GetRefCount(), 2);
    EXPECT_EQ(Manager().GetTextureCount(), 1);

    // The same image under another name is another cache entry.
    Texture* bare = m_gl.GetRenderer().LoadTexture("lava.png");
    ASSERT_NE(bare, nullptr);
    EXPECT_NE(bare, first->GetTexture(0));
    EXPECT_EQ(Manager().GetTextureCount(), 2);
    bare->Release();
    EXPECT_EQ(Manager().GetTextureCount(), 1);

    first->Release();
    EXPECT_EQ(Manager().GetTextureCount(), 1);
    second->Release();
    EXPECT_EQ(Manager().GetTextureCount(), 0);
    EXPECT_EQ(Manager().GetFirstTexture(), nullptr);

    // Loading it again after the last release reads the file afresh.
    std::filesystem::remove(m_dir / "lava.png");
    EXPECT_EQ(m_gl.GetRenderer().LoadTexture("data/lava.png"), nullptr);
}

TEST_F(TextureTest, MaterialTextureSlots)
{
    zindle_test::WriteSolidPNG(m_dir / "a.png", 2, 2, 1, 2, 3);
    zindle_test::WriteSolidPNG(m_dir / "b.png", 2, 2, 4, 5, 6);
    Material* material = Material::Create("a.png");
    Texture* a = material->GetTexture(0);
    ASSERT_NE(a, nullptr);

    // Other slots keep nothing and leave slot 0 alone.
    material->SetTexture(1, "b.png");
    EXPECT_EQ(material->GetTexture(0), a);
    EXPECT_EQ(material->GetTexture(1), nullptr);
    EXPECT_EQ(Manager().GetTextureCount(), 1);

    // A missing file leaves the material as it was.
    material->SetTexture(0, "missing.png");
    EXPECT_EQ(material->GetTexture(0), a);

    material->SetTexture(0, "b.png");
    EXPECT_NE(material->GetTexture(0), a);
    EXPECT_EQ(Manager().GetTextureCount(), 1) << "a.png released with its last reference";

    Texture* b = material->GetTexture(0);
    b->AddRef();
    material->SetTexture(0, static_cast<Texture*>(nullptr));
    EXPECT_EQ(b->GetRefCount(), 1);
    material->SetTexture(0, b);
    EXPECT_EQ(b->GetRefCount(), 2);
    b->Release();
    material->Release();
    EXPECT_EQ(Manager().GetTextureCount(), 0);

    Material* untextured = Material::Create("missing.png");
    EXPECT_EQ(untextured->GetTexture(0), nullptr);
    EXPECT_EQ(untextured->GetBlendMode(), Material::c_iBlendOpaque);
    untextured->Release();
}

TEST_F(TextureTest, BrokenImagesGiveNoTexture)
{
    std::vector<uint8_t> good;
    {
        WritePNG(m_dir / "good.png", 16, 16, PNG_COLOR_TYPE_RGB,
                 std::vector<uint8_t>(16 * 16 * 3, 7));
        good = ReadBinary(m_dir / "good.png");
    }
    struct Case
    {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> flipped = good;
    flipped[flipped.size() / 2] ^= 0xFF;
    const Case cases[] = {
        {"empty.png", {}},
        {"signature.png", std::vector<uint8_t>(good.begin(), good.begin() + 8)},
        {"header.png", std::vector<uint8_t>(good.begin(), good.begin() + 30)},
        {"half.png", std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2)},
        {"noend.png", std::vector<uint8_t>(good.begin(), good.end() - 12)},
        {"flipped.png", flipped},
        {"text.png", {'h', 'e', 'l', 'l', 'o'}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        WriteBytes(c.name, c.bytes);
        EXPECT_EQ(m_gl.GetRenderer().LoadTexture(c.name), nullptr);
    }
    EXPECT_EQ(m_gl.GetRenderer().LoadTexture("nowhere.png"), nullptr);
    EXPECT_EQ(Manager().GetTextureCount(), 0);
}

TEST_F(TextureTest, APVLengthGivesSideAndDepth)
{
    struct Case
    {
        size_t length;
        int side, bits; // side 0: rejected
        bool texture;   // false: too short for a whole PVRTC level (32 bytes at least)
    } cases[] = {{131072, 512, 4, true},  {65536, 512, 2, true}, {1000, 0, 0, false},
                 {524288, 1024, 4, true}, {32, 8, 4, true},      {64, 16, 2, true},
                 {8, 4, 4, false},        {4, 4, 2, false},      {0, 0, 0, false},
                 {2097152, 0, 0, false},  {2, 2, 4, false},      {1, 2, 2, false},
                 {3, 0, 0, false}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.length << " bytes");
        int side = 0, bits = 0;
        EXPECT_EQ(TextureManager_GL::MatchAPVLength(c.length, side, bits), c.side != 0);
        EXPECT_EQ(side, c.side);
        EXPECT_EQ(bits, c.bits);

        const std::string name = std::to_string(c.length) + "bytes.apv";
        WriteBytes(name, std::vector<uint8_t>(c.length, 0x55));
        Texture* texture = m_gl.GetRenderer().LoadTexture(name.c_str());
        ASSERT_EQ(texture != nullptr, c.texture);
        if (!texture)
            continue;
        EXPECT_EQ(texture->GetWidth(), c.side);
        EXPECT_EQ(texture->GetHeight(), c.side);
        EXPECT_FALSE(texture->HasAlpha());
        texture->Release();
    }
}

TEST_F(TextureTest, PVRFilesFromTheTestData)
{
    const std::filesystem::path dir = zindle_test::TestDataDir() / "pvr";
    if (zindle_test::TestDataDir().empty() || !std::filesystem::is_directory(dir))
        GTEST_SKIP() << "no shared test data";
    struct Case
    {
        const char* name;
        int width, height;
        uint8_t format;
        bool alpha;
        unsigned int internalFormat;
    } cases[] = {
        {"test_image_pvrtc4bpp.pvr", 128, 128, 0x19, true, GL_COMPRESSED_RGBA_PVRTC_4BPPV1_IMG},
        {"test_image.pvr", 128, 128, 0x19, true, GL_COMPRESSED_RGBA_PVRTC_4BPPV1_IMG},
        {"test_image_pvrtc2bpp.pvr", 128, 128, 0x18, true, GL_COMPRESSED_RGBA_PVRTC_2BPPV1_IMG},
        {"pvrtc_image.pvr", 64, 64, 0x19, true, GL_COMPRESSED_RGBA_PVRTC_4BPPV1_IMG},
        {"rock_mipmap_4.pvr", 256, 256, 0x19, false, GL_COMPRESSED_RGB_PVRTC_4BPPV1_IMG},
        {"test_image_rgba8888.pvr", 128, 128, 0x12, true, 0},
        {"test_image_rgba4444.pvr", 128, 128, 0x10, true, 0},
        {"test_image_rgb565.pvr", 128, 128, 0x13, false, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> bytes = ReadBinary(dir / c.name);
        ASSERT_FALSE(bytes.empty());
        WriteBytes(c.name, bytes);

        PvrHeader header;
        ASSERT_TRUE(PvrHeader::Read(bytes.data(), bytes.size(), header));
        EXPECT_TRUE(header.Level0Fits(bytes.size()));
        EXPECT_EQ(header.headerSize, 52u);
        EXPECT_EQ(header.headerSize + header.dataSize, bytes.size());
        EXPECT_EQ(header.tag, 0x21525650u);
        EXPECT_EQ(header.PixelFormat(), c.format);
        // On a GL that takes PVRTC, the compressed formats go up as they stand.
        PvrTextureImage image;
        ASSERT_TRUE(image.ReadPvr(bytes.data(), bytes.size(), true));
        EXPECT_EQ(image.GetUpload() == PvrTextureImage::Upload::Compressed
                      ? image.GetInternalFormat()
                      : 0u,
                  c.internalFormat);

        // Every pixel format byte still makes a texture object.
        Texture* texture = m_gl.GetRenderer().LoadTexture(c.name);
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(texture->GetWidth(), c.width);
        EXPECT_EQ(texture->GetHeight(), c.height);
        EXPECT_EQ(texture->HasAlpha(), c.alpha);
        EXPECT_NE(static_cast<Texture_GL*>(texture)->GetTexture(), 0u);
        texture->Release();
    }
}

TEST_F(TextureTest, PVRWhoseDataRunsPastTheFileGivesNoTexture)
{
    // A 16 x 16 PVRTC 4-bit file: 52-byte header and 128 bytes of data.
    std::vector<uint8_t> file(52 + 128, 0);
    auto put = [&](size_t offset, uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            file[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    put(0, 52);
    put(4, 16);
    put(8, 16);
    put(16, 0x19);
    put(20, 128);
    put(44, 0x21525650);
    WriteBytes("ok.pvr", file);
    Texture* ok = m_gl.GetRenderer().LoadTexture("ok.pvr");
    ASSERT_NE(ok, nullptr);
    EXPECT_FALSE(ok->HasAlpha());
    ok->Release();

    struct Case
    {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> bigData = file, farHeader = file, huge = file;
    bigData[20] = 129; // one byte more data than the file holds
    farHeader[0] = 53;
    huge[0] = huge[1] = huge[2] = huge[3] = 0xFF; // the sum overflows 32 bits
    const Case cases[] = {
        {"truncated.pvr", std::vector<uint8_t>(file.begin(), file.end() - 1)},
        {"header.pvr", std::vector<uint8_t>(file.begin(), file.begin() + 51)},
        {"empty.pvr", {}},
        {"data.pvr", bigData},
        {"offset.pvr", farHeader},
        {"huge.pvr", huge},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        WriteBytes(c.name, c.bytes);
        EXPECT_EQ(m_gl.GetRenderer().LoadTexture(c.name), nullptr);
    }
    EXPECT_EQ(m_gl.GetRenderer().LoadTexture("missing.pvr"), nullptr);
    EXPECT_EQ(m_gl.GetRenderer().LoadTexture("missing.apv"), nullptr);
}

TEST_F(TextureTest, LoaderIsChosenByPvrAnywhereInThePath)
{
    // A valid PNG named as if it were a PVR goes to the PVR loader, which
    // refuses its header.
    zindle_test::WriteSolidPNG(m_dir / "x.pvr.png", 4, 4, 1, 2, 3);
    zindle_test::WriteSolidPNG(m_dir / "x.apv.png", 4, 4, 1, 2, 3);
    zindle_test::WriteSolidPNG(m_dir / "x.png", 4, 4, 1, 2, 3);
    EXPECT_EQ(m_gl.GetRenderer().LoadTexture("x.pvr.png"), nullptr);
    int side = 0, bits = 0;
    if (!TextureManager_GL::MatchAPVLength(ReadBinary(m_dir / "x.apv.png").size(), side, bits))
    {
        EXPECT_EQ(m_gl.GetRenderer().LoadTexture("x.apv.png"), nullptr);
    }
    Texture* png = m_gl.GetRenderer().LoadTexture("x.png");
    EXPECT_NE(png, nullptr);
    if (png)
        png->Release();
}
