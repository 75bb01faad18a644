// PVR and APV textures, which the program loads though it ships none: the real
// test files decoded against their uncompressed original, headers read and
// broken copies refused, and the pictures drawn through GL (which has no PVRTC
// of its own here, so they are decoded in software).
#include "RenderTestSupport.h"

#include "render/PvrHeader.h"
#include "render/PvrTextureImage.h"
#include "render/PvrtcDecoder.h"
#include "render/TexelConvert.h"
#include "render/Texture.h"
#include "render/TextureManager_GL.h"

#include <GLES/gl.h>
#include <GLES/glext.h>

#include <cmath>

using namespace zindle_test;
using Upload = PvrTextureImage::Upload;

namespace
{
const char *const c_p4 = "test_image_pvrtc4bpp.pvr", *const c_p2 = "test_image_pvrtc2bpp.pvr";
const char *const c_8888 = "test_image_rgba8888.pvr", *const c_4444 = "test_image_rgba4444.pvr";
const char *const c_565 = "test_image_rgb565.pvr", *const c_small = "pvrtc_image.pvr";
const char* const c_files[] = {c_p4, "test_image.pvr", c_p2, c_small, c_8888, c_4444, c_565};

std::vector<uint8_t> Pvr(const std::string& name)
{
    return ReadBytes(TestDataDir() / "pvr" / name);
}

// The colour of test against reference (both RGBA8888) where reference is
// opaque: the peak signal-to-noise ratio in dB, and the largest difference.
std::pair<double, int> Compare(const std::vector<uint8_t>& reference,
                               const std::vector<uint8_t>& test)
{
    double squares = 0.0;
    size_t samples = 0;
    int largest = 0;
    for (size_t i = 0; i + 3 < reference.size() && i + 3 < test.size(); i += 4)
        for (size_t c = 0; c < 3 && reference[i + 3] == 255; ++c, ++samples)
        {
            const int d = std::abs(int(reference[i + c]) - int(test[i + c]));
            squares += double(d) * d;
            largest = std::max(largest, d);
        }
    return {10.0 * std::log10(65025.0 * double(samples) / std::max(squares, 1e-9)), largest};
}

void Put32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i)
        bytes[offset + i] = uint8_t(value >> (8 * i));
}

// Sixteen-bit texels as RGBA8888.
std::vector<uint8_t> Widened(bool rgb565, const uint8_t* data, size_t count)
{
    std::vector<uint8_t> rgba(count * 4);
    (rgb565 ? TexelConvert::Rgb565ToRgba8888 : TexelConvert::Rgba4444ToRgba8888)(data, count,
                                                                                 rgba.data());
    return rgba;
}
} // namespace

TEST(PvrFiles, EveryFormatDecodesToTheOriginalPictureAndLevelsFillTheData)
{
    const std::vector<uint8_t> file8888 = Pvr(c_8888);
    const std::vector<uint8_t> original(file8888.begin() + PvrHeader::c_iSize, file8888.end());
    ASSERT_EQ(original.size(), 128u * 128u * 4u);
    // Measured: 27.0, 25.3, 22.2, 21.4 and 39.6 dB. Decoding PVRTC words half a
    // block off centre loses 3.5 dB; a wrong bit layout or channel order far more.
    const std::pair<const char*, double> cases[] = {{c_p4, 26.5},  {"test_image.pvr", 24.8},
                                                    {c_p2, 21.7},  {c_4444, 21.0},
                                                    {c_565, 39.0}, {c_small, 0.0}};
    for (const auto& [name, minPsnr] : cases)
    {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> file = Pvr(name);
        PvrHeader header;
        ASSERT_TRUE(PvrHeader::Read(file.data(), file.size(), header));
        EXPECT_EQ(header.headerSize + uint64_t(header.dataSize), file.size());
        const uint8_t* data = file.data() + header.headerSize;
        std::vector<uint8_t> rgba;
        if (!header.IsPvrtc())
            rgba = Widened(header.PixelFormat() == PvrHeader::c_iFormatRgb565, data, 128 * 128);
        // PVRTC: the levels, each half the side of the one before, fill the data.
        const int bits = header.PixelFormat() == PvrHeader::c_iFormatPvrtc2 ? 2 : 4;
        uint64_t offset = 0;
        for (uint32_t level = 0; header.IsPvrtc() && level <= header.mipmapCount; ++level)
        {
            const uint32_t w = std::max(header.width >> level, 1u);
            const uint32_t h = std::max(header.height >> level, 1u);
            const uint64_t size = PvrtcDecoder::LevelSize(w, h, bits);
            std::vector<uint8_t> texels;
            ASSERT_TRUE(PvrtcDecoder::Decode(data + offset, size, w, h, bits, texels));
            EXPECT_EQ(texels.size(), size_t(w) * h * 4);
            if (level == 0)
                rgba = texels;
            offset += size;
        }
        EXPECT_EQ(offset, header.IsPvrtc() ? header.dataSize : 0);
        if (minPsnr == 0.0)
            continue; // no original for this one
        EXPECT_GT(Compare(original, rgba).first, minPsnr) << "dB where the original is opaque";
        // The transparent holes stay transparent and the rest opaque.
        size_t holes = 0, clear = 0, solid = 0, kept = 0;
        for (size_t i = 3; i < original.size(); i += 4)
        {
            holes += original[i] == 0;
            clear += original[i] == 0 && rgba[i] < 64;
            solid += original[i] == 255;
            kept += original[i] == 255 && rgba[i] > 192;
        }
        EXPECT_GT(double(clear) / double(holes), header.HasAlpha() ? 0.9 : -1.0);
        EXPECT_GT(double(kept) / double(solid), 0.9);
    }
}

TEST(PvrFiles, ModulationBlendsColourAToColourBInEighths)
{
    // One word repeated: A red, B blue; texel column x has modulation value x.
    uint32_t modulation = 0;
    for (uint32_t texel = 0; texel < 16; ++texel)
        modulation |= (texel % 4) << (2 * texel);
    const uint32_t colours = 0x8000u | 31u << 10 | (0x8000u | 31u) << 16;
    // Eighths of B: 0, 3, 5, 8; punch-through 0, 4, 4 with no alpha, 8.
    const int expected[2][4][4] = {
        {{255, 0, 0, 255}, {159, 0, 95, 255}, {95, 0, 159, 255}, {0, 0, 255, 255}},
        {{255, 0, 0, 255}, {127, 0, 127, 255}, {127, 0, 127, 0}, {0, 0, 255, 255}}};
    for (const uint32_t punchThrough : {0u, 1u})
    {
        std::vector<uint8_t> data(32), rgba;
        for (size_t word = 0; word < 8; ++word)
            Put32(data, 4 * word, word % 2 ? colours | punchThrough : modulation);
        ASSERT_TRUE(PvrtcDecoder::Decode(data.data(), data.size(), 8, 8, 4, rgba));
        for (int x = 0; x < 8; ++x)
            for (int c = 0; c < 4; ++c)
                EXPECT_EQ(int(rgba[size_t(x) * 4 + c]), expected[punchThrough][x % 4][c])
                    << "punch-through " << punchThrough << " texel " << x << " channel " << c;
    }
}

TEST(PvrFiles, BrokenCopiesAreRefused)
{
    // Copies cut short or with header fields (offset, value) changed.
    const struct
    {
        const char* what;
        const char* file;
        std::vector<std::pair<size_t, uint32_t>> edits;
        long cut = -1; // bytes kept
        bool texture = false;
    } broken[] = {
        // clang-format off
        {"version 3", "test_image_pvrtc4bpp_v3.pvr", {}},
        {"data size past the end", c_p4, {{20, 8193}}},
        {"data smaller than the level", c_p4, {{20, 4096}}},
        {"width doubled", c_p4, {{8, 256}}},
        {"width zero", c_p2, {{8, 0}}},
        {"width not a power of two", c_p4, {{8, 96}}},
        {"height over 16 bits", c_p4, {{4, 1u << 31}}},
        {"half the height", c_4444, {{4, 64}}, -1, true},
        {"unknown format: a texture without an image", c_8888, {{16, 0x8042}}, -1, true},
        {"unknown format, width zero", c_8888, {{16, 0x42}, {8, 0}}},
        {"unknown format, data past the end", c_8888, {{16, 0x42}, {20, 65537}}},
        {"cut to nothing", c_p4, {}, 0},
        {"cut in the header", c_565, {}, 51},
        {"cut in the first level", c_p2, {}, 52 + 4095},
        {"cut in a later level", c_small, {}, 2867},
        // clang-format on
    };
    for (const auto& c : broken)
    {
        std::vector<uint8_t> bytes = Pvr(c.file);
        for (const auto& [offset, value] : c.edits)
            Put32(bytes, offset, value);
        // An exact copy on the heap, so that the address sanitiser sees any read past it.
        const std::vector<uint8_t> file(bytes.begin(),
                                        c.cut < 0 ? bytes.end() : bytes.begin() + c.cut);
        for (const bool gpu : {false, true})
        {
            SCOPED_TRACE(testing::Message()
                         << c.what << ", " << c.file << (gpu ? ", GL PVRTC" : ""));
            PvrTextureImage image;
            ASSERT_EQ(image.ReadPvr(file.data(), file.size(), gpu), c.texture);
            if (!c.texture)
                continue;
            EXPECT_EQ(image.GetWidth(), 128);
            EXPECT_LE(image.GetSize(), file.size() - PvrHeader::c_iSize);
            EXPECT_EQ(image.GetUpload() == Upload::None, c.edits[0].first == 16);
        }
    }
}

TEST(PvrFiles, ApvSideAndRateFollowFromTheLength)
{
    // 4 bits a texel before 2 at each side; shorter than a whole level, or no square: nothing.
    const unsigned int rgb4 = GL_COMPRESSED_RGB_PVRTC_4BPPV1_IMG;
    const unsigned int rgb2 = GL_COMPRESSED_RGB_PVRTC_2BPPV1_IMG;
    const size_t cases[][3] = {// length, side, format
                               {524288, 1024, rgb4}, {65536, 512, rgb2}, {64, 16, rgb2},
                               {32, 8, rgb4},        {16, 0, 0},         {0, 0, 0},
                               {1000, 0, 0},         {131073, 0, 0},     {2097152, 0, 0}};
    for (const auto& [length, side, format] : cases)
    {
        const std::vector<uint8_t> file(length, 0x33);
        for (const bool gpu : {false, true})
        {
            SCOPED_TRACE(testing::Message() << length << " bytes" << (gpu ? ", GL PVRTC" : ""));
            PvrTextureImage image;
            ASSERT_EQ(image.ReadApv(file.data(), file.size(), gpu), side != 0);
            if (side == 0)
                continue;
            EXPECT_EQ(std::pair(size_t(image.GetWidth()), size_t(image.GetHeight())),
                      std::pair(side, side));
            EXPECT_FALSE(image.HasAlpha());
            EXPECT_EQ(image.GetInternalFormat(), gpu ? format : GL_RGBA);
            EXPECT_EQ(image.GetSize(), gpu ? length : side * side * 4);
        }
    }
    // The GL's own PVRTC is used only when its extension list names it whole.
    const std::pair<const char*, bool> lists[] = {
        {nullptr, false},
        {"GL_OES_rgb8_rgba8 GL_IMG_texture_compression_pvrtc GL_OES_depth24", true},
        {"XGL_IMG_texture_compression_pvrtc GL_IMG_texture_compression_pvrtc2", false},
        {"GL_IMG_texture_compression_pvrtc2 GL_IMG_texture_compression_pvrtc", true}};
    for (const auto& [extensions, pvrtc] : lists)
        EXPECT_EQ(PvrTextureImage::ListsPvrtc(extensions), pvrtc) << (extensions ? extensions : "");
}

namespace
{
class PvrTextureDraw : public RenderTest
{
  protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        ASSERT_FALSE(TextureManager_GL::GLDecodesPVRTC()) << "these tests are for software PVRTC";
    }

    // Writes the file, loads it as a material and draws its side x side texels
    // 1:1 at the top left over black; empty when no texture was made.
    std::vector<uint8_t> LoadAndDraw(const std::string& name, const std::vector<uint8_t>& file,
                                     int side, bool alpha)
    {
        WriteBytes(name, file);
        Material* material = Material::Create(name.c_str());
        std::vector<uint8_t> picture;
        if (Texture* texture = material->GetTexture(0))
        {
            EXPECT_EQ(texture->GetWidth(), side);
            EXPECT_EQ(texture->HasAlpha(), alpha);
            EXPECT_EQ(material->GetBlendMode(),
                      alpha ? Material::c_iBlendPremultiplied : Material::c_iBlendOpaque);
            const std::vector<uint8_t> frame = DrawQuad(material, 0, float(side), float(side));
            for (int y = 0; y < side; ++y)
                picture.insert(picture.end(), frame.begin() + y * 480 * 4,
                               frame.begin() + (y * 480 + side) * 4);
        }
        material->Release();
        return picture;
    }
};

} // namespace

TEST_F(PvrTextureDraw, FilesAndApvCopiesLoadAndDrawTheirTexels)
{
    for (const char* name : c_files)
    {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> file = Pvr(name);
        PvrHeader header;
        ASSERT_TRUE(PvrHeader::Read(file.data(), file.size(), header));
        const int side = name == c_small ? 64 : 128;
        PvrTextureImage image;
        // Where GL decodes PVRTC, the first level goes up as it stands in the file.
        ASSERT_TRUE(image.ReadPvr(file.data(), file.size(), true));
        EXPECT_EQ(image.GetUpload(), header.IsPvrtc() ? Upload::Compressed : Upload::Uncompressed);
        const int bits = header.PixelFormat() == PvrHeader::c_iFormatPvrtc2 ? 2 : 4;
        if (header.IsPvrtc())
        {
            EXPECT_EQ(image.GetInternalFormat(), bits == 2 ? GL_COMPRESSED_RGBA_PVRTC_2BPPV1_IMG
                                                           : GL_COMPRESSED_RGBA_PVRTC_4BPPV1_IMG);
            EXPECT_EQ(image.GetData(), file.data() + PvrHeader::c_iSize);
            EXPECT_EQ(image.GetSize(), size_t(side * side * bits / 8));
        }
        ASSERT_TRUE(image.ReadPvr(file.data(), file.size(), false));
        EXPECT_TRUE(image.GetWidth() == side && image.GetHeight() == side);
        EXPECT_EQ(image.HasAlpha(), name != c_565);
        EXPECT_EQ(image.GetUpload(), Upload::Uncompressed);
        std::vector<uint8_t> texels(image.GetData(), image.GetData() + image.GetSize());
        if (image.GetType() != GL_UNSIGNED_BYTE)
            texels = Widened(image.GetType() == GL_UNSIGNED_SHORT_5_6_5, image.GetData(),
                             size_t(side) * side);
        // Premultiplied where the texture has alpha, though the files keep colour
        // in the transparent holes; opaque otherwise.
        size_t holes = 0;
        for (size_t i = 0; i < texels.size(); i += 4)
        {
            ASSERT_TRUE(image.HasAlpha() || texels[i + 3] == 255) << i / 4;
            for (size_t c = 0; c < 3; ++c)
                ASSERT_LE(texels[i + c], texels[i + 3]) << i / 4;
            holes += texels[i + 3] == 0;
        }
        EXPECT_TRUE(side != 128 || !image.HasAlpha() || holes > 1000) << "the picture's holes";

        std::vector<uint8_t> opaque = texels;
        for (size_t i = 3; i < opaque.size(); i += 4)
            opaque[i] = 255;
        EXPECT_LE(Compare(opaque, LoadAndDraw(name, file, side, image.HasAlpha())).second, 1);
        if (!header.IsPvrtc())
            continue;
        // The first level alone as an APV file: the same picture where it is opaque.
        const std::vector<uint8_t> level(file.begin() + 52,
                                         file.begin() + 52 + long(header.Level0Size()));
        EXPECT_LE(Compare(texels, LoadAndDraw("level.apv", level, side, false)).second, 1);
    }
    EXPECT_EQ(TextureCount(), 0);

    // Broken files make no texture; an unknown pixel format an empty one.
    const std::vector<uint8_t> good = Pvr(c_p4);
    EXPECT_TRUE(LoadAndDraw("cut.pvr", {good.begin(), good.end() - 1}, 0, false).empty());
    EXPECT_TRUE(LoadAndDraw("odd.apv", {good.begin(), good.begin() + 8000}, 0, false).empty());
    EXPECT_EQ(TextureCount(), 0);
    std::vector<uint8_t> unknown = Pvr(c_8888);
    unknown[16] = 0x11;
    EXPECT_EQ(LoadAndDraw("unknown.pvr", unknown, 128, true).size(), 128u * 128u * 4u);
    EXPECT_EQ(TextureCount(), 0);
}

TEST_F(PvrTextureDraw, NarrowSixteenBitTexturesKeepTheirRows)
{
    // 1 x 4 texels of two bytes each: the rows are not 4-byte aligned.
    using Texels = std::array<uint32_t, 4>;
    // clang-format off
    const std::tuple<uint8_t, Texels, Texels> cases[] = { // RGB565, then RGBA4444
        {0x13, {0xF800, 0x07E0, 0x001F, 0xFFFF}, {0xFF0000, 0xFF00, 0xFF, 0xFFFFFF}},
        {0x10, {0xF00F, 0x0F0F, 0x00FF, 0xFFF8}, {0xFF0000, 0xFF00, 0xFF, 0x888888}}};
    // clang-format on
    for (const auto& [format, texels, expected] : cases)
    {
        std::vector<uint8_t> file(PvrHeader::c_iSize + 8, 0);
        const uint32_t alpha = format == PvrHeader::c_iFormatRgba4444 ? 15 : 0;
        // clang-format off
        const uint32_t fields[] = {52, 4, 1, 0, format, 8, 16, 0, 0, 0, alpha, PvrHeader::c_iTag, 1,
                                   texels[0] | texels[1] << 16, texels[2] | texels[3] << 16};
        // clang-format on
        for (size_t i = 0; i < std::size(fields); ++i)
            Put32(file, 4 * i, fields[i]);
        WriteBytes("narrow.pvr", file);
        Material* material = Material::Create("narrow.pvr");
        ASSERT_NE(material->GetTexture(0), nullptr);
        const std::vector<uint8_t> frame = DrawQuad(material, 0, 40.0f, 160.0f);
        material->Release();
        for (size_t y = 0; y < 4; ++y)
        {
            const Pixel p = At(frame, 20, 40 * int(y) + 20);
            EXPECT_TRUE(Near(p, expected[y] >> 16, expected[y] >> 8 & 255, expected[y] & 255, 1))
                << int(format) << " row " << y << ": " << p.r << ", " << p.g << ", " << p.b;
        }
    }
}
