// Rendering costs, headless on SDL's offscreen driver: loading and uploading
// PNG textures, a cached load, a frame of 100 textured quads, and reading
// the frame back for a screenshot.
#include "HeadlessRenderer.h"
#include "file/File_Bundle.h"
#include "host/Host.h"
#include "platform/sdl/Renderer_GL_SDL.h"
#include "platform/sdl/View_SDL.h"
#include "platform/sdl/Window_SDL.h"
#include "render/Camera_2D.h"
#include "render/Material.h"
#include "render/ModelVertex.h"
#include "render/Texture.h"
#include "scene/Node.h"

#include <GLES/gl.h>
#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
using Scene = HeadlessRenderer;

// A textured square drawn from four ModelVertex records.
class Node_BenchQuad : public Node
{
  public:
    Node_BenchQuad(float x, float y, float side, Material* material) : m_pMaterial(material)
    {
        m_pMaterial->AddRef();
        for (int i = 0; i < 4; ++i)
        {
            m_vertices[i].position.Set(x + (i % 2) * side, y + (i / 2) * side, 0.0f);
            m_vertices[i].normal.Set(0.0f, 0.0f, 1.0f);
            m_vertices[i].SetColour(0xFFFFFFFF);
            m_vertices[i].texCoord.Set(static_cast<float>(i % 2), static_cast<float>(i / 2));
        }
    }
    ~Node_BenchQuad() override { m_pMaterial->Release(); }
    void Render(Renderer& renderer) override
    {
        renderer.SetMaterial(m_pMaterial);
        const auto* base = reinterpret_cast<const uint8_t*>(m_vertices);
        glVertexPointer(3, GL_FLOAT, sizeof(ModelVertex), base + offsetof(ModelVertex, position));
        glNormalPointer(GL_FLOAT, sizeof(ModelVertex), base + offsetof(ModelVertex, normal));
        glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(ModelVertex),
                       base + offsetof(ModelVertex, colour));
        glTexCoordPointer(2, GL_FLOAT, sizeof(ModelVertex), base + offsetof(ModelVertex, texCoord));
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    }

  private:
    ModelVertex m_vertices[4];
    Material* m_pMaterial;
};

// Writes rows of 8-bit samples; false when libpng fails.
bool WritePNGRows(std::FILE* file, int width, int height, int colourType, const uint8_t* samples,
                  size_t rowBytes)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
    {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, samples + static_cast<size_t>(y) * rowBytes);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

// A noisy test image, so compression has work to do.
void WriteImage(const fs::path& path, int width, int height, bool alpha)
{
    const size_t rowBytes = static_cast<size_t>(width) * (alpha ? 4 : 3);
    std::vector<uint8_t> samples(rowBytes * height);
    unsigned seed = 12345;
    for (size_t i = 0; i < samples.size(); ++i)
    {
        seed = seed * 1103515245u + 12345u;
        samples[i] =
            static_cast<uint8_t>((i % rowBytes * 3 + i / rowBytes * 5 + ((seed >> 16) & 15)) & 255);
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return;
    WritePNGRows(file, width, height, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 samples.data(), rowBytes);
    std::fclose(file);
}

// Every PNG of the resource directory, or a set of test images when it has none.
std::vector<std::string> PrepareImages(fs::path& directory)
{
    std::vector<std::string> names;
    std::error_code error;
    const fs::path data =
        std::getenv("ZINDLE_DATA") ? std::getenv("ZINDLE_DATA") : ZINDLE_SOURCE_DATA_DIR;
    if (fs::is_directory(data, error))
    {
        for (const auto& entry : fs::directory_iterator(data, error))
            if (entry.path().extension() == ".png" && entry.path().filename() != "Default.png")
                names.push_back(entry.path().filename().string());
    }
    if (!names.empty())
    {
        directory = data;
        return names;
    }
    directory = fs::temp_directory_path() / "zindle-bench-render";
    fs::create_directories(directory, error);
    struct Image
    {
        const char* name;
        int width, height;
        bool alpha;
    } images[] = {{"bg512.png", 512, 512, false},       {"robot256.png", 256, 256, true},
                  {"panel512x256.png", 512, 256, true}, {"decals256.png", 256, 256, true},
                  {"button64.png", 64, 64, true},       {"lava128.png", 128, 128, false}};
    for (const Image& image : images)
    {
        WriteImage(directory / image.name, image.width, image.height, image.alpha);
        names.push_back(image.name);
    }
    return names;
}

void BM_LoadAndUploadAllImages(benchmark::State& state)
{
    fs::path directory;
    const std::vector<std::string> names = PrepareImages(directory);
    File_Bundle::SetResourceDirectory(directory.string());
    Scene scene;
    if (!scene.renderer || !scene.renderer->IsValid())
    {
        state.SkipWithError("no OpenGL ES 1.1");
        return;
    }
    int64_t texels = 0;
    for (auto _ : state)
    {
        std::vector<Texture*> textures;
        for (const std::string& name : names)
            textures.push_back(scene.renderer->LoadTexture(name.c_str()));
        glFinish();
        for (Texture* texture : textures)
        {
            if (!texture)
                continue;
            texels += static_cast<int64_t>(texture->GetWidth()) * texture->GetHeight();
            texture->Release();
        }
    }
    state.counters["images"] = static_cast<double>(names.size());
    state.counters["texels/s"] =
        benchmark::Counter(static_cast<double>(texels), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LoadAndUploadAllImages)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadCachedTexture(benchmark::State& state)
{
    fs::path directory;
    const std::vector<std::string> names = PrepareImages(directory);
    File_Bundle::SetResourceDirectory(directory.string());
    Scene scene;
    Texture* held = scene.renderer ? scene.renderer->LoadTexture(names.front().c_str()) : nullptr;
    if (!held)
    {
        state.SkipWithError("no texture");
        return;
    }
    for (auto _ : state)
    {
        Texture* again = scene.renderer->LoadTexture(names.front().c_str());
        benchmark::DoNotOptimize(again);
        again->Release();
    }
    held->Release();
}
BENCHMARK(BM_LoadCachedTexture);

void BM_FrameOf100TexturedQuads(benchmark::State& state)
{
    fs::path directory;
    const std::vector<std::string> names = PrepareImages(directory);
    File_Bundle::SetResourceDirectory(directory.string());
    Scene scene;
    if (!scene.renderer || !scene.renderer->IsValid())
    {
        state.SkipWithError("no OpenGL ES 1.1");
        return;
    }
    // Pixels a point: 1 is the classic 480 x 320 frame, 4 is 1920 x 1280.
    if (!scene.renderer->ApplyPixelScale(static_cast<float>(state.range(0))))
    {
        state.SkipWithError("no framebuffer at that scale");
        return;
    }
    Camera_2D camera;
    Material* material = Material::Create(names.front().c_str());
    Node* root = new Node();
    for (int i = 0; i < 100; ++i)
    {
        Node* quad = new Node_BenchQuad(static_cast<float>((i % 10) * 46),
                                        static_cast<float>((i / 10) * 30), 48.0f, material);
        root->AddChild(quad);
        quad->Release();
    }
    for (auto _ : state)
    {
        scene.renderer->BeginFrame(true, 0);
        scene.renderer->RenderTree(root, &camera);
        scene.renderer->EndFrame(true);
        glFinish();
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    root->Release();
    material->Release();
}
BENCHMARK(BM_FrameOf100TexturedQuads)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ReadLandscapeFrame(benchmark::State& state)
{
    Scene scene;
    if (!scene.renderer || !scene.renderer->IsValid())
    {
        state.SkipWithError("no OpenGL ES 1.1");
        return;
    }
    std::vector<uint8_t> rgba;
    for (auto _ : state)
    {
        scene.renderer->GetView()->ReadLandscapeFrame(rgba);
        benchmark::DoNotOptimize(rgba.data());
    }
}
BENCHMARK(BM_ReadLandscapeFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace

BENCHMARK_MAIN();
