// Start-up with and without a usable OpenGL ES view, in process and as the
// real program.
#include "app/ZindleApp.h"
#include "host/Host.h"
#include "render/Renderer.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{
void UseHeadlessHost()
{
    HostOptions options = Host::GetOptions();
    options.bHeadless = true;
    Host::SetOptions(options);
}
} // namespace

TEST(StartUp, RendererComesUpAfterTheWindowAndGoesAtShutdown)
{
    UseHeadlessHost();
    ZindleApp app;
    ASSERT_TRUE(app.Init()) << app.GetFailure();
    ASSERT_NE(app.GetRenderer(), nullptr);
    EXPECT_TRUE(Renderer::GetInstance() == app.GetRenderer() &&
                app.GetRenderer()->GetWindow() == app.GetWindow());
    for (int frame = 0; frame < 3; ++frame)
    {
        app.Update();
        app.Render();
    }
    app.Shutdown();
    EXPECT_TRUE(!app.GetRenderer() && !Renderer::GetInstance());
}

TEST(StartUp, WithoutOpenGLStartUpFailsWithAReason)
{
    UseHeadlessHost();
    const std::string driver = std::getenv("SDL_VIDEODRIVER") ? std::getenv("SDL_VIDEODRIVER") : "";
    setenv("SDL_VIDEODRIVER", "dummy", 1); // SDL's driver without GL
    ZindleApp app;
    const bool started = app.Init();
    setenv("SDL_VIDEODRIVER", driver.c_str(), 1);
    EXPECT_FALSE(started);
    EXPECT_TRUE(!app.GetWindow() && !app.GetRenderer() && !Renderer::GetInstance());
    EXPECT_TRUE(!app.GetState() && !app.GetNextState()) << "no state is queued";
    EXPECT_FALSE(app.GetFailure().empty());

    const auto result = zindle_test::RunCommand(
        "SDL_VIDEODRIVER=dummy " + zindle_test::ZindleBinary() + " --headless --seconds 1");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output.rfind("zindle: start-up failed: ", 0), 0u) << result.output;
    EXPECT_EQ(result.output.find('\n'), result.output.size() - 1) << "one line";
}
