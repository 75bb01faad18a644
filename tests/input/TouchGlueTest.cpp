// Platform contacts through the touch glue into the real touch manager: rotation
// and truncation into landscape points, and the repair of stale contacts.
#include "input/TouchGlue.h"
#include "app/Window.h"
#include "input/TouchListener.h"
#include "input/TouchManager.h"
#include "render/Renderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace
{
bool Landscape()
{
    return true;
}
bool Portrait()
{
    return false;
}

class PortraitWindow : public Window
{
  public:
    int GetWidth() const override { return 320; }
    int GetHeight() const override { return 480; }
    bool IsFullscreen() const override { return false; }
    int Process() override { return 0; }
};

// Answers only the orientation question.
class OrientationRenderer : public Renderer
{
  public:
    OrientationRenderer(Window* window, bool landscape) : Renderer(window), m_bLandscape(landscape)
    {
    }
    bool RecreateDevice() override { return true; }
    bool IsValid() override { return true; }
    void SetMaterial(Material*) override {}
    void SetTransform(const Transform&) override {}
    void BeginFrame(bool, unsigned int) override {}
    void EndFrame(bool) override {}
    void RenderTree(Node*, Camera*) override {}
    bool IsMainThread() override { return true; }
    bool GetLandscape() override { return m_bLandscape; }

  private:
    bool m_bLandscape;
};

struct Event
{
    std::string what;
    int id, x, y;
};

// Takes every contact and logs what happens to it.
class Logger : public TouchListener
{
  public:
    Logger() { TouchManager::GetInstance()->AddListener(this); }
    ~Logger() override { TouchManager::GetInstance()->RemoveListener(this); }
    bool TouchGetBid(int, int, float& bid) override
    {
        bid = 1.0f;
        return true;
    }
    void TouchBegan(int id, int x, int y) override { log.push_back({"began", id, x, y}); }
    void TouchMoved(int id, int x, int y, int, int) override { log.push_back({"moved", id, x, y}); }
    void TouchEnded(int id, int x, int y, int, int) override { log.push_back({"ended", id, x, y}); }
    void TouchCanceled(int id, int x, int y, int, int) override
    {
        log.push_back({"canceled", id, x, y});
    }
    std::vector<Event> log;
};

class TouchGlueTest : public ::testing::Test
{
  protected:
    void SetUp() override { TouchManager::Startup(); }
    void TearDown() override { TouchManager::Shutdown(); }

    TouchGlue::Contact At(int handle, float x, float y) { return {&m_handles[handle], x, y}; }
    char m_handles[8] = {};
};

void ExpectEvent(const Event& e, const std::string& what, int id, int x, int y)
{
    EXPECT_EQ(e.what, what);
    EXPECT_EQ(e.id, id);
    EXPECT_EQ(e.x, x);
    EXPECT_EQ(e.y, y);
}
} // namespace

TEST_F(TouchGlueTest, RotatesPortraitViewPointsIntoLandscapeAndTruncates)
{
    struct Case
    {
        const char* name;
        TouchGlue::LandscapeQuery query;
        float vx, vy;
        int x, y; // as the manager receives them, before its own offset
    };
    const Case cases[] = {
        {"landscape", Landscape, 100.7f, 200.2f, 200, 219},
        {"portrait", Portrait, 100.7f, 200.2f, 100, 200},
        {"landscape top-left", Landscape, 320.0f, 0.0f, 0, 0},
        {"landscape bottom-right", Landscape, 0.5f, 479.9f, 479, 319},
        {"no renderer answers portrait", nullptr, 10.9f, 20.9f, 10, 20},
        {"far off the screen: held a million points away", Portrait, 1e30f, -1e30f, 1000000,
         -1000000},
        {"not a number", Portrait, std::nanf(""), 7.0f, 0, 7},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        Logger logger;
        const TouchGlue glue(320.0f, c.query);
        const TouchGlue::Contact contact = At(0, c.vx, c.vy);
        glue.TouchesBegan(&contact, 1, &contact, 1);
        ASSERT_EQ(logger.log.size(), 1u);
        ExpectEvent(logger.log[0], "began", 0, c.x + TouchManager::c_iOffsetX, c.y);
        glue.TouchesEnded(&contact, 1, &contact, 1);
    }
}

TEST_F(TouchGlueTest, WithoutAQueryTheRendererDecidesTheRotation)
{
    PortraitWindow window;
    const TouchGlue glue;
    float x = 100.7f, y = 200.2f;
    glue.RotateCoords(x, y);
    EXPECT_FLOAT_EQ(x, 100.7f) << "no renderer: no rotation";
    for (bool landscape : {true, false})
    {
        SCOPED_TRACE(landscape);
        OrientationRenderer renderer(&window, landscape);
        ASSERT_EQ(Renderer::GetInstance(), &renderer);
        x = 100.7f;
        y = 200.2f;
        glue.RotateCoords(x, y);
        EXPECT_FLOAT_EQ(x, landscape ? 200.2f : 100.7f);
        EXPECT_FLOAT_EQ(y, landscape ? 320.0f - 100.7f : 200.2f);
    }
}

TEST_F(TouchGlueTest, FollowsOneFingerFromDownToUp)
{
    Logger logger;
    const TouchGlue glue(320.0f, Landscape);
    TouchGlue::Contact finger = At(0, 300.0f, 10.0f); // landscape (10, 20)
    glue.TouchesBegan(&finger, 1, &finger, 1);
    finger.x = 200.0f; // landscape (10, 120)
    glue.TouchesMoved(&finger, 1);
    finger.y = 50.0f; // landscape (50, 120)
    glue.TouchesEnded(&finger, 1, &finger, 1);
    ASSERT_EQ(logger.log.size(), 3u);
    ExpectEvent(logger.log[0], "began", 0, 15, 20);
    ExpectEvent(logger.log[1], "moved", 0, 15, 120);
    ExpectEvent(logger.log[2], "ended", 0, 55, 120);
    EXPECT_EQ(TouchManager::GetInstance()->GetActiveTouchCount(), 0);
}

TEST_F(TouchGlueTest, ASecondFingerKeepsTheHeldOneAndCancelsAStaleOne)
{
    Logger logger;
    const TouchGlue glue(320.0f, Landscape);
    const TouchGlue::Contact held = At(0, 300.0f, 10.0f);
    const TouchGlue::Contact lost = At(1, 300.0f, 20.0f);
    glue.TouchesBegan(&held, 1, &held, 1);
    // A contact the platform later forgets without telling (its end was lost).
    const TouchGlue::Contact both[] = {held, lost};
    glue.TouchesBegan(&lost, 1, both, 2);
    logger.log.clear();

    const TouchGlue::Contact second = At(2, 100.0f, 100.0f);
    const TouchGlue::Contact now[] = {held, second};
    glue.TouchesBegan(&second, 1, now, 2);
    ASSERT_EQ(logger.log.size(), 2u);
    ExpectEvent(logger.log[0], "canceled", 1, 25, 20);
    ExpectEvent(logger.log[1], "began", 1, 105, 220);
    EXPECT_EQ(TouchManager::GetInstance()->FindTouchID(held.identity), 0);
}

TEST_F(TouchGlueTest, ALoneNewFingerClearsStaleContactsBeforeItsAuction)
{
    Logger logger;
    const TouchGlue glue(320.0f, Landscape);
    const TouchGlue::Contact a = At(0, 300.0f, 10.0f), b = At(1, 200.0f, 30.0f);
    const TouchGlue::Contact ab[] = {a, b};
    glue.TouchesBegan(ab, 2, ab, 2);
    logger.log.clear();

    const TouchGlue::Contact fresh = At(2, 310.0f, 0.0f);
    glue.TouchesBegan(&fresh, 1, &fresh, 1);
    ASSERT_EQ(logger.log.size(), 3u);
    ExpectEvent(logger.log[0], "canceled", 0, 15, 20);
    ExpectEvent(logger.log[1], "canceled", 1, 35, 120);
    ExpectEvent(logger.log[2], "began", 0, 5, 10);
}

TEST_F(TouchGlueTest, LiftingTheLastFingerEndsItThenClearsLeftovers)
{
    Logger logger;
    const TouchGlue glue(320.0f, Landscape);
    const TouchGlue::Contact a = At(0, 300.0f, 10.0f), b = At(1, 200.0f, 30.0f);
    const TouchGlue::Contact ab[] = {a, b};
    glue.TouchesBegan(ab, 2, ab, 2);
    logger.log.clear();

    // b's end was lost; a lifts as the only finger the platform still lists.
    glue.TouchesEnded(&a, 1, &a, 1);
    ASSERT_EQ(logger.log.size(), 2u);
    ExpectEvent(logger.log[0], "ended", 0, 15, 20);
    ExpectEvent(logger.log[1], "canceled", 1, 35, 120);
    EXPECT_EQ(TouchManager::GetInstance()->GetActiveTouchCount(), 0);
}

TEST_F(TouchGlueTest, CancelledTouchesReachOwnersAsCancels)
{
    Logger logger;
    const TouchGlue glue(320.0f, Landscape);
    const TouchGlue::Contact a = At(0, 300.0f, 10.0f), b = At(1, 200.0f, 30.0f);
    const TouchGlue::Contact ab[] = {a, b};
    glue.TouchesBegan(ab, 2, ab, 2);
    logger.log.clear();
    glue.TouchesCanceled(ab, 2, ab, 2);
    ASSERT_EQ(logger.log.size(), 2u);
    ExpectEvent(logger.log[0], "canceled", 0, 15, 20);
    ExpectEvent(logger.log[1], "canceled", 1, 35, 120);
}

TEST_F(TouchGlueTest, MovesOfUnacceptedContactsAndEventsWithoutAManagerAreDropped)
{
    const TouchGlue glue(320.0f, Landscape);
    const TouchGlue::Contact nobody = At(0, 100.0f, 100.0f);
    {
        SCOPED_TRACE("no bidder: the contact never enters the table");
        glue.TouchesBegan(&nobody, 1, &nobody, 1);
        EXPECT_EQ(TouchManager::GetInstance()->GetActiveTouchCount(), 0);
        Logger late; // registers after the contact landed
        glue.TouchesMoved(&nobody, 1);
        glue.TouchesEnded(&nobody, 1, &nobody, 1);
        EXPECT_TRUE(late.log.empty());
    }
    {
        SCOPED_TRACE("no manager");
        TouchManager::Shutdown();
        glue.TouchesBegan(&nobody, 1, &nobody, 1);
        glue.TouchesMoved(&nobody, 1);
        glue.TouchesEnded(&nobody, 1, &nobody, 1);
        glue.TouchesCanceled(&nobody, 1, &nobody, 1);
        glue.VerifyTouches(&nobody, 1);
        EXPECT_EQ(TouchManager::GetInstance(), nullptr);
        TouchManager::Startup();
    }
}
