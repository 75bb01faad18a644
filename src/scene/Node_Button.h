// A flat push button with a centred label: a coloured rectangle in a 2-point
// black frame that lights while a finger is on it and calls back at touch-down
// or at a release inside. Sliding off unlights it, sliding back relights it.
#pragma once

#include "core/Vector2f.h"
#include "input/TouchListener.h"
#include "render/ModelVertex.h"
#include "scene/Node.h"

#include <cstdint>

class Camera_2D;
class Material;
class Node_Text;

class Node_Button : public Node, public TouchListener
{
  public:
    using Callback = void (*)(void* userData, int id);

    static constexpr float c_rBid = 1000.0f;
    static constexpr float c_rFrameWidth = 2.0f; // points of black around the face

    // Removes itself from the touch manager.
    ~Node_Button() override;

    // A new button, registered with the touch manager.
    static Node_Button* Create(float x, float y, float w, float h);

    // The visual rectangle (x, y)-(x + w, y + h); resets the touch rectangle to it.
    void SetPosition(float x, float y, float w, float h);
    // Widens the touch rectangle beyond the visual one; calls do not accumulate.
    void SetTouchBorder(float left, float top, float right, float bottom);
    // Packed colours, red in the low byte.
    void SetColor(bool drawBackground, unsigned int colour, unsigned int pressedColour);
    // The label's font and colours; a loaded label is centred on the button.
    void SetFont(const char* path, unsigned int labelColour, unsigned int pressedLabelColour);
    // The label's colours alone, the font and place kept.
    void SetLabelColor(unsigned int labelColour, unsigned int pressedLabelColour);
    const char* GetText() const;
    unsigned int GetLabelColor() const { return m_iLabelColour; }
    // Moves the label from the centre by (dx, dy); only once it has a font.
    void SetTextOffset(float dx, float dy);
    void SetText(const char* text);
    // An inactive button never bids and never calls back.
    void SetActive(bool active) { m_bActive = active; }
    // Touches are mapped through this camera's placement (not owned).
    void SetCamera(Camera_2D* camera) { m_pCamera = camera; }
    void SetCallback(Callback callback, void* userData, int id);
    // Calls back at touch-down instead of at release.
    void SetCallbackOnTouch(bool onTouch) { m_bCallbackOnTouch = onTouch; }

    // (x, y) in touch coordinates, against the touch rectangle: min edges inside,
    // max edges outside.
    bool PointIsInside(int x, int y);

    void Render(Renderer& renderer) override;
    void UpdateGeometry();

    bool TouchGetBid(int x, int y, float& bid) override;
    // A held finger on it is a click: let go with the button that placed it.
    bool TouchKeepsHeld() const override { return false; }
    void TouchBegan(int id, int x, int y) override;
    void TouchMoved(int id, int x, int y, int prevX, int prevY) override;
    void TouchEnded(int id, int x, int y, int prevX, int prevY) override;
    // Unlights the button and never calls back.
    void TouchCanceled(int id, int x, int y, int prevX, int prevY) override;

    bool IsPressed() const { return m_bPressed; }
    bool IsActive() const { return m_bActive; }
    Node_Text* GetLabel() const { return m_pLabel; }
    // The visual rectangle's corners.
    const Vector2f& GetMin() const { return m_vMin; }
    const Vector2f& GetMax() const { return m_vMax; }
    const ModelVertex* GetVertices() const { return m_vertices; }

  protected:
    Node_Button();

  private:
    void Call();

    Vector2f m_vMin;
    Vector2f m_vMax;
    Vector2f m_vTouchMin;
    Vector2f m_vTouchMax;
    bool m_bActive = true;
    Camera_2D* m_pCamera = nullptr;
    Callback m_pCallback = nullptr;
    void* m_pUserData = nullptr;
    int m_iCallbackId = 0;
    Node_Text* m_pLabel;
    bool m_bPressed = false;
    bool m_bCallbackOnTouch = false;
    bool m_bDrawBackground = true;
    ModelVertex m_vertices[8];
    static constexpr uint8_t c_iIndices[12] = {0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7};
    Material* m_pMaterial;
    bool m_bDirty = true;
    unsigned int m_iColour = 0xFFFF0000;        // opaque blue
    unsigned int m_iPressedColour = 0xFFFF8888; // opaque light blue
    unsigned int m_iLabelColour = 0xFFFFFFFF;
    unsigned int m_iPressedLabelColour = 0xFFFFFFFF;
};
