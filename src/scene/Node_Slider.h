// A horizontal slider for a value in [0, 1], changed relatively: a drag moves the
// value by the distance travelled over the track's width, so touching it never
// makes the value jump. Every change is reported with the drag's phase.
#pragma once

#include "core/Vector2f.h"
#include "input/TouchListener.h"
#include "render/ModelVertex.h"
#include "scene/Node.h"

#include <cstdint>

class Material;
class Node_Text;

class Node_Slider : public Node, public TouchListener
{
  public:
    // phase: c_iPhaseBegan, c_iPhaseChanged or c_iPhaseEnded.
    using Callback = void (*)(void* userData, int id, int phase, float value);

    static constexpr int c_iPhaseBegan = 0;
    static constexpr int c_iPhaseChanged = 1; // by a drag or by Apply
    static constexpr int c_iPhaseEnded = 2;
    static constexpr float c_rBid = 1000.0f;
    static constexpr float c_rFrameWidth = 2.0f; // points of frame around the track

    // Removes itself from the touch manager.
    ~Node_Slider() override;

    // A new slider at value 0, registered with the touch manager.
    static Node_Slider* Create(float x, float y, float w, float h);

    // The track (x, y)-(x + w, y + h); resets the touch rectangle to it.
    void SetPosition(float x, float y, float w, float h);
    // Widens the touch rectangle beyond the track; calls do not accumulate.
    void SetTouchBorder(float left, float top, float right, float bottom);
    // Packed colours, red in the low byte.
    void SetColor(bool drawBackground, unsigned int frame, unsigned int fill,
                  unsigned int framePressed, unsigned int fillPressed);
    // The label's font and colours; a loaded label is centred above the track.
    void SetFont(const char* path, unsigned int labelColour, unsigned int pressedLabelColour);
    void SetText(const char* text);
    // What the value means ("0.52 s", "1200 Hz"), drawn on the track while the
    // slider is held, in the label's font (the panel's font when it has none).
    void SetValueText(const char* text);
    const char* GetValueText() const;
    bool IsValueShown() const;
    void SetCallback(Callback callback, void* userData, int id);
    int GetCallbackId() const { return m_iCallbackId; }
    // An inactive slider takes no touch and reports nothing; either way a drag
    // in progress is let go silently.
    void SetActive(bool active);
    // Clamped to [0, 1]; no callback.
    void SetValue(float value);
    float GetValue() const { return m_rValue; }
    // Reports the value (phase 1) when active.
    void Apply();

    void Render(Renderer& renderer) override;
    void UpdateGeometry();

    bool TouchGetBid(int x, int y, float& bid) override;
    // A held finger on it is a click: let go with the button that placed it.
    bool TouchKeepsHeld() const override { return false; }
    void TouchBegan(int id, int x, int y) override;
    void TouchMoved(int id, int x, int y, int prevX, int prevY) override;
    void TouchEnded(int id, int x, int y, int prevX, int prevY) override;

    bool IsPressed() const { return m_bPressed; }
    Node_Text* GetLabel() const { return m_pLabel; }
    const ModelVertex* GetVertices() const { return m_vertices; }

  protected:
    Node_Slider();

  private:
    void Report(int phase);
    // Places the value on the track and shows it while pressed.
    void PlaceValue();

    Vector2f m_vMin;
    Vector2f m_vMax;
    Vector2f m_vTouchMin;
    Vector2f m_vTouchMax;
    bool m_bActive = true;
    Callback m_pCallback = nullptr;
    void* m_pUserData = nullptr;
    int m_iCallbackId = 0;
    Node_Text* m_pLabel;
    Node_Text* m_pValueShadow; // the value, one point down and right in black
    Node_Text* m_pValue;
    bool m_bPressed = false;
    float m_rValue = 0.0f;
    bool m_bDrawBackground = true;
    ModelVertex m_vertices[8];
    static constexpr uint8_t c_iIndexSource[12] = {0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7};
    uint8_t m_iIndices[12];
    Material* m_pMaterial;
    bool m_bDirty = true;
    unsigned int m_iFrameColour = 0xFFFF0000;        // opaque blue
    unsigned int m_iFramePressedColour = 0xFFFF8888; // opaque light blue
    unsigned int m_iFillColour = 0x0000FFFF;         // yellow
    unsigned int m_iFillPressedColour = 0x88FFFFFF;  // white
    unsigned int m_iLabelColour = 0xFFFFFFFF;
    unsigned int m_iPressedLabelColour = 0xFFFFFFFF;
};
