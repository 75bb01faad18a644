// Start-up with and without a usable OpenGL ES view.
#include "app/ZindleApp.h"
#include "platform/Host.h"
#include "render/Renderer.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace
{
// Sets an environment variable for the scope, restoring the old value after.
class ScopedEnvironment
{
  public:
    ScopedEnvironment(const char* name, const char* value) : m_sName(name)
    {
        if (const char* old = std::getenv(name))
        {
            m_bHad = true;
            m_sOld = old;
        }
        setenv(name, value, 1);
    }
    ~ScopedEnvironment()
    {
        if (m_bHad)
            setenv(m_sName.c_str(), m_sOld.c_str(), 1);
        else
            unsetenv(m_sName.c_str());
    }

  private:
    std::string m_sName, m_sOld;
    bool m_bHad = false;
};

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
    ASSERT_NE(app.GetWindow(), nullptr);
    ASSERT_NE(app.GetRenderer(), nullptr);
    EXPECT_EQ(Renderer::GetInstance(), app.GetRenderer());
    EXPECT_EQ(app.GetRenderer()->GetWindow(), app.GetWindow());
    for (int frame = 0; frame < 3; ++frame)
    {
        app.Update();
        app.Render();
    }
    app.Shutdown();
    EXPECT_EQ(app.GetRenderer(), nullptr);
    EXPECT_EQ(Renderer::GetInstance(), nullptr);
}

TEST(StartUp, WithoutOpenGLStartUpFailsWithAReason)
{
    UseHeadlessHost();
    ScopedEnvironment driver("SDL_VIDEODRIVER", "dummy"); // SDL's driver without GL
    ZindleApp app;
    EXPECT_FALSE(app.Init());
    EXPECT_EQ(app.GetWindow(), nullptr);
    EXPECT_EQ(app.GetRenderer(), nullptr);
    EXPECT_EQ(app.GetState(), nullptr);
    EXPECT_EQ(app.GetNextState(), nullptr) << "no state is queued";
    EXPECT_EQ(Renderer::GetInstance(), nullptr);
    EXPECT_FALSE(app.GetFailure().empty());
}

TEST(StartUp, ProgramWithoutOpenGLExitsWithOneLine)
{
    zindle_test::TempDir data;
    const auto result =
        zindle_test::RunCommand("SDL_VIDEODRIVER=dummy " + zindle_test::ZindleBinary() +
                                " --headless --data " + data.Path().string() + " --seconds 1");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output.rfind("zindle: start-up failed: ", 0), 0u) << result.output;
    EXPECT_EQ(result.output.find('\n'), result.output.size() - 1) << result.output;
}
