// The animated robot face: nine head frames that follow the first finger on
// the playing surface from left to right, and five mouth openings per head
// that follow the finger's height in a way that depends on the synth mode.
// Every frame shows one head and at most one mouth; the parts are sprites
// held as children.
#pragma once

#include "core/Vector2f.h"
#include "scene/Node.h"

#include <array>
#include <vector>

class Node_Sprite;
class SoundControl_Theremin;

class Node_Robot : public Node
{
  public:
    static constexpr int c_iHeadFrames = 9;
    static constexpr int c_iMouthSteps = 5;
    static constexpr int c_iRestHead = 4;
    // Frames without a finger before the head starts back to its rest frame.
    static constexpr int c_iIdleFramesBeforeRest = 20;

    // Loads "data/robot%d.png" and "data/mouth%d-%d.png"; a part whose image
    // does not load is left out.
    Node_Robot();
    ~Node_Robot() override;

    // The theremins watched, in order: the first with a finger down drives the face.
    void AddTheremin(SoundControl_Theremin* theremin);
    // The synth mode (0 .. 3) choosing how the mouth follows the finger.
    void SetMouthMode(int mode) { m_iMouthMode = mode; }
    int GetMouthMode() const { return m_iMouthMode; }

    // The per-frame update: picks this frame's head and mouth and places the
    // sprites before they are drawn. Draws nothing itself.
    void Render(Renderer& renderer) override;
    // The same step for a frame that is not drawn, so that the robot moves on
    // exactly as if it had been.
    void Animate();

    int GetHead() const { return m_iHead; }
    // The mouth opening shown at the last frame: 0 closed (no finger) .. 4.
    int GetMouthStep() const { return m_iMouthStep; }
    int GetIdleFrames() const { return m_iIdleFrames; }
    // Null for a part whose image did not load.
    Node_Sprite* GetHeadSprite(int head) const;
    Node_Sprite* GetMouthSprite(int head, int step) const;
    const Vector2f& GetHeadPosition(int head) const { return m_HeadPositions[head]; }
    const Vector2f& GetMouthPosition(int head) const { return m_MouthPositions[head]; }

  private:
    // The mouth opening for the value v = 1 - y of the finger in a synth mode.
    static int MouthStepFor(int mode, float v);
    static Node_Sprite* LoadPart(const char* path);
    static void Show(Node_Sprite* sprite, bool shown, const Vector2f& position);

    std::array<Node_Sprite*, c_iHeadFrames> m_pHeadSprites{};
    std::array<std::array<Node_Sprite*, c_iMouthSteps>, c_iHeadFrames> m_pMouthSprites{};
    std::array<Vector2f, c_iHeadFrames> m_HeadPositions;
    std::array<Vector2f, c_iHeadFrames> m_MouthPositions;
    int m_iTargetHead = c_iRestHead;
    int m_iHead = c_iRestHead;
    int m_iIdleFrames = 0;
    int m_iMouthMode = 0;
    int m_iMouthStep = 0;
    std::vector<SoundControl_Theremin*> m_Theremins;
};
