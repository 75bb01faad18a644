// Every image of the PNG test suite through the loader: valid images decode
// with the right size and transparency and, when their sides are powers of
// two, draw as the texels of their layout; corrupt ones give nothing.
#include "platform/Renderer_GL_SDL.h"
#include "render/Camera_2D.h"
#include "render/Material.h"
#include "render/PNGImage.h"
#include "render/Texture.h"
#include "render/TextureManager.h"
#include "support/GLTestContext.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;
using zindle_test::GLTestContext;
using zindle_test::Node_TestQuad;

namespace
{
struct Expectation
{
    bool valid = false;
    int width = 0, height = 0;
    bool alpha = false;
};

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    const size_t last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// Reads the suite's README tables: one row per file, corrupt files first.
std::map<std::string, Expectation> ReadExpectations(const fs::path& readme)
{
    std::map<std::string, Expectation> result;
    std::ifstream in(readme);
    std::string line;
    while (std::getline(in, line))
    {
        if (line.rfind("| ", 0) != 0)
            continue;
        std::vector<std::string> cells;
        std::stringstream row(line.substr(1));
        std::string cell;
        while (std::getline(row, cell, '|'))
            cells.push_back(Trim(cell));
        if (cells.size() < 3 || cells[0].size() < 5 ||
            cells[0].compare(cells[0].size() - 4, 4, ".png") != 0)
            continue;
        Expectation e;
        if (cells[0][0] != 'x')
        {
            if (cells.size() < 7 ||
                std::sscanf(cells[2].c_str(), "%dx%d", &e.width, &e.height) != 2)
                continue;
            e.valid = true;
            e.alpha = cells[6] != "none";
        }
        result[cells[0]] = e;
    }
    return result;
}

bool IsPowerOfTwo(int n)
{
    return n > 0 && (n & (n - 1)) == 0;
}

std::vector<uint8_t> ReadBinary(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The colour a stored texel shows when drawn over black.
void ExpectedColour(const PNGImage& image, const std::vector<uint8_t>& texels, int x, int y,
                    int out[3])
{
    const size_t i = static_cast<size_t>(y) * image.GetWidth() + x;
    if (image.GetLayout() == PNGImage::Layout::RGBA8888)
    {
        for (int c = 0; c < 3; ++c)
            out[c] = texels[i * 4 + c];
        return;
    }
    const unsigned texel = texels[i * 2] | (texels[i * 2 + 1] << 8);
    out[0] = static_cast<int>((texel >> 11) * 255 + 15) / 31;
    out[1] = static_cast<int>(((texel >> 5) & 63) * 255 + 31) / 63;
    out[2] = static_cast<int>((texel & 31) * 255 + 15) / 31;
}
} // namespace

TEST(PNGSuite, EveryImageLoadsOrIsRefusedAsItShould)
{
    const fs::path dir = zindle_test::TestDataDir() / "pngsuite";
    if (zindle_test::TestDataDir().empty() || !fs::is_directory(dir))
        GTEST_SKIP() << "no shared test data";
    const std::map<std::string, Expectation> expected = ReadExpectations(dir / "README.md");
    ASSERT_EQ(expected.size(), 175u) << "the README lists every file of the suite";

    GLTestContext gl(dir);
    ASSERT_TRUE(gl.IsValid());
    Camera_2D camera;
    int drawn = 0;
    for (const auto& [name, e] : expected)
    {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes = ReadBinary(dir / name);
        ASSERT_FALSE(bytes.empty());
        PNGImage image;
        ASSERT_EQ(image.Decode(bytes.data(), bytes.size()), e.valid);

        Texture* texture = gl.GetRenderer().LoadTexture(name.c_str());
        if (!e.valid)
        {
            EXPECT_EQ(texture, nullptr);
            continue;
        }
        EXPECT_EQ(image.GetWidth(), e.width);
        EXPECT_EQ(image.GetHeight(), e.height);
        EXPECT_EQ(image.HasAlpha(), e.alpha);
        EXPECT_EQ(image.GetLayout(),
                  e.alpha ? PNGImage::Layout::RGBA8888 : PNGImage::Layout::RGB565);

        const bool loads = IsPowerOfTwo(e.width) && IsPowerOfTwo(e.height);
        ASSERT_EQ(texture != nullptr, loads);
        if (!texture)
            continue;
        EXPECT_EQ(texture->GetWidth(), e.width);
        EXPECT_EQ(texture->GetHeight(), e.height);
        EXPECT_EQ(texture->HasAlpha(), e.alpha);

        // Draw it stretched over the screen and look at the middle of a few texels.
        Material* material = Material::Create(name.c_str());
        Node* quad = new Node_TestQuad(0.0f, 0.0f, 480.0f, 320.0f, material);
        gl.GetRenderer().BeginFrame(true, 0);
        gl.GetRenderer().RenderTree(quad, &camera);
        gl.GetRenderer().EndFrame(true);
        const std::vector<uint8_t> texels = image.MakeTexels();
        const std::vector<uint8_t> screen = gl.ReadLandscape();
        for (auto [tx, ty] : {std::pair{0, 0}, std::pair{e.width - 1, 0},
                              std::pair{e.width / 2, e.height / 2}, std::pair{1, e.height - 1}})
        {
            tx = std::min(tx, e.width - 1);
            const int sx = static_cast<int>((tx + 0.5f) * 480.0f / e.width);
            const int sy = static_cast<int>((ty + 0.5f) * 320.0f / e.height);
            int colour[3];
            ExpectedColour(image, texels, tx, ty, colour);
            const uint8_t* p = &screen[(static_cast<size_t>(sy) * 480 + sx) * 4];
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(p[c], colour[c], 2) << "texel " << tx << ", " << ty << " channel " << c;
        }
        quad->Release();
        material->Release();
        texture->Release();
        ++drawn;
    }
    EXPECT_GT(drawn, 100);
    EXPECT_EQ(gl.GetRenderer().GetTextureManager()->GetTextureCount(), 0);
}
