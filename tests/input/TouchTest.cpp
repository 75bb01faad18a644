// Real touches through the real touch manager, and platform contacts through
// the touch glue into it: auctions, delivery with the fingertip's offset, the
// table's limits, rotation into landscape points, and the repair of stale contacts.
#include "input/TouchGlue.h"
#include "input/TouchListener.h"
#include "input/TouchManager.h"
#include "support/TouchTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace
{
using zindle_test::LandscapeRenderer;
using zindle_test::PortraitWindow;
using zindle_test::TouchEvent;

// Records every call with its previous position, bids a fixed amount (or
// nothing), and may leave cancels to the default, which ends the touch.
class Listener : public TouchListener
{
  public:
    struct Call
    {
        std::string what;
        int id, x, y, prevX, prevY;
        bool stillStored; // the slot was still active at the call
    };
    explicit Listener(float bid = 1000.0f, bool bids = true, bool ownCancel = true)
        : m_rBid(bid), m_bBids(bids), m_bOwnCancel(ownCancel)
    {
        TouchManager::GetInstance()->AddListener(this);
    }
    ~Listener() override { TouchManager::GetInstance()->RemoveListener(this); }
    bool TouchGetBid(int x, int y, float& bid) override
    {
        asked.push_back({x, y});
        bid = m_rBid;
        return m_bBids && m_iHeld < 0;
    }
    void TouchBegan(int id, int x, int y) override
    {
        Log("began", id, x, y, x, y);
        if (m_rBid < 0.0f)
            m_iHeld = id; // like a theremin: one finger at a time
    }
    void TouchMoved(int id, int x, int y, int px, int py) override
    {
        Log("moved", id, x, y, px, py);
    }
    void TouchEnded(int id, int x, int y, int px, int py) override
    {
        Log("ended", id, x, y, px, py);
        m_iHeld = -1;
    }
    void TouchCanceled(int id, int x, int y, int px, int py) override
    {
        if (m_bOwnCancel)
            Log("canceled", id, x, y, px, py);
        else
            TouchListener::TouchCanceled(id, x, y, px, py);
    }
    std::vector<Call> calls;
    std::vector<std::pair<int, int>> asked;

  private:
    void Log(const char* what, int id, int x, int y, int px, int py)
    {
        int sx = 0, sy = 0;
        const bool stored = TouchManager::GetInstance()->GetTouchPosition(id, sx, sy);
        calls.push_back({what, id, x, y, px, py, stored && sx == px && sy == py});
    }
    float m_rBid;
    bool m_bBids, m_bOwnCancel;
    int m_iHeld = -1;
};

std::string Text(const Listener::Call& c)
{
    return c.what + " " + std::to_string(c.id) + " " + std::to_string(c.x) + "," +
           std::to_string(c.y) + " from " + std::to_string(c.prevX) + "," + std::to_string(c.prevY);
}
std::vector<std::string> Texts(const std::vector<Listener::Call>& calls)
{
    std::vector<std::string> out;
    for (const auto& c : calls)
        out.push_back(Text(c));
    return out;
}

class TouchTest : public ::testing::Test
{
  protected:
    void SetUp() override { TouchManager::Startup(); }
    void TearDown() override { TouchManager::Shutdown(); }
    TouchManager& Manager() { return *TouchManager::GetInstance(); }
    void* Handle(int i) { return &m_handles[i]; }
    TouchGlue::Contact At(int handle, float x, float y) { return {Handle(handle), x, y}; }
    char m_handles[32] = {};
};

bool Landscape()
{
    return true;
}
bool Portrait()
{
    return false;
}
} // namespace

TEST_F(TouchTest, TheFirstHighestBidderOwnsATouchForItsWholeLife)
{
    {
        SCOPED_TRACE("equal bids: the first registered wins; every listener is asked");
        Listener a, b;
        Manager().TouchBegan(Handle(0), 100, 50);
        EXPECT_EQ(a.calls.size(), 1u);
        EXPECT_TRUE(b.calls.empty());
        ASSERT_EQ(b.asked.size(), 1u);
        EXPECT_EQ(b.asked[0], std::make_pair(105, 50)) << "bids see the fingertip's offset";
        Manager().TouchMoved(0, 110, 60);
        Manager().TouchEnded(0, 120, 70);
        EXPECT_EQ(Texts(a.calls), (std::vector<std::string>{"began 0 105,50 from 105,50",
                                                            "moved 0 115,60 from 105,50",
                                                            "ended 0 125,70 from 115,60"}));
        EXPECT_TRUE(a.calls[2].stillStored) << "the slot changes after the call";
        int x = -7, y = -8;
        EXPECT_FALSE(Manager().GetTouchPosition(0, x, y));
        EXPECT_EQ(x, -7) << "a free slot leaves the outputs alone";
    }
    {
        SCOPED_TRACE("a lone negative bid wins; a higher later one displaces the leader");
        Listener idle(-1000.0f), decliner(0.0f, false);
        Manager().TouchBegan(Handle(1), 10, 10);
        EXPECT_EQ(idle.calls.size(), 1u);
        Listener button(1000.0f), low(50.0f);
        Manager().TouchBegan(Handle(2), 10, 10);
        EXPECT_EQ(button.calls.size(), 1u);
        EXPECT_TRUE(low.calls.empty());
        Manager().KillAllTouches();
    }
    {
        SCOPED_TRACE("no bidder: the contact is ignored and its moves dropped");
        Listener decliner(0.0f, false);
        Manager().TouchBegan(Handle(3), 10, 10);
        EXPECT_EQ(Manager().FindTouchID(Handle(3)), -1);
        Manager().TouchMoved(-1, 20, 20);
        EXPECT_TRUE(decliner.calls.empty());
    }
}

TEST_F(TouchTest, TwelveContactsAtMostAndBadIdsAreDroppedQuietly)
{
    Listener owner;
    for (int i = 0; i < 13; ++i)
        Manager().TouchBegan(Handle(i), i, 0);
    EXPECT_EQ(owner.calls.size(), 12u) << "the winner of a full table is not told";
    EXPECT_EQ(Manager().FindTouchID(Handle(12)), -1);
    EXPECT_EQ(Manager().FindTouchID(Handle(11)), 11);
    owner.calls.clear();
    for (int id : {-1, 12, 1000, -2147483647 - 1})
    {
        Manager().TouchMoved(id, 0, 0);
        Manager().TouchEnded(id, 0, 0);
        Manager().TouchCanceled(id, 0, 0);
        Manager().VerifyTouch(id);
    }
    EXPECT_TRUE(owner.calls.empty());
    Manager().TouchMoved(11, 100, 7);
    ASSERT_EQ(owner.calls.size(), 1u);
    EXPECT_EQ(Text(owner.calls[0]), "moved 11 105,7 from 16,0");
}

TEST_F(TouchTest, RepairsCancelStaleTouchesWithTheirStoredPosition)
{
    Listener owner;
    for (int i = 0; i < 4; ++i)
        Manager().TouchBegan(Handle(i), 10 * i, i);
    owner.calls.clear();
    // A verification sweep cancels only what was not verified, and the marks last one sweep.
    Manager().VerifyTouch(0);
    Manager().VerifyTouch(2);
    Manager().KillUnverifiedTouches();
    EXPECT_EQ(Texts(owner.calls),
              (std::vector<std::string>{"canceled 1 15,1 from 15,1", "canceled 3 35,3 from 35,3"}));
    Manager().KillUnverifiedTouches();
    EXPECT_EQ(Manager().GetActiveTouchCount(), 0);
    // Kill-all cancels in id order; a listener without its own cancel hears an end.
    Listener later(2000.0f, true, false);
    Manager().TouchBegan(Handle(5), 50, 60);
    Manager().TouchBegan(Handle(6), 70, 80);
    Manager().KillAllTouches();
    EXPECT_EQ(Texts(later.calls).back(), "ended 1 75,80 from 75,80");
    // A listener removed while it owns touches loses them without a call,
    // even one removing itself inside its own callback.
    auto* gone = new Listener(3000.0f);
    Manager().TouchBegan(Handle(7), 1, 1);
    delete gone;
    EXPECT_EQ(Manager().GetActiveTouchCount(), 0);
    Manager().TouchMoved(0, 5, 5);
    EXPECT_EQ(later.calls.size(), 4u);
}

TEST_F(TouchTest, TheGlueRotatesViewPointsIntoLandscapeAndTruncates)
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
        {"landscape bottom-right", Landscape, 0.5f, 479.9f, 479, 319},
        {"far off: held a million points away", Portrait, 1e30f, -1e30f, 1000000, -1000000},
        {"not a number", Portrait, std::nanf(""), 7.0f, 0, 7},
    };
    zindle_test::TouchRecorder recorder;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const TouchGlue glue(320.0f, c.query);
        const TouchGlue::Contact contact = At(0, c.vx, c.vy);
        glue.TouchesBegan(&contact, 1, &contact, 1);
        ASSERT_FALSE(recorder.log.empty());
        EXPECT_EQ(recorder.log.back().x, c.x + TouchManager::c_iOffsetX);
        EXPECT_EQ(recorder.log.back().y, c.y);
        glue.TouchesEnded(&contact, 1, &contact, 1);
    }
    // Without a query the renderer decides.
    PortraitWindow window;
    LandscapeRenderer renderer(&window);
    float x = 100.7f, y = 200.2f;
    TouchGlue().RotateCoords(x, y);
    EXPECT_FLOAT_EQ(x, 200.2f);
    EXPECT_FLOAT_EQ(y, 320.0f - 100.7f);
}

TEST_F(TouchTest, TheGlueKeepsTheTableInStepWithThePlatformsContacts)
{
    zindle_test::TouchRecorder recorder;
    const TouchGlue glue(320.0f, Landscape);
    auto log = [&]()
    {
        std::vector<std::string> out;
        for (const TouchEvent& e : recorder.log)
            out.push_back(e.what + " " + std::to_string(e.id) + " " + std::to_string(e.x) + "," +
                          std::to_string(e.y));
        recorder.log.clear();
        return out;
    };
    const TouchGlue::Contact held = At(0, 300.0f, 10.0f), lost = At(1, 300.0f, 20.0f);
    const TouchGlue::Contact both[] = {held, lost};
    glue.TouchesBegan(both, 2, both, 2);
    log();
    // A second finger while one is held: the held one is verified, the one the
    // platform forgot (its end was lost) is cancelled.
    const TouchGlue::Contact second = At(2, 100.0f, 100.0f);
    const TouchGlue::Contact now[] = {held, second};
    glue.TouchesBegan(&second, 1, now, 2);
    EXPECT_EQ(log(), (std::vector<std::string>{"canceled 1 25,20", "began 1 105,220"}));
    // Lifting the last finger the platform lists ends it, then clears leftovers.
    glue.TouchesEnded(&held, 1, &held, 1);
    EXPECT_EQ(log(), (std::vector<std::string>{"ended 0 15,20", "canceled 1 105,220"}));
    // A lone new finger clears stale contacts before its auction.
    glue.TouchesBegan(both, 2, both, 2);
    log();
    const TouchGlue::Contact fresh = At(3, 310.0f, 0.0f);
    glue.TouchesBegan(&fresh, 1, &fresh, 1);
    EXPECT_EQ(log(),
              (std::vector<std::string>{"canceled 0 15,20", "canceled 1 25,20", "began 0 5,10"}));
    // Cancels reach owners as cancels; without a manager nothing happens.
    glue.TouchesCanceled(&fresh, 1, &fresh, 1);
    EXPECT_EQ(log(), (std::vector<std::string>{"canceled 0 5,10"}));
    TouchManager::Shutdown();
    glue.TouchesBegan(&fresh, 1, &fresh, 1);
    glue.TouchesMoved(&fresh, 1);
    glue.VerifyTouches(&fresh, 1);
    EXPECT_EQ(TouchManager::GetInstance(), nullptr);
    TouchManager::Startup();
}
