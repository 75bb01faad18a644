// Real touches through the real touch manager: auctions, delivery, the table's
// limits and the repairs of stale contacts.
#include "input/TouchManager.h"
#include "input/TouchListener.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// A listener that records every call and bids a fixed amount.
class RecordingListener : public TouchListener
{
  public:
    struct Call
    {
        std::string what;
        int id, x, y, prevX, prevY;
    };

    explicit RecordingListener(bool bids = true, float bid = 1000.0f, bool overridesCancel = true)
        : m_bBids(bids), m_rBid(bid), m_bOverridesCancel(overridesCancel)
    {
        TouchManager::GetInstance()->AddListener(this);
    }
    ~RecordingListener() override { TouchManager::GetInstance()->RemoveListener(this); }

    bool TouchGetBid(int x, int y, float& bid) override
    {
        bidsAsked.push_back({x, y});
        if (!m_bBids)
            return false;
        bid = m_rBid;
        return true;
    }
    void TouchBegan(int id, int x, int y) override { calls.push_back({"began", id, x, y, x, y}); }
    void TouchMoved(int id, int x, int y, int px, int py) override
    {
        calls.push_back({"moved", id, x, y, px, py});
        int sx = -1, sy = -1;
        positionInCallback.push_back(TouchManager::GetInstance()->GetTouchPosition(id, sx, sy));
        storedInCallback.push_back({sx, sy});
    }
    void TouchEnded(int id, int x, int y, int px, int py) override
    {
        calls.push_back({"ended", id, x, y, px, py});
        int sx = -1, sy = -1;
        positionInCallback.push_back(TouchManager::GetInstance()->GetTouchPosition(id, sx, sy));
        storedInCallback.push_back({sx, sy});
    }
    void TouchCanceled(int id, int x, int y, int px, int py) override
    {
        if (!m_bOverridesCancel)
        {
            TouchListener::TouchCanceled(id, x, y, px, py);
            return;
        }
        calls.push_back({"canceled", id, x, y, px, py});
    }

    std::vector<Call> calls;
    std::vector<std::pair<int, int>> bidsAsked;
    std::vector<bool> positionInCallback;
    std::vector<std::pair<int, int>> storedInCallback;

  private:
    bool m_bBids;
    float m_rBid;
    bool m_bOverridesCancel;
};

// Stands for a theremin: bids -1000 while it holds no finger.
class IdleBidder : public TouchListener
{
  public:
    IdleBidder() { TouchManager::GetInstance()->AddListener(this); }
    ~IdleBidder() override { TouchManager::GetInstance()->RemoveListener(this); }
    bool TouchGetBid(int, int, float& bid) override
    {
        if (m_iTouch >= 0)
            return false;
        bid = -1000.0f;
        return true;
    }
    void TouchBegan(int id, int, int) override { m_iTouch = id; }
    void TouchEnded(int, int, int, int, int) override { m_iTouch = -1; }
    int m_iTouch = -1;
};

class TouchManagerTest : public ::testing::Test
{
  protected:
    void SetUp() override { TouchManager::Startup(); }
    void TearDown() override { TouchManager::Shutdown(); }
    TouchManager& Manager() { return *TouchManager::GetInstance(); }

    // Distinct opaque handles for contacts.
    void* Handle(int i) { return &m_handles[i]; }
    char m_handles[32] = {};
};

void ExpectCall(const RecordingListener::Call& call, const std::string& what, int id, int x, int y,
                int px, int py)
{
    EXPECT_EQ(call.what, what);
    EXPECT_EQ(call.id, id);
    EXPECT_EQ(call.x, x);
    EXPECT_EQ(call.y, y);
    EXPECT_EQ(call.prevX, px);
    EXPECT_EQ(call.prevY, py);
}
} // namespace

TEST_F(TouchManagerTest, StartupTwiceKeepsTheInstanceAndShutdownClearsIt)
{
    TouchManager* first = TouchManager::GetInstance();
    ASSERT_NE(first, nullptr);
    TouchManager::Startup();
    EXPECT_EQ(TouchManager::GetInstance(), first);
    TouchManager::Shutdown();
    EXPECT_EQ(TouchManager::GetInstance(), nullptr);
    TouchManager::Startup();
}

TEST_F(TouchManagerTest, AuctionOrderWithEqualNegativeAndCompetingBids)
{
    {
        SCOPED_TRACE("equal bids: the first registered wins");
        RecordingListener a(true, 1000.0f), b(true, 1000.0f);
        Manager().TouchBegan(Handle(0), 10, 10);
        EXPECT_EQ(a.calls.size(), 1u);
        EXPECT_TRUE(b.calls.empty());
        EXPECT_EQ(b.bidsAsked.size(), 1u) << "every listener is asked, winner or not";
    }
    Manager().KillAllTouches();
    {
        SCOPED_TRACE("a lone negative bid still wins");
        IdleBidder theremin;
        RecordingListener decliner(false);
        Manager().TouchBegan(Handle(1), 10, 10);
        EXPECT_EQ(theremin.m_iTouch, 0);
        EXPECT_TRUE(decliner.calls.empty());
        EXPECT_EQ(decliner.bidsAsked.size(), 1u);
    }
    Manager().KillAllTouches();
    {
        SCOPED_TRACE("a higher bid registered later displaces the leader");
        IdleBidder theremin;
        RecordingListener doubleTap(true, 100.0f), button(true, 1000.0f), low(true, 50.0f);
        Manager().TouchBegan(Handle(2), 10, 10);
        EXPECT_EQ(theremin.m_iTouch, -1);
        EXPECT_TRUE(doubleTap.calls.empty());
        ASSERT_EQ(button.calls.size(), 1u);
        EXPECT_TRUE(low.calls.empty());
    }
    Manager().KillAllTouches();
    {
        SCOPED_TRACE("no bidder: the contact is ignored and its moves are dropped");
        RecordingListener decliner(false);
        Manager().TouchBegan(Handle(3), 10, 10);
        EXPECT_EQ(Manager().FindTouchID(Handle(3)), -1);
        EXPECT_EQ(Manager().GetActiveTouchCount(), 0);
        Manager().TouchMoved(Manager().FindTouchID(Handle(3)), 20, 20);
        EXPECT_TRUE(decliner.calls.empty());
    }
}

TEST_F(TouchManagerTest, AThirteenthContactIsDroppedAndTheOthersKeepWorking)
{
    RecordingListener owner;
    for (int i = 0; i < 13; ++i)
        Manager().TouchBegan(Handle(i), i, 0);
    EXPECT_EQ(owner.calls.size(), 12u) << "the winner of a full table is not told";
    EXPECT_EQ(owner.bidsAsked.size(), 13u);
    EXPECT_EQ(Manager().FindTouchID(Handle(12)), -1);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(Manager().FindTouchID(Handle(i)), i);

    owner.calls.clear();
    for (int i = 0; i < 12; ++i)
        Manager().TouchMoved(i, 100 + i, 7);
    ASSERT_EQ(owner.calls.size(), 12u);
    for (int i = 0; i < 12; ++i)
        ExpectCall(owner.calls[i], "moved", i, 105 + i, 7, i + 5, 0);
}

TEST_F(TouchManagerTest, OffsetAndPreviousPositionsReachTheOwner)
{
    RecordingListener owner;
    Manager().TouchBegan(Handle(0), 100, 50);
    ASSERT_EQ(owner.bidsAsked.size(), 1u);
    EXPECT_EQ(owner.bidsAsked[0], std::make_pair(105, 50)) << "bids see the offset position";
    Manager().TouchMoved(0, 110, 60);
    Manager().TouchEnded(0, 120, 70);
    ASSERT_EQ(owner.calls.size(), 3u);
    ExpectCall(owner.calls[0], "began", 0, 105, 50, 105, 50);
    ExpectCall(owner.calls[1], "moved", 0, 115, 60, 105, 50);
    ExpectCall(owner.calls[2], "ended", 0, 125, 70, 115, 60);

    // Inside the callbacks the slot is still active at its previous position.
    ASSERT_EQ(owner.positionInCallback.size(), 2u);
    EXPECT_TRUE(owner.positionInCallback[0]);
    EXPECT_EQ(owner.storedInCallback[0], std::make_pair(105, 50));
    EXPECT_TRUE(owner.positionInCallback[1]);
    EXPECT_EQ(owner.storedInCallback[1], std::make_pair(115, 60));

    // Afterwards the slot is free and the outputs are left alone.
    int x = -7, y = -8;
    EXPECT_FALSE(Manager().GetTouchPosition(0, x, y));
    EXPECT_EQ(x, -7);
    EXPECT_EQ(y, -8);
    EXPECT_EQ(Manager().FindTouchID(Handle(0)), -1);
}

TEST_F(TouchManagerTest, BadIdsAndFreeSlotsAreDroppedQuietly)
{
    RecordingListener owner;
    Manager().TouchBegan(Handle(0), 1, 1);
    owner.calls.clear();
    for (int id : {-1, 12, 1000, -2147483647 - 1, 3})
    {
        SCOPED_TRACE(id);
        Manager().TouchMoved(id, 0, 0);
        Manager().TouchEnded(id, 0, 0);
        Manager().TouchCanceled(id, 0, 0);
        Manager().VerifyTouch(id);
        int x = 0, y = 0;
        EXPECT_FALSE(Manager().GetTouchPosition(id, x, y));
    }
    EXPECT_TRUE(owner.calls.empty());
    EXPECT_EQ(Manager().GetActiveTouchCount(), 1);
}

TEST_F(TouchManagerTest, KillAllCancelsEveryTouchInIdOrderWithItsStoredPosition)
{
    RecordingListener first, second(true, 0.0f, false);
    Manager().TouchBegan(Handle(0), 10, 20); // first wins (higher bid)
    Manager().TouchMoved(0, 30, 40);
    first.calls.clear();
    // A later, higher bidder takes the next contact.
    RecordingListener third(true, 2000.0f, false);
    Manager().TouchBegan(Handle(1), 50, 60);
    ASSERT_EQ(third.calls.size(), 1u);
    third.calls.clear();

    Manager().KillAllTouches();
    ASSERT_EQ(first.calls.size(), 1u);
    ExpectCall(first.calls[0], "canceled", 0, 35, 40, 35, 40);
    ASSERT_EQ(third.calls.size(), 1u) << "a listener without its own cancel hears an end";
    ExpectCall(third.calls[0], "ended", 1, 55, 60, 55, 60);
    EXPECT_EQ(Manager().GetActiveTouchCount(), 0);
    EXPECT_TRUE(second.calls.empty());
}

TEST_F(TouchManagerTest, VerificationCancelsOnlyUnverifiedTouchesAndResetsTheMarks)
{
    RecordingListener owner;
    for (int i = 0; i < 4; ++i)
        Manager().TouchBegan(Handle(i), 10 * i, i);
    owner.calls.clear();

    Manager().VerifyTouch(Manager().FindTouchID(Handle(0)));
    Manager().VerifyTouch(Manager().FindTouchID(Handle(2)));
    Manager().VerifyTouch(Manager().FindTouchID(Handle(9))); // unknown: ignored
    Manager().KillUnverifiedTouches();
    ASSERT_EQ(owner.calls.size(), 2u);
    ExpectCall(owner.calls[0], "canceled", 1, 15, 1, 15, 1);
    ExpectCall(owner.calls[1], "canceled", 3, 35, 3, 35, 3);
    EXPECT_EQ(Manager().FindTouchID(Handle(0)), 0);
    EXPECT_EQ(Manager().FindTouchID(Handle(2)), 2);

    // The marks last one sweep only: a sweep with nothing verified clears all.
    owner.calls.clear();
    Manager().KillUnverifiedTouches();
    ASSERT_EQ(owner.calls.size(), 2u);
    EXPECT_EQ(owner.calls[0].id, 0);
    EXPECT_EQ(owner.calls[1].id, 2);
    EXPECT_EQ(Manager().GetActiveTouchCount(), 0);
}

TEST_F(TouchManagerTest, RemovingAListenerFreesItsTouchesWithoutCallingIt)
{
    auto* gone = new RecordingListener(true, 1000.0f);
    RecordingListener stays(true, 10.0f);
    TouchManager::GetInstance()->AddListener(gone); // listed twice
    Manager().TouchBegan(Handle(0), 1, 1);
    Manager().TouchBegan(Handle(1), 2, 2);
    EXPECT_EQ(gone->calls.size(), 2u);
    EXPECT_EQ(Manager().GetListenerCount(), 3);

    delete gone; // removes every occurrence and frees both touches silently
    EXPECT_EQ(Manager().GetListenerCount(), 1);
    EXPECT_EQ(Manager().GetActiveTouchCount(), 0);
    Manager().TouchMoved(0, 5, 5);
    EXPECT_TRUE(stays.calls.empty());

    // The freed ids go to the next contacts.
    Manager().TouchBegan(Handle(2), 3, 3);
    ASSERT_EQ(stays.calls.size(), 1u);
    EXPECT_EQ(stays.calls[0].id, 0);
}

TEST_F(TouchManagerTest, AnOwnerRemovingItselfInsideItsCallbackLeavesTheSlotFree)
{
    class SelfRemover : public TouchListener
    {
      public:
        SelfRemover() { TouchManager::GetInstance()->AddListener(this); }
        bool TouchGetBid(int, int, float& bid) override
        {
            bid = 1.0f;
            return true;
        }
        void TouchMoved(int, int, int, int, int) override
        {
            TouchManager::GetInstance()->RemoveListener(this);
        }
    } remover;
    Manager().TouchBegan(Handle(0), 1, 1);
    Manager().TouchMoved(0, 2, 2);
    EXPECT_EQ(Manager().GetActiveTouchCount(), 0);
    int x = 0, y = 0;
    EXPECT_FALSE(Manager().GetTouchPosition(0, x, y));
    Manager().TouchEnded(0, 3, 3); // nothing left to deliver to
}
