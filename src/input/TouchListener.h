// The interface of everything that receives touches from the touch manager: a
// listener bids for a new contact and, when it wins, gets its moves and its end.
// Positions are landscape screen points with the manager's x offset applied.
#pragma once

class TouchListener
{
  public:
    virtual ~TouchListener() = default;

    // True when the listener wants the touch at (x, y); it then writes its bid.
    virtual bool TouchGetBid(int x, int y, float& bid)
    {
        (void)x;
        (void)y;
        (void)bid;
        return false;
    }
    // The listener now owns touch `id`.
    virtual void TouchBegan(int id, int x, int y)
    {
        (void)id;
        (void)x;
        (void)y;
    }
    virtual void TouchMoved(int id, int x, int y, int prevX, int prevY)
    {
        (void)id;
        (void)x;
        (void)y;
        (void)prevX;
        (void)prevY;
    }
    virtual void TouchEnded(int id, int x, int y, int prevX, int prevY)
    {
        (void)id;
        (void)x;
        (void)y;
        (void)prevX;
        (void)prevY;
    }
    // Whether a contact that stays down without a hand on it (the desktop's held
    // fingers) may stay with this listener. A widget that acts when it is let go
    // says no, and the host lifts such a contact when its button is released.
    virtual bool TouchKeepsHeld() const { return true; }
    // A listener that does not override this treats a cancel exactly as an end.
    virtual void TouchCanceled(int id, int x, int y, int prevX, int prevY)
    {
        TouchEnded(id, x, y, prevX, prevY);
    }
};
