// Per-frame cost of the animated scene content, headless: the backdrop with
// four fingers down, the decals, the robot, the note grid at its 128-line
// maximum, and the heap allocations each frame makes (the "allocs/frame"
// counter must read 0). The robot and decal images are written to a temporary
// resource directory at the shipped sizes.
#include "file/File_Bundle.h"
#include "host/Host.h"
#include "host/PNGWriter.h"
#include "input/TouchManager.h"
#include "platform/sdl/Renderer_GL_SDL.h"
#include "platform/sdl/Window_SDL.h"
#include "render/Camera_2D.h"
#include "render/Material.h"
#include "scene/Node_Backdrop.h"
#include "scene/Node_Decals.h"
#include "scene/Node_NoteGrid.h"
#include "scene/Node_Robot.h"
#include "synth/InstrumentState.h"
#include "synth/SoundControl_Theremin.h"

#include <GLES/gl.h>
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace
{
std::atomic<long> g_iAllocations{0};
} // namespace

// The replacement pair below counts every heap allocation; GCC takes the free()
// of a replaced operator new's pointer for a mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size)
{
    g_iAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace
{
// Solid images at the shipped sizes: heads 256, mouths 128, the decal sheet 256 x 128.
bool WriteArt(const std::filesystem::path& dir)
{
    const auto write = [&](const std::string& name, int width, int height)
    {
        std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4, 200);
        std::string error;
        return PNGWriter::WriteRGB((dir / name).string(), width, height, rgba, error);
    };
    bool ok = write("decals.png", 256, 128);
    for (int i = 0; i < Node_Robot::c_iHeadFrames; ++i)
    {
        ok = ok && write("robot" + std::to_string(i) + ".png", 256, 256);
        for (int k = 0; k < Node_Robot::c_iMouthSteps; ++k)
            ok = ok && write("mouth" + std::to_string(i + 1) + "-" + std::to_string(k) + ".png",
                             128, 128);
    }
    return ok;
}

// The renderer, the touch manager and four theremins on a full-screen camera,
// playing by one instrument state.
struct Stage
{
    Stage()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "zindle_bench_XXXXXX");
        if (mkdtemp(pattern.data()))
            artDir = pattern;
        if (!artDir.empty() && WriteArt(artDir))
            File_Bundle::SetResourceDirectory(artDir.string());
        HostOptions options = Host::GetOptions();
        options.bHeadless = true;
        Host::SetOptions(options);
        window = std::make_unique<Window_SDL>(true, false);
        renderer.reset(static_cast<Renderer_GL_SDL*>(Renderer::Create(window.get())));
        TouchManager::Startup();
        camera = std::make_unique<Camera_2D>();
        for (auto& voice : voices)
        {
            voice = std::make_unique<SoundControl_Theremin>(instrument);
            voice->SetCamera(camera.get());
        }
    }
    ~Stage()
    {
        for (auto& voice : voices)
            voice.reset();
        TouchManager::Shutdown();
        camera.reset();
        renderer.reset();
        window.reset();
        if (!artDir.empty())
            std::filesystem::remove_all(artDir);
    }
    bool IsValid() const { return renderer && renderer->IsValid(); }

    // Four fingers spread over the playing surface.
    void PressFourFingers()
    {
        static int handles[4];
        const int points[4][2] = {{80, 90}, {200, 240}, {330, 120}, {440, 260}};
        for (int i = 0; i < 4; ++i)
            TouchManager::GetInstance()->TouchBegan(&handles[i], points[i][0], points[i][1]);
    }

    // Draws one frame of root and waits for the GL work to finish.
    void Draw(Node* root)
    {
        renderer->BeginFrame(true, 0);
        renderer->RenderTree(root, camera.get());
        renderer->EndFrame(false);
        glFinish();
    }

    std::filesystem::path artDir;
    std::unique_ptr<Window_SDL> window;
    std::unique_ptr<Renderer_GL_SDL> renderer;
    std::unique_ptr<Camera_2D> camera;
    InstrumentState instrument;
    std::unique_ptr<SoundControl_Theremin> voices[4];
};

Stage* g_pStage = nullptr;

// Runs body once per iteration and reports heap allocations per iteration.
template <typename Body> void Measure(benchmark::State& state, Body body)
{
    body(); // warm-up: first-use allocations are not per frame
    const long before = g_iAllocations.load();
    for (auto _ : state)
        body();
    state.counters["allocs/frame"] =
        benchmark::Counter(static_cast<double>(g_iAllocations.load() - before) /
                           static_cast<double>(state.iterations()));
}

void BM_BackdropUpdate_FourFingers(benchmark::State& state)
{
    std::srand(1);
    auto* backdrop = new Node_Backdrop();
    for (auto& voice : g_pStage->voices)
        backdrop->AddTheremin(voice.get());
    Measure(state, [&] { backdrop->Update(0.05f); });
    backdrop->Release();
}
BENCHMARK(BM_BackdropUpdate_FourFingers);

void BM_BackdropRender_FourFingers(benchmark::State& state)
{
    std::srand(1);
    auto* backdrop = new Node_Backdrop();
    for (auto& voice : g_pStage->voices)
        backdrop->AddTheremin(voice.get());
    Material* material = Material::Create();
    backdrop->SetMaterial(material);
    material->Release();
    backdrop->Update(0.05f);
    Measure(state, [&] { g_pStage->Draw(backdrop); });
    backdrop->Release();
}
BENCHMARK(BM_BackdropRender_FourFingers);

void BM_NoteGridUpdateGeometry_128Lines(benchmark::State& state)
{
    InstrumentState& instrument = g_pStage->instrument;
    instrument.SetPitchZoom(-3.0f); // wider than the full range: 128 lines
    auto* grid = new Node_NoteGrid(instrument);
    if (grid->GetLineCount() != Node_NoteGrid::c_iMaxLines)
        state.SkipWithError("the grid is not at its maximum");
    Measure(state, [&] { grid->UpdateGeometry(); });
    grid->Release();
    instrument.SetPitchZoom(0.0f);
}
BENCHMARK(BM_NoteGridUpdateGeometry_128Lines);

void BM_NoteGridRender_128Lines(benchmark::State& state)
{
    InstrumentState& instrument = g_pStage->instrument;
    instrument.SetPitchZoom(-3.0f);
    auto* grid = new Node_NoteGrid(instrument);
    Measure(state, [&] { g_pStage->Draw(grid); });
    grid->Release();
    instrument.SetPitchZoom(0.0f);
}
BENCHMARK(BM_NoteGridRender_128Lines);

void BM_DecalsUpdate(benchmark::State& state)
{
    std::srand(1);
    auto* decals = new Node_Decals();
    if (!decals->GetBatch())
        state.SkipWithError("no decal sheet");
    Measure(state, [&] { decals->Update(0.05f); });
    decals->Release();
}
BENCHMARK(BM_DecalsUpdate);

void BM_DecalsRender(benchmark::State& state)
{
    std::srand(1);
    auto* decals = new Node_Decals();
    decals->Update(0.05f);
    Measure(state, [&] { g_pStage->Draw(decals); });
    decals->Release();
}
BENCHMARK(BM_DecalsRender);

Node_Robot* MakeRobot()
{
    auto* robot = new Node_Robot();
    for (auto& voice : g_pStage->voices)
        robot->AddTheremin(voice.get());
    robot->SetMouthMode(3);
    return robot;
}

// The robot's per-frame update alone: picking the frames and placing the sprites.
void BM_RobotUpdate(benchmark::State& state)
{
    Node_Robot* robot = MakeRobot();
    if (!robot->GetHeadSprite(0))
        state.SkipWithError("no robot images");
    Measure(state, [&] { robot->Render(*g_pStage->renderer); });
    robot->Release();
}
BENCHMARK(BM_RobotUpdate);

void BM_RobotRender(benchmark::State& state)
{
    Node_Robot* robot = MakeRobot();
    Measure(state, [&] { g_pStage->Draw(robot); });
    robot->Release();
}
BENCHMARK(BM_RobotRender);

// The frame around the drawables alone, to subtract from the Render figures.
void BM_EmptyFrame(benchmark::State& state)
{
    auto* root = new Node();
    Measure(state, [&] { g_pStage->Draw(root); });
    root->Release();
}
BENCHMARK(BM_EmptyFrame);
} // namespace

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    benchmark::Initialize(&argc, argv);
    Stage stage;
    if (!stage.IsValid())
    {
        std::fprintf(stderr, "bench_scene_content: no offscreen OpenGL ES 1.1\n");
        return 1;
    }
    g_pStage = &stage;
    stage.PressFourFingers();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_pStage = nullptr;
    return 0;
}
