// PVR and APV textures, which the program loads though it ships none: broken
// headers refused, and the real test files decoded (in software: GL has no PVRTC
// here) to their uncompressed original and drawn as decoded.
#include "RenderTestSupport.h"

#include "formats/PvrHeader.h"
#include "formats/TexelConvert.h"
#include "render/PvrTextureImage.h"
#include "render/Texture.h"
#include "render/TextureManager_GL.h"

#include <GLES/gl.h>
#include <GLES/glext.h>

#include <cmath>
#include <cstring>

using namespace zindle_test;
using Upload = PvrTextureImage::Upload;

namespace
{
const char *const c_p4 = "test_image_pvrtc4bpp.pvr", *const c_p2 = "test_image_pvrtc2bpp.pvr";
const char *const c_8888 = "test_image_rgba8888.pvr", *const c_4444 = "test_image_rgba4444.pvr";
const char *const c_565 = "test_image_rgb565.pvr", *const c_small = "pvrtc_image.pvr";

std::vector<uint8_t> Pvr(const std::string& name)
{
    return ReadBytes(TestDataDir() / "pvr" / name);
}

// Test against reference (both RGBA8888) where reference is opaque: the peak
// signal-to-noise ratio in dB, and the largest difference.
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
    std::memcpy(&bytes[offset], &value, 4); // little-endian, as the files are
}
} // namespace

TEST(PvrFiles, BrokenHeadersAndCopiesAreRefusedAndApvSidesFollowFromTheLength)
{
    // Copies cut short (to `cut` bytes) or with header fields (offset, value) changed;
    // only the two marked make a texture.
    const struct
    {
        const char* what;
        const char* file;
        std::vector<std::pair<size_t, uint32_t>> edits;
        long cut = -1;
        bool texture = false;
    } broken[] = {
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
            SCOPED_TRACE(testing::Message() << c.what << ", " << c.file << (gpu ? ", GL" : ""));
            PvrTextureImage image;
            ASSERT_EQ(image.ReadPvr(file.data(), file.size(), gpu), c.texture);
            // What is made: 128 texels wide, no more than the data, no upload for an unknown
            // format.
            EXPECT_TRUE(!c.texture ||
                        (image.GetWidth() == 128 &&
                         image.GetSize() <= file.size() - PvrHeader::c_iSize &&
                         (image.GetUpload() == Upload::None) == (c.edits[0].first == 16)));
        }
    }
    // APV: 4 bits a texel before 2 at each side; shorter than a whole level, or no square: nothing.
    const unsigned int rgb4 = GL_COMPRESSED_RGB_PVRTC_4BPPV1_IMG,
                       rgb2 = GL_COMPRESSED_RGB_PVRTC_2BPPV1_IMG;
    const size_t cases[][3] = {// length, side, format
                               {524288, 1024, rgb4}, {65536, 512, rgb2}, {64, 16, rgb2},
                               {32, 8, rgb4},        {16, 0, 0},         {0, 0, 0},
                               {1000, 0, 0},         {131073, 0, 0},     {2097152, 0, 0}};
    for (const auto& [length, side, format] : cases)
        for (const bool gpu : {false, true})
        {
            SCOPED_TRACE(testing::Message() << length << " bytes" << (gpu ? ", GL" : ""));
            const std::vector<uint8_t> file(length, 0x33);
            PvrTextureImage image;
            ASSERT_EQ(image.ReadApv(file.data(), file.size(), gpu), side != 0);
            if (side == 0)
                continue;
            EXPECT_EQ(std::tuple(size_t(image.GetWidth()), size_t(image.GetHeight()),
                                 image.HasAlpha(), image.GetInternalFormat(), image.GetSize()),
                      std::tuple(side, side, false, gpu ? format : GL_RGBA,
                                 gpu ? length : side * side * 4));
        }
    // The GL's own PVRTC is used only when its extension list names it whole.
    EXPECT_FALSE(PvrTextureImage::ListsPvrtc(nullptr));
    EXPECT_FALSE(PvrTextureImage::ListsPvrtc(
        "XGL_IMG_texture_compression_pvrtc GL_IMG_texture_compression_pvrtc2"));
    EXPECT_TRUE(PvrTextureImage::ListsPvrtc(
        "GL_IMG_texture_compression_pvrtc2 GL_IMG_texture_compression_pvrtc GL_OES_depth24"));
}

TEST_F(RenderTest, PvrFilesLoadAsTheOriginalPictureAndDrawAsLoadedAndBrokenOnesNothing)
{
    ASSERT_FALSE(TextureManager_GL::GLDecodesPVRTC()) << "this test is for software PVRTC";
    // Writes the file, loads it as a material and draws its w x h texels 1:1 at
    // the top left over black; empty when no texture was made.
    const auto draw = [&](const std::string& name, const std::vector<uint8_t>& file, int w, int h)
    {
        WriteBytes(name, file);
        Material* material = Material::Create(name.c_str());
        std::vector<uint8_t> picture;
        if (const Texture* texture = material->GetTexture(0)) // blended as its alpha needs
        {
            EXPECT_EQ(material->GetBlendMode(), texture->HasAlpha()
                                                    ? Material::c_iBlendPremultiplied
                                                    : Material::c_iBlendOpaque);
        }
        const std::vector<uint8_t> frame =
            material->GetTexture(0) ? DrawQuad(material, 0, float(w), float(h)) : picture;
        for (int y = 0; y < h && !frame.empty(); ++y)
            picture.insert(picture.end(), frame.begin() + y * 480 * 4,
                           frame.begin() + (y * 480 + w) * 4);
        material->Release();
        return picture;
    };
    std::vector<uint8_t> original = Pvr(c_8888);
    original.erase(original.begin(), original.begin() + PvrHeader::c_iSize);
    // The PVRTC and sixteen-bit copies against the RGBA8888 original, where it is
    // opaque. Measured: 26.5, 25.1, 21.5, 21.4 and 39.6 dB. Decoding PVRTC words half
    // a block off centre loses 3.5 dB; a wrong bit layout or channel order far more.
    const std::pair<const char*, double> cases[] = {
        {c_p4, 26.0},  {"test_image.pvr", 24.6}, {c_p2, 21.0},  {c_4444, 21.0},
        {c_565, 39.0}, {c_8888, 60.0},           {c_small, 0.0} /* no original */};
    for (const auto& [name, minPsnr] : cases)
    {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> file = Pvr(name);
        PvrHeader header;
        ASSERT_TRUE(PvrHeader::Read(file.data(), file.size(), header));
        const int side = name == c_small ? 64 : 128;
        PvrTextureImage image;
        // Where GL decodes PVRTC, the first level goes up as it stands in the file.
        ASSERT_TRUE(image.ReadPvr(file.data(), file.size(), true));
        EXPECT_TRUE(header.IsPvrtc() ? image.GetUpload() == Upload::Compressed &&
                                           image.GetData() == file.data() + PvrHeader::c_iSize
                                     : image.GetUpload() == Upload::Uncompressed);
        ASSERT_TRUE(image.ReadPvr(file.data(), file.size(), false));
        EXPECT_EQ(image.HasAlpha(), name != c_565);
        std::vector<uint8_t> texels(image.GetData(), image.GetData() + image.GetSize());
        if (image.GetType() != GL_UNSIGNED_BYTE) // sixteen-bit texels, widened
        {
            texels.resize(size_t(side) * side * 4);
            (image.GetType() == GL_UNSIGNED_SHORT_5_6_5 ? TexelConvert::Rgb565ToRgba8888
                                                        : TexelConvert::Rgba4444ToRgba8888)(
                image.GetData(), size_t(side) * side, texels.data());
        }
        ASSERT_EQ(texels.size(), size_t(side) * side * 4);
        // Premultiplied where the texture has alpha, though the files keep colour
        // in the transparent holes; opaque otherwise. The original's holes stay
        // transparent and the rest opaque. Drawn over black as it is.
        std::vector<uint8_t> opaque = texels;
        size_t holes = 0, clear = 0, solid = 0, kept = 0;
        for (size_t i = 3; i < texels.size(); i += 4)
        {
            ASSERT_TRUE((image.HasAlpha() || texels[i] == 255) &&
                        std::max({texels[i - 3], texels[i - 2], texels[i - 1]}) <= texels[i])
                << "texel " << i / 4;
            opaque[i] = 255;
            holes += original[i] == 0;
            clear += original[i] == 0 && texels[i] < 64;
            solid += original[i] == 255;
            kept += original[i] == 255 && texels[i] > 192;
        }
        EXPECT_LE(Compare(opaque, draw(name, file, side, side)).second, 1);
        // The first level alone as an APV file: the same picture where it is opaque.
        const std::vector<uint8_t> level(file.begin() + 52,
                                         file.begin() + 52 + long(header.Level0Size()));
        EXPECT_TRUE(!header.IsPvrtc() ||
                    Compare(texels, draw("level.apv", level, side, side)).second <= 1);
        if (minPsnr == 0.0)
            continue;
        EXPECT_GT(Compare(original, texels).first, minPsnr) << "dB where the original is opaque";
        EXPECT_GT(double(clear) / double(holes), header.HasAlpha() ? 0.9 : -1.0);
        EXPECT_GT(double(kept) / double(solid), 0.9);
    }
    // Broken files make no texture, an unknown pixel format an empty one; none is kept.
    const std::vector<uint8_t> good = Pvr(c_p4);
    EXPECT_TRUE(draw("cut.pvr", {good.begin(), good.end() - 1}, 1, 1).empty());
    std::vector<uint8_t> unknown = Pvr(c_8888);
    unknown[16] = 0x11;
    EXPECT_EQ(draw("unknown.pvr", unknown, 128, 128).size(), 128u * 128u * 4u);
    EXPECT_EQ(TextureCount(), 0);

    // 1 x 4 sixteen-bit texels, RGB565 then RGBA4444: rows not 4-byte aligned keep their place.
    using Texels = std::array<uint32_t, 4>;
    const std::tuple<uint8_t, Texels, Texels> narrow[] = {
        {0x13, {0xF800, 0x07E0, 0x001F, 0xFFFF}, {0xFF0000, 0xFF00, 0xFF, 0xFFFFFF}},
        {0x10, {0xF00F, 0x0F0F, 0x00FF, 0xFFF8}, {0xFF0000, 0xFF00, 0xFF, 0x888888}}};
    for (const auto& [format, texels, expected] : narrow)
    {
        // clang-format off
        const uint32_t fields[] = {52, 4, 1, 0, format, 8, 16, 0, 0, 0, format == 0x10 ? 15u : 0u,
                                   PvrHeader::c_iTag, 1, texels[0] | texels[1] << 16,
                                   texels[2] | texels[3] << 16};
        // clang-format on
        std::vector<uint8_t> file(sizeof(fields)); // a 52-byte header and 8 bytes of texels
        std::memcpy(file.data(), fields, file.size());
        const std::vector<uint8_t> picture = draw("narrow.pvr", file, 1, 4);
        ASSERT_EQ(picture.size(), 16u);
        for (size_t y = 0; y < 4; ++y)
            EXPECT_TRUE(Near({picture[4 * y], picture[4 * y + 1], picture[4 * y + 2], 255},
                             expected[y] >> 16, expected[y] >> 8 & 255, expected[y] & 255, 1))
                << int(format) << " row " << y;
    }
}
