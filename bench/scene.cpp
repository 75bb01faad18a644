// Scene drawable costs, headless on SDL's offscreen driver: a sprite batch
// repacked each frame with every sprite moving or none, a text line rebuilt,
// and a font descriptor parsed.
#include "HeadlessRenderer.h"
#include "file/File_Bundle.h"
#include "formats/FontDescriptor.h"
#include "host/Host.h"
#include "platform/sdl/Renderer_GL_SDL.h"
#include "platform/sdl/Window_SDL.h"
#include "render/Camera_2D.h"
#include "render/Material.h"
#include "render/Texture.h"
#include "scene/Node_SpriteBatch_GL.h"
#include "scene/Node_Text_GL.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace
{
using Scene = HeadlessRenderer;

// The shared BMFont test files, when the checkout has them.
std::filesystem::path FontDir()
{
    const std::filesystem::path dir =
        std::filesystem::path(ZINDLE_SOURCE_DATA_DIR) / "../../shared/testdata/bmfont";
    return std::filesystem::exists(dir / "marediv.fnt") ? dir : std::filesystem::path();
}

// A batch of sprites on a 256 x 256 page (a font page serves), each a 32 x 32
// cell; moving: every sprite is placed (and so recomputed, rotated) each frame.
void SpriteBatchFrame(benchmark::State& state, bool moving)
{
    const std::filesystem::path dir = FontDir();
    if (dir.empty())
    {
        state.SkipWithError("no shared BMFont test files");
        return;
    }
    Scene scene;
    File_Bundle::SetResourceDirectory(dir.string());
    const int count = static_cast<int>(state.range(0));
    Material* material = Material::Create("data/marediv_0.png");
    if (!material->GetTexture(0))
    {
        material->Release();
        state.SkipWithError("the page image did not load");
        return;
    }
    Node_SpriteBatch* batch = Node_SpriteBatch::Create(count, material);
    material->Release();
    Camera_2D camera;
    for (int i = 0; i < count; ++i)
    {
        batch->SetUV(i, Vector2f(32.0f * (i % 8), 32.0f * (i / 8 % 8)),
                     Vector2f(32.0f * (i % 8) + 32, 32.0f * (i / 8 % 8) + 32));
        batch->SetOffset(i, Vector2f(0.5f, 0.5f), false);
        batch->SetPosition(i, 7.0f * i, 5.0f * i, false, 0.1f * i, 1.0f);
    }
    float t = 0.0f;
    for (auto _ : state)
    {
        if (moving)
        {
            t += 0.05f;
            for (int i = 0; i < count; ++i)
                batch->SetPosition(i, 7.0f * i + t, 5.0f * i, false, 0.1f * i + t, 1.0f);
        }
        scene.renderer->BeginFrame(true, 0);
        scene.renderer->RenderTree(batch, &camera);
        scene.renderer->EndFrame(false);
    }
    state.SetItemsProcessed(state.iterations() * count);
    batch->Release();
}

void BM_SpriteBatchMoving(benchmark::State& state)
{
    SpriteBatchFrame(state, true);
}
void BM_SpriteBatchStill(benchmark::State& state)
{
    SpriteBatchFrame(state, false);
}
BENCHMARK(BM_SpriteBatchMoving)->Arg(16)->Arg(64)->Arg(256)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SpriteBatchStill)->Arg(16)->Arg(64)->Arg(256)->Unit(benchmark::kMicrosecond);

// A 32-character line rebuilt after each change of text, justified centre.
void BM_TextRebuild(benchmark::State& state)
{
    const std::filesystem::path dir = FontDir();
    if (dir.empty())
    {
        state.SkipWithError("no shared BMFont test files");
        return;
    }
    Scene scene;
    File_Bundle::SetResourceDirectory(dir.string());
    auto* text = static_cast<Node_Text_GL*>(Node_Text::Create());
    text->SetFont("data/fonts/marediv.fnt");
    if (!text->GetFont())
    {
        text->Release();
        state.SkipWithError("the font did not load");
        return;
    }
    text->SetJustify(Node_Text::c_iJustifyCentre);
    const char* lines[2] = {"The Quick Brown Fox Jumps Over AV",
                            "Pack My Box With Five Dozen Jugs"};
    int which = 0;
    for (auto _ : state)
    {
        text->SetText(lines[which ^= 1]);
        benchmark::DoNotOptimize(text->UpdateGeometry());
    }
    state.SetItemsProcessed(state.iterations() * 32);
    text->Release();
}
BENCHMARK(BM_TextRebuild)->Unit(benchmark::kMicrosecond);

void BM_FontDescriptorParse(benchmark::State& state)
{
    const std::filesystem::path dir = FontDir();
    if (dir.empty())
    {
        state.SkipWithError("no shared BMFont test files");
        return;
    }
    std::ifstream in(dir / "marediv.fnt", std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    for (auto _ : state)
    {
        FontDescriptor descriptor;
        benchmark::DoNotOptimize(descriptor.Parse(bytes.data(), bytes.size()));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_FontDescriptorParse)->Unit(benchmark::kMicrosecond);
} // namespace

BENCHMARK_MAIN();
