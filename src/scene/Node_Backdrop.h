// The full-screen animated background: a 16 x 12 grid mesh whose texture
// coordinates morph slowly between random wavy patterns, whose texture scrolls,
// and whose vertices bulge away from every finger on the playing surface.
#pragma once

#include "core/Transform.h"
#include "core/Vector2f.h"
#include "render/ModelVertex.h"
#include "scene/Node.h"

#include <array>
#include <cstdint>
#include <vector>

class Material;
class SoundControl_Theremin;

class Node_Backdrop : public Node
{
  public:
    static constexpr int c_iColumns = 16;
    static constexpr int c_iRows = 12;
    static constexpr int c_iVertexCount = c_iColumns * c_iRows;
    // Eleven bands of 32 indices joined by 20 repeated ones.
    static constexpr int c_iIndexCount = 372;
    static constexpr int c_iMaxTouchPoints = 12;
    static constexpr float c_rPatternRate = 0.02f; // patterns per second: a new one every 50 s

    // Per-vertex animation data.
    struct VertInfo
    {
        Vector2f basePosition; // rest position on screen
        Vector2f baseUV;       // rest position divided by the screen size
        Vector2f oldOffset;    // texture coordinate in the previous pattern
        Vector2f newOffset;    // texture coordinate in the next pattern
        Vector2f delta;        // newOffset - oldOffset
    };

    // Draws from rand(): seed the generator first for a reproducible mesh.
    Node_Backdrop();
    ~Node_Backdrop() override;

    // Keeps a reference to material (null allowed) and drops the previous one.
    void SetMaterial(Material* material);
    Material* GetMaterial() const { return m_pMaterial; }
    // The theremins whose fingers push the mesh (not owned).
    void AddTheremin(SoundControl_Theremin* theremin);

    // Starts the morph towards a new random pattern from the one last aimed at.
    void ChangeUVPattern();
    // Per-frame animation, dt in seconds.
    void Update(float dt);
    void Render(Renderer& renderer) override;

    const ModelVertex* GetVertices() const { return m_Vertices.data(); }
    const VertInfo* GetVertInfo() const { return m_VertInfo.data(); }
    const uint8_t* GetIndices() const { return m_pIndices.data(); }
    int GetIndexCount() const { return m_iIndexCount; }
    const Transform& GetTextureTransform() const { return m_TextureTransform; }
    float GetPatternPhase() const { return m_rPatternPhase; }
    float GetScrollSpeedX() const { return m_rScrollSpeedX; }
    float GetScrollSpeedY() const { return m_rScrollSpeedY; }
    bool IsRestored() const { return m_bRestored; }

  private:
    void BuildMesh();
    void BuildIndices();
    static float DrawScrollSpeed();
    // Collects the active fingers in screen points; returns how many.
    int CollectTouches(const Vector2f& screen);
    void Bulge(int touchCount, float screenHeight);
    void Restore();

    std::vector<SoundControl_Theremin*> m_Theremins;
    std::array<Vector2f, c_iMaxTouchPoints> m_TouchPoints{};
    bool m_bRestored = false;
    std::array<ModelVertex, c_iVertexCount> m_Vertices{};
    std::array<VertInfo, c_iVertexCount> m_VertInfo{};
    std::array<uint8_t, c_iIndexCount> m_pIndices{};
    int m_iIndexCount = c_iIndexCount;
    Material* m_pMaterial = nullptr;
    Transform m_TextureTransform;
    float m_rScrollSpeedX = 0.0f; // texture units per second
    float m_rScrollSpeedY = 0.0f;
    float m_rPatternPhase = 0.0f; // 0 .. 1 from the old pattern to the new one
};
