// Turns a windowing layer's touch events into calls on the touch manager: each
// position is rotated from the portrait view into landscape screen points and
// truncated, and the manager's table is kept in step with the contacts the
// platform still reports (a lone contact clears stale ones, several are verified).
// Platform-neutral: the host feeds it contacts with a stable identity each.
#pragma once

class TouchGlue
{
  public:
    // One platform contact: `identity` stays the same for the life of the
    // contact; (x, y) is its position in portrait view points (origin top-left).
    struct Contact
    {
        void* identity;
        float x;
        float y;
    };

    // Answers whether the display is held in landscape.
    using LandscapeQuery = bool (*)();

    // backingWidth: the portrait surface's width in points (320). Without a
    // query the glue asks the renderer, and without a renderer it does not rotate.
    explicit TouchGlue(float backingWidth = 320.0f, LandscapeQuery landscape = nullptr);

    // `touches` are the contacts this event is about; `all` is every contact the
    // platform knows at this event, these included.
    void TouchesBegan(const Contact* touches, int count, const Contact* all, int allCount) const;
    void TouchesMoved(const Contact* touches, int count) const;
    void TouchesEnded(const Contact* touches, int count, const Contact* all, int allCount) const;
    void TouchesCanceled(const Contact* touches, int count, const Contact* all, int allCount) const;

    // A contact the platform could not take (its fingers all down), at a view
    // point: the touch manager counts it, for the scene's sign.
    void TouchRefused(float x, float y) const;

    // Cancels every table entry whose identity is not among `all`.
    void VerifyTouches(const Contact* all, int allCount) const;

    // View point to landscape screen point; unchanged when not in landscape.
    void RotateCoords(float& x, float& y) const;
    // Rotated and truncated toward zero, as the manager takes it.
    void ToManager(const Contact& contact, int& x, int& y) const;

    bool IsLandscape() const;

  private:
    enum class Finish
    {
        End,
        Cancel
    };
    void Finished(Finish finish, const Contact* touches, int count, const Contact* all,
                  int allCount) const;
    // A lone contact means anything else in the table is stale.
    void Reconcile(const Contact* all, int allCount) const;

    float m_rBackingWidth;
    LandscapeQuery m_pLandscape;
};
