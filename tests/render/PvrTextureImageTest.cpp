// PVR and APV files made ready for GL: sizes, alpha, the pixels that get uploaded, and
// files that are cut short or corrupt.
#include "render/PvrTextureImage.h"
#include "render/PvrHeader.h"
#include "render/PvrtcDecoder.h"
#include "render/TexelConvert.h"

#include "PvrTestFiles.h"

#include <GLES/gl.h>
#include <GLES/glext.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace
{
using Upload = PvrTextureImage::Upload;

// A copy of bytes in a heap block of exactly that size, so that the address sanitiser
// reports any read past its end.
class ExactBuffer
{
  public:
    ExactBuffer(const uint8_t* data, size_t size)
        : m_pData(new uint8_t[size == 0 ? 1 : size]), m_iSize(size)
    {
        if (size != 0)
            std::memcpy(m_pData.get(), data, size);
    }
    const uint8_t* Data() const { return m_pData.get(); }
    size_t Size() const { return m_iSize; }

  private:
    std::unique_ptr<uint8_t[]> m_pData;
    size_t m_iSize;
};

void PutLittleEndian32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = uint8_t(value >> (8 * i));
}

std::vector<uint8_t> Texels(const PvrTextureImage& image)
{
    return std::vector<uint8_t>(image.GetData(), image.GetData() + image.GetSize());
}

// The mean colour of each block x block square of an RGBA8888 picture, with the least
// alpha of the square as its alpha.
std::vector<uint8_t> BlockMeans(const std::vector<uint8_t>& rgba, size_t side, size_t block)
{
    const size_t outSide = side / block;
    std::vector<uint8_t> out(outSide * outSide * 4);
    for (size_t by = 0; by < outSide; ++by)
    {
        for (size_t bx = 0; bx < outSide; ++bx)
        {
            unsigned sum[3] = {0, 0, 0};
            uint8_t alpha = 255;
            for (size_t y = by * block; y < (by + 1) * block; ++y)
            {
                for (size_t x = bx * block; x < (bx + 1) * block; ++x)
                {
                    const uint8_t* texel = &rgba[(y * side + x) * 4];
                    for (int c = 0; c < 3; ++c)
                        sum[c] += texel[c];
                    alpha = std::min(alpha, texel[3]);
                }
            }
            uint8_t* mean = &out[(by * outSide + bx) * 4];
            for (int c = 0; c < 3; ++c)
                mean[c] = uint8_t((sum[c] + block * block / 2) / (block * block));
            mean[3] = alpha;
        }
    }
    return out;
}

const char* const c_aVersion2Files[] = {
    "test_image_pvrtc4bpp.pvr", "test_image.pvr",        "test_image_pvrtc2bpp.pvr",
    "pvrtc_image.pvr",          "rock_mipmap_4.pvr",     "test_image_rgba8888.pvr",
    "test_image_rgba4444.pvr",  "test_image_rgb565.pvr",
};

class PvrTextureImageFiles : public testing::Test
{
  protected:
    void SetUp() override
    {
        if (!pvr_test::HavePvrFiles())
            GTEST_SKIP() << "no shared PVR test files";
    }
};
} // namespace

TEST_F(PvrTextureImageFiles, RealFilesGiveTheSizeAlphaAndFormatOfTheirHeader)
{
    struct Case
    {
        const char* name;
        int side;
        bool alpha;
        unsigned int compressedFormat; // 0: not PVRTC
        size_t level0Size;
        unsigned int format, type; // upload without the GL taking PVRTC
    };
    const Case cases[] = {
        {"test_image_pvrtc4bpp.pvr", 128, true, GL_COMPRESSED_RGBA_PVRTC_4BPPV1_IMG, 8192, GL_RGBA,
         GL_UNSIGNED_BYTE},
        {"test_image.pvr", 128, true, GL_COMPRESSED_RGBA_PVRTC_4BPPV1_IMG, 8192, GL_RGBA,
         GL_UNSIGNED_BYTE},
        {"test_image_pvrtc2bpp.pvr", 128, true, GL_COMPRESSED_RGBA_PVRTC_2BPPV1_IMG, 4096, GL_RGBA,
         GL_UNSIGNED_BYTE},
        // Mipmapped: only the first level goes up, with its own size, not the data size.
        {"pvrtc_image.pvr", 64, true, GL_COMPRESSED_RGBA_PVRTC_4BPPV1_IMG, 2048, GL_RGBA,
         GL_UNSIGNED_BYTE},
        {"rock_mipmap_4.pvr", 256, false, GL_COMPRESSED_RGB_PVRTC_4BPPV1_IMG, 32768, GL_RGBA,
         GL_UNSIGNED_BYTE},
        {"test_image_rgba8888.pvr", 128, true, 0, 65536, GL_RGBA, GL_UNSIGNED_BYTE},
        {"test_image_rgba4444.pvr", 128, true, 0, 32768, GL_RGBA, GL_UNSIGNED_SHORT_4_4_4_4},
        {"test_image_rgb565.pvr", 128, false, 0, 32768, GL_RGB, GL_UNSIGNED_SHORT_5_6_5},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto bytes = pvr_test::ReadPvrFile(c.name);
        const ExactBuffer file(bytes.data(), bytes.size());
        for (const bool gpu : {false, true})
        {
            SCOPED_TRACE(gpu ? "GL takes PVRTC" : "GL without PVRTC");
            PvrTextureImage image;
            ASSERT_TRUE(image.ReadPvr(file.Data(), file.Size(), gpu));
            EXPECT_EQ(image.GetWidth(), c.side);
            EXPECT_EQ(image.GetHeight(), c.side);
            EXPECT_EQ(image.HasAlpha(), c.alpha);
            if (gpu && c.compressedFormat != 0)
            {
                EXPECT_EQ(image.GetUpload(), Upload::Compressed);
                EXPECT_EQ(image.GetInternalFormat(), c.compressedFormat);
                EXPECT_EQ(image.GetData(), file.Data() + PvrHeader::c_iSize);
                EXPECT_EQ(image.GetSize(), c.level0Size);
                continue;
            }
            EXPECT_EQ(image.GetUpload(), Upload::Uncompressed);
            EXPECT_EQ(image.GetInternalFormat(), c.format);
            EXPECT_EQ(image.GetFormat(), c.format);
            EXPECT_EQ(image.GetType(), c.type);
            const size_t bytesPerTexel = c.type == GL_UNSIGNED_BYTE ? 4 : 2;
            EXPECT_EQ(image.GetSize(), size_t(c.side) * c.side * bytesPerTexel);
        }
    }
}

TEST_F(PvrTextureImageFiles, EveryFormatShowsTheOriginalPicture)
{
    const auto reference = pvr_test::ReferencePicture();
    ASSERT_EQ(reference.size(), 128u * 128u * 4u);
    struct Case
    {
        const char* name;
        double minPsnr;     // texel by texel
        double minMeanPsnr; // means of 4 x 4 texels, where the dithering evens out
    };
    // Colour where the original is opaque, after premultiplying. Measured: 26.5 / 37.4,
    // 25.1 / 36.5, 21.5 / 29.6, exact, 21.4 / 24.4 (heavily dithered) and 39.6 / 44.2 dB.
    const Case cases[] = {
        {"test_image_pvrtc4bpp.pvr", 26.0, 36.5}, {"test_image.pvr", 24.8, 36.0},
        {"test_image_pvrtc2bpp.pvr", 21.0, 29.0}, {"test_image_rgba8888.pvr", INFINITY, INFINITY},
        {"test_image_rgba4444.pvr", 21.0, 24.0},  {"test_image_rgb565.pvr", 39.0, 43.5},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto file = pvr_test::ReadPvrFile(c.name);
        PvrTextureImage image;
        ASSERT_TRUE(image.ReadPvr(file.data(), file.size(), false));
        std::vector<uint8_t> rgba(128 * 128 * 4);
        if (image.GetType() == GL_UNSIGNED_BYTE)
            rgba = Texels(image);
        else if (image.GetType() == GL_UNSIGNED_SHORT_4_4_4_4)
            TexelConvert::Rgba4444ToRgba8888(image.GetData(), 128 * 128, rgba.data());
        else
            TexelConvert::Rgb565ToRgba8888(image.GetData(), 128 * 128, rgba.data());
        const double psnr = pvr_test::PsnrWhereOpaque(reference, rgba);
        const double meanPsnr =
            pvr_test::PsnrWhereOpaque(BlockMeans(reference, 128, 4), BlockMeans(rgba, 128, 4));
        std::cout << c.name << ": " << psnr << " dB, " << meanPsnr << " dB over 4 x 4 means\n";
        EXPECT_GE(psnr, c.minPsnr);
        EXPECT_GE(meanPsnr, c.minMeanPsnr);
    }
}

TEST_F(PvrTextureImageFiles, TexturesWithAlphaArePremultipliedAndOthersOpaque)
{
    for (const char* name : {"test_image_pvrtc4bpp.pvr", "test_image_pvrtc2bpp.pvr",
                             "pvrtc_image.pvr", "rock_mipmap_4.pvr", "test_image_rgba8888.pvr"})
    {
        const bool holes = std::strncmp(name, "test_image", 10) == 0;
        SCOPED_TRACE(name);
        const auto file = pvr_test::ReadPvrFile(name);
        PvrTextureImage image;
        ASSERT_TRUE(image.ReadPvr(file.data(), file.size(), false));
        const auto texels = Texels(image);
        size_t transparent = 0;
        for (size_t i = 0; i < texels.size(); i += 4)
        {
            const uint8_t alpha = texels[i + 3];
            if (!image.HasAlpha())
            {
                ASSERT_EQ(alpha, 255) << "texel " << i / 4;
            }
            for (size_t c = 0; c < 3; ++c)
                ASSERT_LE(texels[i + c], alpha) << "texel " << i / 4;
            transparent += alpha == 0;
        }
        if (holes)
        {
            EXPECT_GT(transparent, 1000u);
        }
    }

    // The 16-bit format keeps its layout: red 15, alpha 8 becomes red 8, alpha 8.
    const auto file = pvr_test::ReadPvrFile("test_image_rgba4444.pvr");
    PvrTextureImage image;
    ASSERT_TRUE(image.ReadPvr(file.data(), file.size(), false));
    const uint8_t* source = file.data() + PvrHeader::c_iSize;
    size_t checked = 0;
    for (size_t i = 0; i < 128 * 128; ++i)
    {
        const uint32_t in = source[2 * i] | source[2 * i + 1] << 8;
        const uint32_t out = image.GetData()[2 * i] | image.GetData()[2 * i + 1] << 8;
        const uint32_t alpha = in & 15;
        ASSERT_EQ(out & 15, alpha);
        for (int shift : {12, 8, 4})
            ASSERT_EQ((out >> shift) & 15, (((in >> shift) & 15) * alpha + 7) / 15);
        checked += alpha != 0 && alpha != 15;
    }
    EXPECT_GT(checked, 100u);
}

TEST_F(PvrTextureImageFiles, NewerPvrVersionMakesNoTexture)
{
    const auto bytes = pvr_test::ReadPvrFile("test_image_pvrtc4bpp_v3.pvr");
    ASSERT_EQ(bytes.size(), 8244u);
    const ExactBuffer file(bytes.data(), bytes.size());
    for (const bool gpu : {false, true})
    {
        PvrTextureImage image;
        EXPECT_FALSE(image.ReadPvr(file.Data(), file.Size(), gpu));
    }
}

TEST_F(PvrTextureImageFiles, FilesCutShortMakeNoTexture)
{
    for (const char* name : c_aVersion2Files)
    {
        const auto bytes = pvr_test::ReadPvrFile(name);
        PvrHeader header;
        ASSERT_TRUE(PvrHeader::Read(bytes.data(), bytes.size(), header));
        const size_t levelEnd = header.headerSize + size_t(header.Level0Size());
        ASSERT_LE(levelEnd, bytes.size());
        // Cut in the header, in the first level, or (mipmapped files) in a later level.
        for (const size_t length : {size_t(0), size_t(4), size_t(51), size_t(52), size_t(53),
                                    levelEnd / 2, levelEnd - 1, bytes.size() - 1})
        {
            SCOPED_TRACE(testing::Message() << name << " cut to " << length);
            const ExactBuffer file(bytes.data(), length);
            for (const bool gpu : {false, true})
            {
                PvrTextureImage image;
                EXPECT_FALSE(image.ReadPvr(file.Data(), file.Size(), gpu));
            }
        }
    }
}

TEST_F(PvrTextureImageFiles, CorruptHeadersMakeNoTextureOrAnEmptyOne)
{
    struct Case
    {
        const char* name;
        const char* file;
        size_t offset; // field changed
        uint32_t value;
        bool texture;
    };
    const Case cases[] = {
        {"header size past the end", "test_image_pvrtc4bpp.pvr", 0, 0xFFFFFFF0u, false},
        {"header size 8 too large", "test_image_pvrtc4bpp.pvr", 0, 60, false},
        {"data size smaller than the level", "test_image_pvrtc4bpp.pvr", 20, 4096, false},
        {"width doubled", "test_image_pvrtc4bpp.pvr", 8, 256, false},
        {"width zero", "test_image_pvrtc2bpp.pvr", 8, 0, false},
        {"width not a power of two", "test_image_pvrtc4bpp.pvr", 8, 96, false},
        {"height over 16 bits", "test_image_pvrtc4bpp.pvr", 4, 1u << 31, false},
        {"huge uncompressed sides", "test_image_rgba8888.pvr", 4, 65535, false},
        {"unknown format byte", "test_image_rgba8888.pvr", 16, 0x8042, true},
        {"half the height", "test_image_rgba4444.pvr", 4, 64, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto bytes = pvr_test::ReadPvrFile(c.file);
        PutLittleEndian32(bytes, c.offset, c.value);
        const ExactBuffer file(bytes.data(), bytes.size());
        for (const bool gpu : {false, true})
        {
            PvrTextureImage image;
            EXPECT_EQ(image.ReadPvr(file.Data(), file.Size(), gpu), c.texture);
            if (c.texture && image.GetUpload() != Upload::None)
            {
                EXPECT_LE(image.GetSize(), file.Size() - PvrHeader::c_iSize);
            }
        }
    }

    // An unknown format keeps the texture object, without an image to upload, even with
    // no data at all.
    auto bytes = pvr_test::ReadPvrFile("test_image_rgba8888.pvr");
    bytes[16] = 0x42;
    PutLittleEndian32(bytes, 20, 0);
    const ExactBuffer header(bytes.data(), PvrHeader::c_iSize);
    PvrTextureImage image;
    ASSERT_TRUE(image.ReadPvr(header.Data(), header.Size(), false));
    EXPECT_EQ(image.GetUpload(), Upload::None);
    EXPECT_EQ(image.GetWidth(), 128);
    EXPECT_EQ(image.GetHeight(), 128);
    EXPECT_TRUE(image.HasAlpha());

    // But not when the header itself is nonsense: a zero side, or the declared data
    // running past the end of the file.
    PutLittleEndian32(bytes, 8, 0);
    EXPECT_FALSE(image.ReadPvr(bytes.data(), bytes.size(), false));
    PutLittleEndian32(bytes, 8, 128);
    PutLittleEndian32(bytes, 20, uint32_t(bytes.size()));
    EXPECT_FALSE(image.ReadPvr(bytes.data(), bytes.size(), false));
}

TEST(PvrTextureImage, ApvFilesTakeTheirSizeFromTheirLength)
{
    struct Case
    {
        size_t length;
        int side; // 0: no texture
        unsigned int compressedFormat;
    };
    const Case cases[] = {
        {524288, 1024, GL_COMPRESSED_RGB_PVRTC_4BPPV1_IMG},
        {131072, 512, GL_COMPRESSED_RGB_PVRTC_4BPPV1_IMG},
        {65536, 512, GL_COMPRESSED_RGB_PVRTC_2BPPV1_IMG},
        {8192, 128, GL_COMPRESSED_RGB_PVRTC_4BPPV1_IMG},
        {64, 16, GL_COMPRESSED_RGB_PVRTC_2BPPV1_IMG},
        {32, 8, GL_COMPRESSED_RGB_PVRTC_4BPPV1_IMG},
        // 8 x 8 at 2 bpp and 4 x 4 at 4 bpp are shorter than any whole level.
        {16, 0, 0},
        {8, 0, 0},
        {1000, 0, 0},
        {0, 0, 0},
        {131073, 0, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.length << " bytes");
        const std::vector<uint8_t> bytes(c.length, 0x33);
        const ExactBuffer file(bytes.data(), bytes.size());
        for (const bool gpu : {false, true})
        {
            PvrTextureImage image;
            ASSERT_EQ(image.ReadApv(file.Data(), file.Size(), gpu), c.side != 0);
            if (c.side == 0)
                continue;
            EXPECT_EQ(image.GetWidth(), c.side);
            EXPECT_EQ(image.GetHeight(), c.side);
            EXPECT_FALSE(image.HasAlpha());
            if (gpu)
            {
                EXPECT_EQ(image.GetUpload(), Upload::Compressed);
                EXPECT_EQ(image.GetInternalFormat(), c.compressedFormat);
                EXPECT_EQ(image.GetSize(), c.length);
            }
            else
            {
                EXPECT_EQ(image.GetUpload(), Upload::Uncompressed);
                EXPECT_EQ(image.GetSize(), size_t(c.side) * c.side * 4);
            }
        }
    }
}

TEST_F(PvrTextureImageFiles, ApvMadeFromPvrLevelZeroShowsThePvrPicture)
{
    for (const char* name : {"test_image_pvrtc4bpp.pvr", "test_image_pvrtc2bpp.pvr",
                             "pvrtc_image.pvr", "rock_mipmap_4.pvr"})
    {
        SCOPED_TRACE(name);
        const auto file = pvr_test::ReadPvrFile(name);
        PvrTextureImage pvr;
        ASSERT_TRUE(pvr.ReadPvr(file.data(), file.size(), false));
        PvrHeader header;
        ASSERT_TRUE(PvrHeader::Read(file.data(), file.size(), header));
        const auto begin = file.begin() + header.headerSize;
        const std::vector<uint8_t> apvBytes(begin, begin + ptrdiff_t(header.Level0Size()));
        const ExactBuffer apvFile(apvBytes.data(), apvBytes.size());
        PvrTextureImage apv;
        ASSERT_TRUE(apv.ReadApv(apvFile.Data(), apvFile.Size(), false));
        EXPECT_EQ(apv.GetWidth(), pvr.GetWidth());
        EXPECT_EQ(apv.GetHeight(), pvr.GetHeight());

        // The APV is opaque; where the PVR is opaque too, the texels agree exactly.
        const auto a = Texels(apv);
        const auto p = Texels(pvr);
        ASSERT_EQ(a.size(), p.size());
        size_t compared = 0;
        for (size_t i = 0; i < a.size(); i += 4)
        {
            ASSERT_EQ(a[i + 3], 255);
            if (p[i + 3] != 255)
                continue;
            ASSERT_EQ(std::memcmp(&a[i], &p[i], 3), 0) << "texel " << i / 4;
            ++compared;
        }
        EXPECT_GT(compared, a.size() / 8);
    }
}

TEST(PvrTextureImage, ExtensionListMatchesWholeNamesOnly)
{
    struct Case
    {
        const char* extensions;
        bool pvrtc;
    };
    const Case cases[] = {
        {nullptr, false},
        {"", false},
        {"GL_IMG_texture_compression_pvrtc", true},
        {"GL_OES_rgb8_rgba8 GL_IMG_texture_compression_pvrtc GL_OES_texture_npot", true},
        {"GL_OES_rgb8_rgba8 GL_IMG_texture_compression_pvrtc ", true},
        {"GL_IMG_texture_compression_pvrtc2", false},
        {"XGL_IMG_texture_compression_pvrtc GL_OES_depth24", false},
        {"GL_IMG_texture_compression_pvrtc2 GL_IMG_texture_compression_pvrtc", true},
        {"GL_OES_framebuffer_object GL_OES_rgb8_rgba8 GL_OES_depth24", false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.extensions ? c.extensions : "(null)");
        EXPECT_EQ(PvrTextureImage::ListsPvrtc(c.extensions), c.pvrtc);
    }
}
