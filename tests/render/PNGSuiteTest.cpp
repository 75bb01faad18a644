// Every image of the PNG test suite through the decoder and the texture loader:
// the samples match libpng's own reading, power-of-two images draw as those
// samples in the texture's layout, and corrupt or cut files give nothing.
#include "RenderTestSupport.h"

#include "formats/PNGImage.h"
#include "render/Texture.h"

#include <png.h>

namespace fs = std::filesystem;
using namespace zindle_test;

namespace
{
// The file's samples as stored, read by libpng's simplified reader: the
// colour-space chunks are replaced by a gamma of 1, so that nothing is
// converted, and the result is 16-bit with colour premultiplied by alpha.
std::vector<uint16_t> StoredSamples(const std::vector<uint8_t>& file)
{
    const char linear[] = "\0\0\0\4gAMA\0\1\x86\xa0\x31\xe8\x96\x5f";
    std::vector<uint8_t> plain(file.begin(), file.begin() + 8);
    for (size_t at = 8; at + 12 <= file.size();)
    {
        const size_t length =
            size_t(file[at]) << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
        const std::string type(file.begin() + long(at) + 4, file.begin() + long(at) + 8);
        const size_t end = std::min(file.size(), at + 12 + length);
        if (type != "gAMA" && type != "sRGB" && type != "iCCP" && type != "cHRM")
            plain.insert(plain.end(), file.begin() + long(at), file.begin() + long(end));
        if (type == "IHDR")
            plain.insert(plain.end(), linear, linear + sizeof(linear) - 1);
        at = end;
    }
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, plain.data(), plain.size()))
        return {};
    png.format = PNG_FORMAT_LINEAR_RGB_ALPHA;
    std::vector<uint16_t> rgba(PNG_IMAGE_SIZE(png) / 2);
    return png_image_finish_read(&png, nullptr, rgba.data(), 0, nullptr) ? rgba
                                                                         : std::vector<uint16_t>();
}

int Through565(int value, int bits)
{
    const int maximum = (1 << bits) - 1;
    return ((value >> (8 - bits)) * 255 + maximum / 2) / maximum;
}

using PNGSuite = RenderTest;
} // namespace

TEST_F(PNGSuite, EveryImageDecodesAndDrawsAsLibpngReadsItAndCorruptOnesAreRefused)
{
    const fs::path suite = TestDataDir() / "pngsuite";
    int decoded = 0, refused = 0, drawn = 0;
    for (const auto& entry : fs::directory_iterator(suite))
    {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".png")
            continue;
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes = ReadBytes(entry.path());
        fs::copy_file(entry.path(), m_dir / name);
        PNGImage image;
        const bool corrupt = name[0] == 'x'; // the suite's naming
        ASSERT_EQ(image.Decode(bytes.data(), bytes.size()), !corrupt);
        Texture* texture = m_gl.GetRenderer().LoadTexture(name.c_str());
        if (corrupt)
        {
            EXPECT_EQ(texture, nullptr);
            ++refused;
            continue;
        }
        const std::vector<uint16_t> reference = StoredSamples(bytes); // empty if libpng fails
        const int w = image.GetWidth(), h = image.GetHeight();
        ASSERT_EQ(reference.size(), size_t(w) * h * 4);
        // Alpha comes from an alpha channel or a tRNS chunk.
        const bool trns =
            std::search(bytes.begin(), bytes.end(), "tRNS", "tRNS" + 4) != bytes.end();
        EXPECT_EQ(image.HasAlpha(), bytes[25] == 4 || bytes[25] == 6 || trns); // by colour type
        const std::vector<uint8_t>& rgba = image.GetRGBA();
        for (size_t i = 0; i < reference.size(); i += 4)
        {
            const int alpha = rgba[i + 3];
            ASSERT_NEAR(alpha, (reference[i + 3] + 128) / 257, 1) << "texel " << i / 4;
            for (size_t c = 0; c < 3; ++c)
                ASSERT_NEAR((rgba[i + c] * alpha + 127) / 255, (reference[i + c] + 128) / 257, 1)
                    << "texel " << i / 4;
        }
        ++decoded;

        const bool powerOfTwo = (w & (w - 1)) == 0 && (h & (h - 1)) == 0;
        ASSERT_EQ(texture != nullptr, powerOfTwo) << w << " x " << h;
        if (!texture)
            continue;
        EXPECT_TRUE(texture->GetWidth() == w && texture->GetHeight() == h);
        texture->Release();
        // Stretched over a grey screen: opaque images as RGB565, the others
        // premultiplied and blended.
        Material* material = Material::Create(name.c_str());
        const std::vector<uint8_t> frame = DrawQuad(material, 0x404040);
        material->Release();
        for (auto [tx, ty] :
             {std::pair{0, 0}, {w - 1, 0}, {w / 2, h / 2}, {std::min(1, w - 1), h - 1}})
        {
            const uint8_t* t = &rgba[(size_t(ty) * w + tx) * 4];
            const Pixel p = At(frame, int((tx + 0.5f) * 480.0f / w), int((ty + 0.5f) * 320.0f / h));
            const int got[3] = {p.r, p.g, p.b};
            for (int c = 0; c < 3; ++c)
            {
                const int expected = image.HasAlpha()
                                         ? (t[c] * t[3] + 127) / 255 + 64 * (255 - t[3]) / 255
                                         : Through565(t[c], c == 1 ? 6 : 5);
                EXPECT_NEAR(got[c], expected, 2)
                    << "texel " << tx << ", " << ty << " channel " << c;
            }
        }
        ++drawn;
    }
    EXPECT_EQ(std::tuple(decoded, refused, drawn), std::tuple(161, 14, 135));

    // A good file cut short or with a damaged byte.
    const std::vector<uint8_t> good = ReadBytes(suite / "basn2c08.png");
    for (const size_t cut : {size_t(0), size_t(30), good.size() - 12, good.size()})
    {
        std::vector<uint8_t> bytes(good.begin(), good.begin() + long(cut));
        if (cut == good.size())
            bytes[cut / 2] ^= 0xFF; // whole, but a damaged byte
        SCOPED_TRACE(cut);
        PNGImage image;
        EXPECT_FALSE(image.Decode(bytes.data(), bytes.size()));
        WriteBytes("bad.png", bytes);
        EXPECT_EQ(m_gl.GetRenderer().LoadTexture("bad.png"), nullptr);
    }
    EXPECT_EQ(TextureCount(), 0);
}
