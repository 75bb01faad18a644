#include "support/GLTestContext.h"

#include "file/File_Bundle.h"
#include "host/Host.h"
#include "platform/sdl/Renderer_GL_SDL.h"
#include "platform/sdl/View_SDL.h"
#include "platform/sdl/Window_SDL.h"
#include "render/Renderer.h"

#include <GLES/gl.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace zindle_test
{
GLTestContext::GLTestContext(const std::filesystem::path& resourceDir)
{
#if defined(__SANITIZE_THREAD__)
    // llvmpipe's own rasterizer threads synchronise inside the uninstrumented
    // driver, which ThreadSanitizer reports as races: draw on one thread.
    setenv("LP_NUM_THREADS", "0", 0);
#endif
    if (!resourceDir.empty())
        File_Bundle::SetResourceDirectory(resourceDir.string());
    HostOptions options = Host::GetOptions();
    options.bHeadless = true;
    Host::SetOptions(options);
    m_pWindow = new Window_SDL(true, false);
    m_pRenderer = static_cast<Renderer_GL_SDL*>(Renderer::Create(m_pWindow));
}

GLTestContext::~GLTestContext()
{
    delete m_pRenderer;
    delete m_pWindow;
}

bool GLTestContext::IsValid() const
{
    return m_pRenderer && m_pRenderer->IsValid();
}

View_SDL& GLTestContext::GetView()
{
    return *m_pRenderer->GetView();
}

std::vector<uint8_t> GLTestContext::ReadLandscape()
{
    std::vector<uint8_t> rgba;
    GetView().ReadLandscapeFrame(rgba);
    return rgba;
}

Pixel GLTestContext::LandscapePixel(int x, int y)
{
    const std::vector<uint8_t> rgba = ReadLandscape();
    const size_t i = (static_cast<size_t>(y) * 480 + x) * 4;
    if (rgba.size() < i + 4)
        return {-1, -1, -1, -1};
    return {rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
}

Pixel GLTestContext::FramebufferPixel(int x, int y)
{
    GetView().BindFramebuffer();
    uint8_t p[4] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2], p[3]};
}

Node_TestQuad::Node_TestQuad(float left, float top, float right, float bottom, Material* material,
                             uint32_t colour)
    : m_pMaterial(material)
{
    if (m_pMaterial)
        m_pMaterial->AddRef();
    const float x[4] = {left, right, left, right};
    const float y[4] = {top, top, bottom, bottom};
    for (int i = 0; i < 4; ++i)
    {
        m_vertices[i].position.Set(x[i], y[i], 0.0f);
        m_vertices[i].normal.Set(0.0f, 0.0f, 1.0f);
        m_vertices[i].SetColour(colour);
        m_vertices[i].texCoord.Set(i % 2 ? 1.0f : 0.0f, i / 2 ? 1.0f : 0.0f);
    }
}

Node_TestQuad::~Node_TestQuad()
{
    if (m_pMaterial)
        m_pMaterial->Release();
}

void Node_TestQuad::Render(Renderer& renderer)
{
    renderer.SetMaterial(m_pMaterial);
    const auto* base = reinterpret_cast<const uint8_t*>(m_vertices);
    glVertexPointer(3, GL_FLOAT, sizeof(ModelVertex), base + offsetof(ModelVertex, position));
    glNormalPointer(GL_FLOAT, sizeof(ModelVertex), base + offsetof(ModelVertex, normal));
    glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(ModelVertex), base + offsetof(ModelVertex, colour));
    glTexCoordPointer(2, GL_FLOAT, sizeof(ModelVertex), base + offsetof(ModelVertex, texCoord));
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

void WritePNG(const std::filesystem::path& path, int width, int height, int colourType,
              const std::vector<uint8_t>& samples, const std::vector<uint8_t>& palette,
              const std::vector<uint8_t>& trns)
{
    int channels = 1;
    if (colourType == PNG_COLOR_TYPE_RGB)
        channels = 3;
    else if (colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        channels = 2;
    else if (colourType == PNG_COLOR_TYPE_RGBA)
        channels = 4;
    if (samples.size() != static_cast<size_t>(width) * height * channels)
        throw std::runtime_error("WritePNG: sample count does not match the size");

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        throw std::runtime_error("WritePNG: cannot open " + path.string());
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
    {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        throw std::runtime_error("WritePNG: libpng failed");
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (colourType == PNG_COLOR_TYPE_PALETTE)
    {
        std::vector<png_color> colours(palette.size() / 3);
        for (size_t i = 0; i < colours.size(); ++i)
            colours[i] = {palette[i * 3], palette[i * 3 + 1], palette[i * 3 + 2]};
        png_set_PLTE(png, info, colours.data(), static_cast<int>(colours.size()));
    }
    if (!trns.empty())
        png_set_tRNS(png, info, trns.data(), static_cast<int>(trns.size()), nullptr);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, samples.data() + static_cast<size_t>(y) * width * channels);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

void WriteSolidPNG(const std::filesystem::path& path, int width, int height, uint8_t r, uint8_t g,
                   uint8_t b, uint8_t a)
{
    std::vector<uint8_t> samples(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < samples.size(); i += 4)
    {
        samples[i] = r;
        samples[i + 1] = g;
        samples[i + 2] = b;
        samples[i + 3] = a;
    }
    WritePNG(path, width, height, PNG_COLOR_TYPE_RGBA, samples);
}
} // namespace zindle_test
