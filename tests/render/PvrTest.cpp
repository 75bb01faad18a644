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
std::vector<uint8_t> Pvr(const std::string& name)
{
    return ReadBytes(TestDataDir() / "pvr" / name);
}

// The uncompressed picture the other 128 x 128 files were made from.
std::vector<uint8_t> Original()
{
    const std::vector<uint8_t> file = Pvr("test_image_rgba8888.pvr");
    return std::vector<uint8_t>(file.begin() + PvrHeader::c_iSize, file.end());
}

// Peak signal-to-noise ratio in dB of the colour of test against reference
// (both RGBA8888), over the texels where reference is opaque.
double Psnr(const std::vector<uint8_t>& reference, const std::vector<uint8_t>& test)
{
    double squares = 0.0;
    size_t samples = 0;
    for (size_t i = 0; i + 3 < reference.size() && i + 3 < test.size(); i += 4)
        for (size_t c = 0; c < 3 && reference[i + 3] == 255; ++c, ++samples)
            squares += std::pow(double(reference[i + c]) - double(test[i + c]), 2.0);
    return squares == 0.0 ? INFINITY : 10.0 * std::log10(65025.0 * double(samples) / squares);
}

void Put32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i)
        bytes[offset + i] = uint8_t(value >> (8 * i));
}

std::vector<uint8_t> Texels(const PvrTextureImage& image)
{
    return std::vector<uint8_t>(image.GetData(), image.GetData() + image.GetSize());
}
} // namespace

TEST(PvrFiles, EveryFormatDecodesToTheOriginalPictureAndLevelsFillTheData)
{
    const std::vector<uint8_t> original = Original();
    ASSERT_EQ(original.size(), 128u * 128u * 4u);
    // Measured: 27.0, 25.3, 22.2, 21.4 and 39.6 dB. Decoding PVRTC words half a
    // block off centre loses 3.5 dB; a wrong bit layout or channel order far more.
    const struct
    {
        const char* name;
        double minPsnr = 0.0;
    } cases[] = {{"test_image_pvrtc4bpp.pvr", 26.5}, {"test_image.pvr", 24.8},
                 {"test_image_pvrtc2bpp.pvr", 21.7}, {"test_image_rgba4444.pvr", 21.0},
                 {"test_image_rgb565.pvr", 39.0},    {"pvrtc_image.pvr"}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> file = Pvr(c.name);
        PvrHeader header;
        ASSERT_TRUE(PvrHeader::Read(file.data(), file.size(), header));
        EXPECT_EQ(header.headerSize + uint64_t(header.dataSize), file.size());
        const uint8_t* data = file.data() + header.headerSize;
        std::vector<uint8_t> rgba(128 * 128 * 4);
        if (header.PixelFormat() == PvrHeader::c_iFormatRgba4444)
        {
            TexelConvert::Rgba4444ToRgba8888(data, 128 * 128, rgba.data());
        }
        else if (header.PixelFormat() == PvrHeader::c_iFormatRgb565)
        {
            TexelConvert::Rgb565ToRgba8888(data, 128 * 128, rgba.data());
        }
        else
        {
            // PVRTC: the levels, each half the side of the one before, fill the data.
            const int bits = header.PixelFormat() == PvrHeader::c_iFormatPvrtc2 ? 2 : 4;
            uint64_t offset = 0;
            for (uint32_t level = 0; level <= header.mipmapCount; ++level)
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
            EXPECT_EQ(offset, header.dataSize);
        }
        if (c.minPsnr == 0.0)
            continue; // no original for this one
        const double psnr = Psnr(original, rgba);
        std::cout << c.name << ": " << psnr << " dB where the original is opaque\n";
        EXPECT_GT(psnr, c.minPsnr);
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

    // Data one byte short of the level, or a level PVRTC cannot have.
    std::vector<uint8_t> rgba, data(8192, 0x5A);
    EXPECT_FALSE(PvrtcDecoder::Decode(data.data(), 8191, 128, 128, 4, rgba));
    EXPECT_FALSE(PvrtcDecoder::Decode(data.data(), 4095, 128, 128, 2, rgba));
    EXPECT_FALSE(PvrtcDecoder::Decode(data.data(), 31, 4, 4, 4, rgba));
    EXPECT_FALSE(PvrtcDecoder::Decode(data.data(), 8192, 96, 128, 4, rgba));
    EXPECT_FALSE(PvrtcDecoder::Decode(data.data(), 8192, 128, 128, 3, rgba));
    EXPECT_FALSE(PvrtcDecoder::Decode(nullptr, 8192, 128, 128, 4, rgba));
    EXPECT_TRUE(rgba.empty());
}

TEST(PvrFiles, ModulationBlendsColourAToColourBInEighths)
{
    // One word repeated: A red, B blue; texel column x has modulation value x.
    uint32_t modulation = 0;
    for (uint32_t texel = 0; texel < 16; ++texel)
        modulation |= (texel % 4) << (2 * texel);
    const uint32_t colours = 0x8000u | 31u << 10 | (0x8000u | 31u) << 16;
    for (const uint32_t punchThrough : {0u, 1u})
    {
        SCOPED_TRACE(punchThrough ? "punch-through" : "standard");
        std::vector<uint8_t> data;
        for (int word = 0; word < 4; ++word)
            for (uint32_t value : {modulation, colours | punchThrough})
                for (int i = 0; i < 4; ++i)
                    data.push_back(uint8_t(value >> (8 * i)));
        std::vector<uint8_t> rgba;
        ASSERT_TRUE(PvrtcDecoder::Decode(data.data(), data.size(), 8, 8, 4, rgba));
        // Eighths of B: 0, 3, 5, 8; punch-through 0, 4, 4 with no alpha, 8.
        const int expected[2][4][4] = {
            {{255, 0, 0, 255}, {159, 0, 95, 255}, {95, 0, 159, 255}, {0, 0, 255, 255}},
            {{255, 0, 0, 255}, {127, 0, 127, 255}, {127, 0, 127, 0}, {0, 0, 255, 255}}};
        for (int x = 0; x < 8; ++x)
            for (int c = 0; c < 4; ++c)
                EXPECT_EQ(int(rgba[size_t(x) * 4 + c]), expected[punchThrough][x % 4][c])
                    << "texel " << x << " channel " << c;
    }
}

TEST(PvrFiles, HeadersGiveSizeAlphaAndUploadAndBrokenCopiesAreRefused)
{
    // The real files. Uploads without GL PVRTC are drawn below; with it, the
    // first level goes up as it stands in the file, whatever follows it.
    const unsigned int pvrtc4 = GL_COMPRESSED_RGBA_PVRTC_4BPPV1_IMG;
    const struct
    {
        const char* file;
        int side;
        bool alpha;
        unsigned int compressed = 0;
    } files[] = {{"test_image_pvrtc4bpp.pvr", 128, true, pvrtc4},
                 {"test_image.pvr", 128, true, pvrtc4},
                 {"test_image_pvrtc2bpp.pvr", 128, true, GL_COMPRESSED_RGBA_PVRTC_2BPPV1_IMG},
                 {"pvrtc_image.pvr", 64, true, pvrtc4},
                 {"test_image_rgba8888.pvr", 128, true},
                 {"test_image_rgba4444.pvr", 128, true},
                 {"test_image_rgb565.pvr", 128, false}};
    for (const auto& c : files)
    {
        const std::vector<uint8_t> file = Pvr(c.file);
        for (const bool gpu : {false, true})
        {
            SCOPED_TRACE(testing::Message() << c.file << (gpu ? ", GL takes PVRTC" : ""));
            PvrTextureImage image;
            ASSERT_TRUE(image.ReadPvr(file.data(), file.size(), gpu));
            EXPECT_EQ(image.GetWidth(), c.side);
            EXPECT_EQ(image.GetHeight(), c.side);
            EXPECT_EQ(image.HasAlpha(), c.alpha);
            const bool compressed = gpu && c.compressed;
            EXPECT_EQ(image.GetUpload(), compressed ? Upload::Compressed : Upload::Uncompressed);
            if (compressed)
            {
                EXPECT_EQ(image.GetInternalFormat(), c.compressed);
                EXPECT_EQ(image.GetData(), file.data() + PvrHeader::c_iSize);
                EXPECT_EQ(image.GetSize(),
                          size_t(c.side * c.side / (c.compressed == pvrtc4 ? 2 : 4)));
            }
        }
    }

    // Copies cut short or with a header field changed.
    struct Edit
    {
        size_t offset;
        uint32_t value;
    };
    const struct
    {
        const char* what;
        const char* file;
        std::vector<Edit> edits;
        long cut = -1; // bytes kept
        bool texture = false;
    } broken[] = {
        {"version 3", "test_image_pvrtc4bpp_v3.pvr", {}},
        {"header size past the end", "test_image_pvrtc4bpp.pvr", {{0, 0xFFFFFFF0u}}},
        {"header size 8 too large", "test_image_pvrtc4bpp.pvr", {{0, 60}}},
        {"data size past the end", "test_image_pvrtc4bpp.pvr", {{20, 8193}}},
        {"data smaller than the level", "test_image_pvrtc4bpp.pvr", {{20, 4096}}},
        {"width doubled", "test_image_pvrtc4bpp.pvr", {{8, 256}}},
        {"width zero", "test_image_pvrtc2bpp.pvr", {{8, 0}}},
        {"width not a power of two", "test_image_pvrtc4bpp.pvr", {{8, 96}}},
        {"height over 16 bits", "test_image_pvrtc4bpp.pvr", {{4, 1u << 31}}},
        {"huge uncompressed sides", "test_image_rgba8888.pvr", {{4, 65535}}},
        {"half the height", "test_image_rgba4444.pvr", {{4, 64}}, -1, true},
        {"unknown format: a texture without an image",
         "test_image_rgba8888.pvr",
         {{16, 0x8042}},
         -1,
         true},
        {"unknown format, no data", "test_image_rgba8888.pvr", {{16, 0x42}, {20, 0}}, 52, true},
        {"unknown format, width zero", "test_image_rgba8888.pvr", {{16, 0x42}, {8, 0}}},
        {"unknown format, height zero", "test_image_rgba8888.pvr", {{16, 0x42}, {4, 0}}},
        {"unknown format, data past the end", "test_image_rgba8888.pvr", {{16, 0x42}, {20, 65537}}},
        {"cut to nothing", "test_image_pvrtc4bpp.pvr", {}, 0},
        {"cut in the header", "test_image_rgb565.pvr", {}, 51},
        {"header alone", "test_image_pvrtc4bpp.pvr", {}, 52},
        {"cut in the first level", "test_image_pvrtc2bpp.pvr", {}, 52 + 4095},
        {"cut in the first level", "test_image_rgba8888.pvr", {}, 52 + 65535},
        {"cut in a later level", "pvrtc_image.pvr", {}, 2867},
    };
    for (const auto& c : broken)
    {
        std::vector<uint8_t> bytes = Pvr(c.file);
        for (const Edit& edit : c.edits)
            Put32(bytes, edit.offset, edit.value);
        // An exact copy on the heap, so that the address sanitiser sees any read past it.
        const std::vector<uint8_t> file(bytes.begin(),
                                        c.cut < 0 ? bytes.end() : bytes.begin() + c.cut);
        for (const bool gpu : {false, true})
        {
            SCOPED_TRACE(testing::Message()
                         << c.what << ", " << c.file << (gpu ? ", GL PVRTC" : ""));
            PvrTextureImage image;
            ASSERT_EQ(image.ReadPvr(file.data(), file.size(), gpu), c.texture);
            if (c.texture)
            {
                EXPECT_EQ(image.GetWidth(), 128);
                EXPECT_LE(image.GetSize(), file.size() - PvrHeader::c_iSize);
                EXPECT_EQ(image.GetUpload() == Upload::None, c.edits[0].offset == 16);
            }
        }
    }

    // RGBA4444 keeps its layout, premultiplied: red 15 at alpha 8 becomes red 8.
    const std::vector<uint8_t> file = Pvr("test_image_rgba4444.pvr");
    PvrTextureImage image;
    ASSERT_TRUE(image.ReadPvr(file.data(), file.size(), false));
    size_t translucent = 0;
    for (size_t i = 0; i < 128 * 128; ++i)
    {
        const uint32_t in = file[52 + 2 * i] | file[52 + 2 * i + 1] << 8;
        const uint32_t out = image.GetData()[2 * i] | image.GetData()[2 * i + 1] << 8;
        const uint32_t alpha = in & 15;
        ASSERT_EQ(out & 15, alpha);
        for (int shift : {12, 8, 4})
            ASSERT_EQ((out >> shift) & 15, (((in >> shift) & 15) * alpha + 7) / 15) << i;
        translucent += alpha != 0 && alpha != 15;
    }
    EXPECT_GT(translucent, 100u);
}

TEST(PvrFiles, ApvSideAndRateFollowFromTheLength)
{
    // 4 bits a texel before 2 at each side; shorter than a whole level, or no square: nothing.
    const unsigned int rgb4 = GL_COMPRESSED_RGB_PVRTC_4BPPV1_IMG;
    const unsigned int rgb2 = GL_COMPRESSED_RGB_PVRTC_2BPPV1_IMG;
    const size_t cases[][3] = {
        {524288, 1024, rgb4}, {131072, 512, rgb4}, {65536, 512, rgb2}, {64, 16, rgb2},
        {32, 8, rgb4},        {16, 0, 0},          {8, 0, 0},          {0, 0, 0},
        {1000, 0, 0},         {131073, 0, 0},      {2097152, 0, 0}}; // length, side, format
    for (const auto& [length, side, compressed] : cases)
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
            EXPECT_EQ(image.GetInternalFormat(), gpu ? compressed : GL_RGBA);
            EXPECT_EQ(image.GetSize(), gpu ? length : side * side * 4);
        }
    }
    // The GL's own PVRTC is used only when its extension list names it whole.
    for (const auto& [extensions, pvrtc] :
         {std::pair<const char*, bool>{nullptr, false},
          {"", false},
          {"GL_IMG_texture_compression_pvrtc", true},
          {"GL_OES_rgb8_rgba8 GL_IMG_texture_compression_pvrtc GL_OES_depth24", true},
          {"GL_IMG_texture_compression_pvrtc2", false},
          {"XGL_IMG_texture_compression_pvrtc GL_OES_depth24", false},
          {"GL_IMG_texture_compression_pvrtc2 GL_IMG_texture_compression_pvrtc", true}})
    {
        SCOPED_TRACE(extensions ? extensions : "(null)");
        EXPECT_EQ(PvrTextureImage::ListsPvrtc(extensions), pvrtc);
    }
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

    // Loads the file as a material and draws its side x side texels 1:1 at the
    // top left over black; empty when no texture was made.
    std::vector<uint8_t> LoadAndDraw(const std::string& name, int side, bool alpha)
    {
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

// The largest difference of a colour channel over the texels where a is opaque.
int LargestDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    int largest = 0;
    for (size_t i = 0; i + 3 < a.size() && i + 3 < b.size(); i += 4)
        for (size_t c = 0; c < 3 && a[i + 3] == 255; ++c)
            largest = std::max(largest, std::abs(int(a[i + c]) - int(b[i + c])));
    return largest;
}
} // namespace

TEST_F(PvrTextureDraw, FilesAndApvCopiesDrawTheTexelsTheLoaderMade)
{
    for (const char* name :
         {"test_image_pvrtc4bpp.pvr", "test_image.pvr", "test_image_pvrtc2bpp.pvr",
          "pvrtc_image.pvr", "test_image_rgba8888.pvr", "test_image_rgba4444.pvr",
          "test_image_rgb565.pvr"})
    {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> file = Pvr(name);
        PvrTextureImage image;
        ASSERT_TRUE(image.ReadPvr(file.data(), file.size(), false));
        const int side = image.GetWidth();
        std::vector<uint8_t> texels = Texels(image);
        if (image.GetType() != GL_UNSIGNED_BYTE)
        {
            texels.resize(size_t(side) * side * 4);
            (image.GetType() == GL_UNSIGNED_SHORT_5_6_5 ? TexelConvert::Rgb565ToRgba8888
                                                        : TexelConvert::Rgba4444ToRgba8888)(
                image.GetData(), size_t(side) * side, texels.data());
        }
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
        if (side == 128 && image.HasAlpha())
        {
            EXPECT_GT(holes, 1000u) << "the test picture's holes";
        }

        WriteBytes(name, file);
        std::vector<uint8_t> opaque = texels;
        for (size_t i = 3; i < opaque.size(); i += 4)
            opaque[i] = 255;
        EXPECT_LE(LargestDifference(opaque, LoadAndDraw(name, side, image.HasAlpha())), 1);
        PvrHeader header;
        ASSERT_TRUE(PvrHeader::Read(file.data(), file.size(), header));
        if (!header.IsPvrtc())
            continue;
        // The first level alone as an APV file: the same picture where it is opaque.
        WriteBytes(
            "level.apv",
            std::vector<uint8_t>(file.begin() + 52, file.begin() + 52 + long(header.Level0Size())));
        EXPECT_LE(LargestDifference(texels, LoadAndDraw("level.apv", side, false)), 1);
    }
    EXPECT_EQ(TextureCount(), 0);

    // Broken files make no texture; an unknown pixel format an empty one.
    const std::vector<uint8_t> good = Pvr("test_image_pvrtc4bpp.pvr");
    for (const auto& [name, bytes] :
         {std::pair{"v3.pvr", Pvr("test_image_pvrtc4bpp_v3.pvr")},
          {"cut.pvr", std::vector<uint8_t>(good.begin(), good.end() - 1)},
          {"tiny.apv", std::vector<uint8_t>(8, 0x77)},
          {"odd.apv", std::vector<uint8_t>(good.begin(), good.begin() + 8000)}})
    {
        SCOPED_TRACE(name);
        WriteBytes(name, bytes);
        EXPECT_EQ(m_gl.GetRenderer().LoadTexture(name), nullptr);
    }
    std::vector<uint8_t> unknown = Pvr("test_image_rgba8888.pvr");
    unknown[16] = 0x11;
    WriteBytes("unknown.pvr", unknown);
    Texture* texture = m_gl.GetRenderer().LoadTexture("unknown.pvr");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetWidth(), 128);
    texture->Release();
    EXPECT_EQ(TextureCount(), 0);
}

TEST_F(PvrTextureDraw, NarrowSixteenBitTexturesKeepTheirRows)
{
    // 1 x 4 texels of two bytes each: the rows are not 4-byte aligned.
    const struct
    {
        uint8_t format;
        uint16_t texels[4];
        int expected[4][3];
    } cases[] = {{PvrHeader::c_iFormatRgb565,
                  {0xF800, 0x07E0, 0x001F, 0xFFFF},
                  {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}}},
                 {PvrHeader::c_iFormatRgba4444,
                  {0xF00F, 0x0F0F, 0x00FF, 0xFFF8},
                  {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {136, 136, 136}}}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(int(c.format));
        std::vector<uint8_t> file(PvrHeader::c_iSize + 8, 0);
        const bool alpha = c.format == PvrHeader::c_iFormatRgba4444;
        const uint32_t fields[13] = {
            52, 4, 1, 0, c.format, 8, 16, 0, 0, 0, alpha ? 15u : 0u, PvrHeader::c_iTag, 1};
        for (size_t i = 0; i < 13; ++i)
            Put32(file, 4 * i, fields[i]);
        for (size_t i = 0; i < 4; ++i)
        {
            file[52 + 2 * i] = uint8_t(c.texels[i]);
            file[53 + 2 * i] = uint8_t(c.texels[i] >> 8);
        }
        WriteBytes("narrow.pvr", file);
        Material* material = Material::Create("narrow.pvr");
        ASSERT_NE(material->GetTexture(0), nullptr);
        const std::vector<uint8_t> frame = DrawQuad(material, 0, 40.0f, 160.0f);
        material->Release();
        for (int y = 0; y < 4; ++y)
        {
            const Pixel p = At(frame, 20, 40 * y + 20);
            EXPECT_TRUE(Near(p, c.expected[y][0], c.expected[y][1], c.expected[y][2], 1))
                << "row " << y << ": " << p.r << ", " << p.g << ", " << p.b;
        }
    }
}
