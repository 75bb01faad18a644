// Loading textures on other threads while the main thread presents frames:
// the GL context is handed over between frames and back.
#include "platform/Renderer_GL_SDL.h"
#include "render/Camera_2D.h"
#include "render/Material.h"
#include "render/Texture.h"
#include "render/TextureManager.h"
#include "support/GLTestContext.h"
#include "support/TestSupport.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using zindle_test::GLTestContext;
using zindle_test::Node_TestQuad;

TEST(RendererThread, TexturesLoadedOnOtherThreadsDrawOnTheMainThread)
{
    zindle_test::TempDir dir;
    const uint8_t colours[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    const char* names[3] = {"t0.png", "t1.png", "t2.png"};
    for (int i = 0; i < 3; ++i)
        zindle_test::WriteSolidPNG(dir / names[i], 8, 8, colours[i][0], colours[i][1],
                                   colours[i][2]);
    GLTestContext gl(dir.Path());
    ASSERT_TRUE(gl.IsValid());
    Renderer_GL_SDL& renderer = gl.GetRenderer();
    SDL_GLContext mainContext = SDL_GL_GetCurrentContext();
    ASSERT_NE(mainContext, nullptr);

    // Each worker loads its own image twice; the second load is served by the cache.
    std::atomic<int> finished{0};
    Texture* loaded[3][2] = {};
    std::vector<std::thread> workers;
    for (int i = 0; i < 3; ++i)
    {
        workers.emplace_back(
            [&, i]()
            {
                loaded[i][0] = renderer.LoadTexture(names[i]);
                loaded[i][1] = renderer.LoadTexture(names[i]);
                ++finished;
            });
    }
    int frames = 0;
    while (finished.load() < 3)
    {
        renderer.BeginFrame(true, 0);
        renderer.EndFrame(true);
        ++frames;
    }
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_GT(frames, 0);
    // The main thread has its context back.
    EXPECT_EQ(SDL_GL_GetCurrentContext(), mainContext);
    EXPECT_EQ(renderer.GetWaitingThreads(), 0);
    EXPECT_EQ(renderer.GetTextureManager()->GetTextureCount(), 3);

    Camera_2D camera;
    for (int i = 0; i < 3; ++i)
    {
        SCOPED_TRACE(testing::Message() << "worker " << i);
        ASSERT_NE(loaded[i][0], nullptr);
        EXPECT_EQ(loaded[i][0], loaded[i][1]);
        EXPECT_EQ(loaded[i][0]->GetRefCount(), 2);
        Material* material = Material::Create();
        material->SetTexture(0, loaded[i][0]);
        Node* quad = new Node_TestQuad(0.0f, 0.0f, 480.0f, 320.0f, material);
        renderer.BeginFrame(true, 0);
        renderer.RenderTree(quad, &camera);
        renderer.EndFrame(true);
        const zindle_test::Pixel p = gl.LandscapePixel(240, 160);
        EXPECT_EQ(p.r, colours[i][0]);
        EXPECT_EQ(p.g, colours[i][1]);
        EXPECT_EQ(p.b, colours[i][2]);
        quad->Release();
        material->Release();
        loaded[i][0]->Release();
        loaded[i][1]->Release();
    }
    EXPECT_EQ(renderer.GetTextureManager()->GetTextureCount(), 0);
}

TEST(RendererThread, MainThreadNeitherWaitsNorHandsOver)
{
    zindle_test::TempDir dir;
    zindle_test::WriteSolidPNG(dir / "t.png", 4, 4, 9, 9, 9);
    GLTestContext gl(dir.Path());
    ASSERT_TRUE(gl.IsValid());
    Renderer_GL_SDL& renderer = gl.GetRenderer();
    SDL_GLContext context = SDL_GL_GetCurrentContext();
    // The main thread owns the lock already: taking it again must not block.
    renderer.LockSemaphore();
    renderer.LockSemaphore();
    renderer.UnlockSemaphore();
    EXPECT_EQ(SDL_GL_GetCurrentContext(), context);
    Texture* texture = renderer.LoadTexture("t.png");
    EXPECT_NE(texture, nullptr);
    renderer.BeginFrame(true, 0);
    renderer.EndFrame(true);
    EXPECT_EQ(SDL_GL_GetCurrentContext(), context);
    if (texture)
        texture->Release();
}
