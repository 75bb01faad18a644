// PVR and APV textures loaded through the GL texture manager and drawn through real
// OpenGL ES offscreen, which has no PVRTC of its own: the pictures must show.
#include "platform/Renderer_GL_SDL.h"
#include "render/Camera_2D.h"
#include "render/Material.h"
#include "render/PvrHeader.h"
#include "render/PvrTextureImage.h"
#include "render/Texture.h"
#include "render/TextureManager.h"
#include "render/TextureManager_GL.h"
#include "support/GLTestContext.h"

#include "PvrTestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>

using zindle_test::GLTestContext;
using zindle_test::Node_TestQuad;

namespace
{
constexpr int c_iScreenWidth = 480;

class PvrTextureDraw : public testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_gl.IsValid()) << "no offscreen OpenGL ES 1.1";
        if (!pvr_test::HavePvrFiles())
            GTEST_SKIP() << "no shared PVR test files";
        ASSERT_FALSE(TextureManager_GL::GLDecodesPVRTC())
            << "this GL decodes PVRTC itself: these tests are for the software path";
    }

    void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::ofstream out(m_dir / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    void CopyPvrFile(const std::string& name) { WriteBytes(name, pvr_test::ReadPvrFile(name)); }

    int TextureCount() { return m_gl.GetRenderer().GetTextureManager()->GetTextureCount(); }

    // Draws the material texel for pixel (nearest filtering) at the top-left of the
    // screen, scaled by scale, over black, and returns the width x height texels as
    // they show on screen (RGBA, top row first).
    std::vector<uint8_t> Draw(Material* material, int width, int height, int scale = 1)
    {
        material->SetFilter(0, 0);
        Camera_2D camera;
        Node* quad =
            new Node_TestQuad(0.0f, 0.0f, float(width * scale), float(height * scale), material);
        Renderer_GL_SDL& renderer = m_gl.GetRenderer();
        renderer.BeginFrame(true, 0);
        renderer.RenderTree(quad, &camera);
        renderer.EndFrame(true);
        quad->Release();

        const std::vector<uint8_t> screen = m_gl.ReadLandscape();
        std::vector<uint8_t> picture(size_t(width) * height * 4);
        for (int y = 0; y < height; ++y)
        {
            for (int x = 0; x < width; ++x)
            {
                // The centre of the texel's square on screen.
                const size_t sx = size_t(x * scale + scale / 2);
                const size_t sy = size_t(y * scale + scale / 2);
                const uint8_t* pixel = &screen[(sy * c_iScreenWidth + sx) * 4];
                std::memcpy(&picture[(size_t(y) * width + x) * 4], pixel, 3);
                picture[(size_t(y) * width + x) * 4 + 3] = 255;
            }
        }
        return picture;
    }

    // Loads path as a material and draws it 1:1; empty when no texture was made.
    std::vector<uint8_t> LoadAndDraw(const std::string& path, int side, bool alpha)
    {
        Material* material = Material::Create(path.c_str());
        Texture* texture = material->GetTexture(0);
        std::vector<uint8_t> picture;
        EXPECT_NE(texture, nullptr);
        if (texture)
        {
            EXPECT_EQ(texture->GetWidth(), side);
            EXPECT_EQ(texture->GetHeight(), side);
            EXPECT_EQ(texture->HasAlpha(), alpha);
            EXPECT_EQ(material->GetBlendMode(),
                      alpha ? Material::c_iBlendPremultiplied : Material::c_iBlendOpaque);
            picture = Draw(material, side, side);
        }
        material->Release();
        return picture;
    }

    zindle_test::TempDir m_dir;
    GLTestContext m_gl{m_dir.Path()};
};

// The original picture as it shows over black: colour times alpha.
std::vector<uint8_t> OverBlack(std::vector<uint8_t> rgba)
{
    for (size_t i = 0; i < rgba.size(); i += 4)
    {
        for (size_t c = 0; c < 3; ++c)
            rgba[i + c] = uint8_t((rgba[i + c] * rgba[i + 3] + 127) / 255);
        rgba[i + 3] = 255;
    }
    return rgba;
}

// The largest difference of any colour channel over the texels where include(i) holds.
template <typename Include>
int LargestDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, Include include)
{
    int largest = 0;
    for (size_t i = 0; 4 * i + 3 < a.size() && 4 * i + 3 < b.size(); ++i)
        if (include(i))
            for (size_t c = 0; c < 3; ++c)
                largest = std::max(largest, std::abs(int(a[4 * i + c]) - int(b[4 * i + c])));
    return largest;
}

// The first level as this GL gets it: decoded and premultiplied, or uncompressed.
std::vector<uint8_t> DecodedLevel(const std::vector<uint8_t>& file)
{
    PvrTextureImage image;
    if (!image.ReadPvr(file.data(), file.size(), false))
        return {};
    return std::vector<uint8_t>(image.GetData(), image.GetData() + image.GetSize());
}

// Standard deviation of the red channel: a picture, not a flat quad.
double RedSpread(const std::vector<uint8_t>& rgba)
{
    double sum = 0.0, squares = 0.0;
    const size_t count = rgba.size() / 4;
    for (size_t i = 0; i < count; ++i)
    {
        sum += rgba[4 * i];
        squares += double(rgba[4 * i]) * rgba[4 * i];
    }
    const double mean = sum / double(count);
    return std::sqrt(std::max(0.0, squares / double(count) - mean * mean));
}
} // namespace

TEST_F(PvrTextureDraw, RealFilesDrawTheOriginalPicture)
{
    const auto original = pvr_test::ReferencePicture();
    ASSERT_EQ(original.size(), 128u * 128u * 4u);
    const auto expected = OverBlack(original);
    struct Case
    {
        const char* name;
        bool alpha;
        double minPsnr; // dB where the original is opaque
    };
    const Case cases[] = {
        {"test_image_pvrtc4bpp.pvr", true, 26.0}, {"test_image.pvr", true, 24.8},
        {"test_image_pvrtc2bpp.pvr", true, 21.0}, {"test_image_rgba8888.pvr", true, 60.0},
        {"test_image_rgba4444.pvr", true, 21.0},  {"test_image_rgb565.pvr", false, 39.0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CopyPvrFile(c.name);
        const auto drawn = LoadAndDraw(c.name, 128, c.alpha);
        ASSERT_FALSE(drawn.empty());
        const double psnr = pvr_test::PsnrWhereOpaque(original, drawn);
        std::cout << c.name << " drawn: " << psnr << " dB where the original is opaque\n";
        EXPECT_GT(psnr, c.minPsnr);

        // Premultiplied colour lets the transparent holes show the black behind them,
        // though the files keep colour there.
        if (c.alpha)
        {
            const auto holes = [&](size_t i) { return original[4 * i + 3] == 0; };
            size_t dark = 0, count = 0;
            for (size_t i = 0; i < 128 * 128; ++i)
            {
                if (!holes(i))
                    continue;
                ++count;
                dark += drawn[4 * i] < 40 && drawn[4 * i + 1] < 40 && drawn[4 * i + 2] < 40;
            }
            EXPECT_GT(double(dark) / double(count), 0.9);
        }
        // The GL shows exactly the (premultiplied) texels handed to it.
        const auto file = pvr_test::ReadPvrFile(c.name);
        const auto level = DecodedLevel(file);
        if (level.size() == drawn.size())
        {
            EXPECT_LE(LargestDifference(drawn, level, [](size_t) { return true; }), 1);
        }
    }
}

TEST_F(PvrTextureDraw, MipmappedFilesDrawTheirFirstLevel)
{
    struct Case
    {
        const char* name;
        int side;
        bool alpha;
    };
    for (const Case& c : {Case{"rock_mipmap_4.pvr", 256, false}, Case{"pvrtc_image.pvr", 64, true}})
    {
        SCOPED_TRACE(c.name);
        CopyPvrFile(c.name);
        const auto drawn = LoadAndDraw(c.name, c.side, c.alpha);
        ASSERT_FALSE(drawn.empty());
        const auto level = DecodedLevel(pvr_test::ReadPvrFile(c.name));
        ASSERT_EQ(level.size(), drawn.size());
        EXPECT_LE(LargestDifference(drawn, level, [](size_t) { return true; }), 1);
        EXPECT_GT(RedSpread(drawn), 10.0);
    }
}

TEST_F(PvrTextureDraw, ApvFilesMadeFromPvrLevelZeroDrawTheSamePicture)
{
    for (const char* name : {"test_image_pvrtc4bpp.pvr", "test_image_pvrtc2bpp.pvr",
                             "rock_mipmap_4.pvr", "pvrtc_image.pvr"})
    {
        SCOPED_TRACE(name);
        const auto file = pvr_test::ReadPvrFile(name);
        PvrHeader header;
        ASSERT_TRUE(PvrHeader::Read(file.data(), file.size(), header));
        const auto begin = file.begin() + header.headerSize;
        std::string apvName = name;
        apvName.replace(apvName.find(".pvr"), 4, ".apv");
        WriteBytes(apvName, std::vector<uint8_t>(begin, begin + ptrdiff_t(header.Level0Size())));
        CopyPvrFile(name);

        const int side = int(header.width);
        const auto pvr = LoadAndDraw(name, side, header.HasAlpha());
        // The APV loader takes it by its name and size, without alpha.
        const auto apv = LoadAndDraw(apvName, side, false);
        ASSERT_FALSE(pvr.empty());
        ASSERT_FALSE(apv.empty());

        // Where the PVR is opaque, the two show the same texels.
        const auto level = DecodedLevel(file);
        size_t opaque = 0;
        const auto isOpaque = [&](size_t i) { return level[4 * i + 3] == 255; };
        for (size_t i = 0; i < level.size() / 4; ++i)
            opaque += isOpaque(i);
        EXPECT_GT(opaque, level.size() / 8);
        EXPECT_LE(LargestDifference(pvr, apv, isOpaque), 1);
        EXPECT_GT(RedSpread(apv), 10.0);
    }
}

TEST_F(PvrTextureDraw, BrokenFilesMakeNoTexture)
{
    const auto good = pvr_test::ReadPvrFile("test_image_pvrtc4bpp.pvr");
    auto dataPastEnd = good;
    dataPastEnd[20] = 0x01; // data size 8193
    auto notPowerOfTwo = good;
    notPowerOfTwo[8] = 96;
    auto shortDataSize = good;
    shortDataSize[21] = 0x10; // data size 4096, half the level
    const auto v3 = pvr_test::ReadPvrFile("test_image_pvrtc4bpp_v3.pvr");
    const auto mipmapped = pvr_test::ReadPvrFile("pvrtc_image.pvr");
    struct Case
    {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"v3.pvr", v3},
        {"cut.pvr", std::vector<uint8_t>(good.begin(), good.end() - 1)},
        {"header.pvr", std::vector<uint8_t>(good.begin(), good.begin() + 52)},
        {"short.pvr", std::vector<uint8_t>(good.begin(), good.begin() + 40)},
        {"cutmips.pvr", std::vector<uint8_t>(mipmapped.begin(), mipmapped.end() - 16)},
        {"datapastend.pvr", dataPastEnd},
        {"npot.pvr", notPowerOfTwo},
        {"shortdata.pvr", shortDataSize},
        {"tiny.apv", std::vector<uint8_t>(8, 0x77)},
        {"odd.apv", std::vector<uint8_t>(good.begin(), good.begin() + 8000)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        WriteBytes(c.name, c.bytes);
        Material* material = Material::Create(c.name);
        EXPECT_EQ(material->GetTexture(0), nullptr);
        EXPECT_EQ(material->GetBlendMode(), Material::c_iBlendOpaque);
        material->Release();
        EXPECT_EQ(TextureCount(), 0);
    }
}

TEST_F(PvrTextureDraw, UnknownPixelFormatKeepsAnEmptyTexture)
{
    auto bytes = pvr_test::ReadPvrFile("test_image_rgba8888.pvr");
    bytes[16] = 0x11; // a format this program does not know
    WriteBytes("unknown.pvr", bytes);
    Material* material = Material::Create("unknown.pvr");
    Texture* texture = material->GetTexture(0);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetWidth(), 128);
    EXPECT_TRUE(texture->HasAlpha());
    material->Release();
    EXPECT_EQ(TextureCount(), 0);
}

TEST_F(PvrTextureDraw, NarrowSixteenBitTexturesKeepTheirRows)
{
    // 1 x 4 texels of two bytes each: rows are not 4-byte aligned.
    struct Case
    {
        const char* name;
        uint8_t format;
        uint16_t texels[4];
        int expected[4][3];
    };
    const Case cases[] = {
        {"narrow565.pvr",
         PvrHeader::c_iFormatRgb565,
         {0xF800, 0x07E0, 0x001F, 0xFFFF},
         {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}}},
        {"narrow4444.pvr",
         PvrHeader::c_iFormatRgba4444,
         {0xF00F, 0x0F0F, 0x00FF, 0xFFF8},
         {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {136, 136, 136}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> file(PvrHeader::c_iSize + 8, 0);
        const uint32_t fields[13] = {52,
                                     4,
                                     1,
                                     0,
                                     c.format,
                                     8,
                                     16,
                                     0,
                                     0,
                                     0,
                                     c.format == PvrHeader::c_iFormatRgba4444 ? 0xFu : 0u,
                                     PvrHeader::c_iTag,
                                     1};
        for (size_t i = 0; i < 13; ++i)
            for (size_t b = 0; b < 4; ++b)
                file[4 * i + b] = uint8_t(fields[i] >> (8 * b));
        for (size_t i = 0; i < 4; ++i)
        {
            file[52 + 2 * i] = uint8_t(c.texels[i] & 0xFF);
            file[52 + 2 * i + 1] = uint8_t(c.texels[i] >> 8);
        }
        WriteBytes(c.name, file);
        Material* material = Material::Create(c.name);
        ASSERT_NE(material->GetTexture(0), nullptr);
        const auto drawn = Draw(material, 1, 4, 40);
        material->Release();
        for (int y = 0; y < 4; ++y)
            for (int ch = 0; ch < 3; ++ch)
                EXPECT_NEAR(drawn[4 * y + ch], c.expected[y][ch], 1) << "row " << y;
    }
}
