// Loading textures on other threads while the main thread presents frames:
// the GL context is handed over between frames and back.
#include "RenderTestSupport.h"

#include "render/Texture.h"

#include <SDL.h>

#include <atomic>
#include <thread>

using namespace zindle_test;
using RendererThread = RenderTest;

TEST_F(RendererThread, TexturesLoadedOnOtherThreadsDrawOnTheMainThread)
{
    const uint8_t colours[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    const std::string names[3] = {"t0.png", "t1.png", "t2.png"};
    for (int i = 0; i < 3; ++i)
        WriteSolidPNG(m_dir / names[i], 8, 8, colours[i][0], colours[i][1], colours[i][2]);
    Renderer_GL_SDL& renderer = m_gl.GetRenderer();
    SDL_GLContext mainContext = SDL_GL_GetCurrentContext();
    // The main thread takes its own lock without waiting.
    renderer.LockSemaphore();
    renderer.LockSemaphore();
    renderer.UnlockSemaphore();
    EXPECT_EQ(SDL_GL_GetCurrentContext(), mainContext);

    // Each worker loads its image twice; the second load is served by the cache.
    std::atomic<int> finished{0};
    Texture* loaded[3][2] = {};
    std::vector<std::thread> workers;
    for (int i = 0; i < 3; ++i)
        workers.emplace_back(
            [&, i]()
            {
                loaded[i][0] = renderer.LoadTexture(names[i].c_str());
                loaded[i][1] = renderer.LoadTexture(names[i].c_str());
                ++finished;
            });
    while (finished.load() < 3)
    {
        renderer.BeginFrame(true, 0);
        renderer.EndFrame(true);
    }
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(SDL_GL_GetCurrentContext(), mainContext) << "the main thread has its context back";
    EXPECT_EQ(renderer.GetWaitingThreads(), 0);
    for (int i = 0; i < 3; ++i)
    {
        ASSERT_NE(loaded[i][0], nullptr);
        EXPECT_EQ(loaded[i][0], loaded[i][1]);
        Material* material = Material::Create();
        material->SetTexture(0, loaded[i][0]);
        EXPECT_TRUE(
            Near(At(DrawQuad(material), 240, 160), colours[i][0], colours[i][1], colours[i][2], 0))
            << "worker " << i;
        material->Release();
        loaded[i][0]->Release();
        loaded[i][1]->Release();
    }
    EXPECT_EQ(TextureCount(), 0);
}
