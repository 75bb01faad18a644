#include "scene/Node_Robot.h"

#include "render/Material.h"
#include "scene/Node_Sprite.h"
#include "synth/SoundControl_Theremin.h"

#include <cstdio>

namespace
{
// Where each head frame's mouth images sit on screen.
constexpr float c_rMouthPositions[Node_Robot::c_iHeadFrames][2] = {
    {205.0f, 148.0f}, {219.0f, 140.0f}, {227.0f, 136.0f}, {251.0f, 131.0f}, {261.0f, 132.0f},
    {262.0f, 132.0f}, {269.0f, 130.0f}, {271.0f, 126.0f}, {287.0f, 130.0f}};
constexpr float c_rHeadX = 186.0f;
constexpr float c_rHeadY = 44.0f;
} // namespace

Node_Robot::Node_Robot()
{
    char path[32];
    for (int i = 0; i < c_iHeadFrames; ++i)
    {
        std::snprintf(path, sizeof(path), "data/robot%d.png", i);
        m_pHeadSprites[i] = LoadPart(path);
        if (m_pHeadSprites[i])
            AddChild(m_pHeadSprites[i]);
        for (int k = 0; k < c_iMouthSteps; ++k)
        {
            std::snprintf(path, sizeof(path), "data/mouth%d-%d.png", i + 1, k);
            m_pMouthSprites[i][k] = LoadPart(path);
            if (m_pMouthSprites[i][k])
                AddChild(m_pMouthSprites[i][k]);
        }
        m_HeadPositions[i].Set(c_rHeadX, c_rHeadY);
        m_MouthPositions[i].Set(c_rMouthPositions[i][0], c_rMouthPositions[i][1]);
    }
}

Node_Robot::~Node_Robot()
{
    for (int i = 0; i < c_iHeadFrames; ++i)
    {
        if (m_pHeadSprites[i])
            m_pHeadSprites[i]->Release();
        m_pHeadSprites[i] = nullptr;
        for (Node_Sprite*& mouth : m_pMouthSprites[i])
        {
            if (mouth)
                mouth->Release();
            mouth = nullptr;
        }
    }
    m_Theremins.clear();
}

Node_Sprite* Node_Robot::LoadPart(const char* path)
{
    Node_Sprite* sprite = Node_Sprite::Create(path);
    if (!sprite)
        return nullptr;
    if (Material* material = sprite->GetMaterial())
        material->SetOptions(Material::c_iBlendPremultiplied, false, false);
    // Placed by its top-left corner.
    sprite->SetOffset(0.0f, 0.0f, false);
    return sprite;
}

void Node_Robot::AddTheremin(SoundControl_Theremin* theremin)
{
    m_Theremins.push_back(theremin);
}

Node_Sprite* Node_Robot::GetHeadSprite(int head) const
{
    return head >= 0 && head < c_iHeadFrames ? m_pHeadSprites[head] : nullptr;
}

Node_Sprite* Node_Robot::GetMouthSprite(int head, int step) const
{
    if (head < 0 || head >= c_iHeadFrames || step < 0 || step >= c_iMouthSteps)
        return nullptr;
    return m_pMouthSprites[head][step];
}

int Node_Robot::MouthStepFor(int mode, float v)
{
    switch (mode)
    {
    case 0: // filter sweeps: closed near the bottom, then four equal steps
    case 1:
        if (v > 0.1f)
        {
            const int step = static_cast<int>((v - 0.1f) / 0.9f * 4.0f) + 1;
            return step > 4 ? 4 : step;
        }
        return 0;
    case 2: // volume: never closed while playing
        return v > 0.5f ? 2 : 1;
    case 3: // pulse width: the distance from the middle counts
        if (v < 0.5f)
            v = 1.0f - v;
        if (v > 0.97f)
            return 4;
        if (v > 0.87f)
            return 3;
        if (v > 0.62f)
            return 2;
        return 1;
    default:
        return 0;
    }
}

void Node_Robot::Render(Renderer& /*renderer*/)
{
    Animate();
}

void Node_Robot::Animate()
{
    // Saturates: only "more than 20" is ever asked.
    if (m_iIdleFrames <= c_iIdleFramesBeforeRest)
        ++m_iIdleFrames;
    int mouth = 0;
    for (SoundControl_Theremin* theremin : m_Theremins)
    {
        if (!theremin->IsTouchActive())
            continue;
        m_iIdleFrames = 0;
        const int head = static_cast<int>(theremin->GetX() * static_cast<float>(c_iHeadFrames));
        m_iTargetHead = head > c_iHeadFrames - 1 ? c_iHeadFrames - 1 : (head < 0 ? 0 : head);
        mouth = MouthStepFor(m_iMouthMode, 1.0f - theremin->GetY());
        break;
    }

    // Back to rest one frame per frame once the fingers have been gone a while.
    if (m_iIdleFrames > c_iIdleFramesBeforeRest)
    {
        if (m_iHead < c_iRestHead)
            m_iTargetHead = m_iHead + 1;
        else if (m_iHead > c_iRestHead)
            m_iTargetHead = m_iHead - 1;
    }
    m_iHead = m_iTargetHead;
    m_iMouthStep = mouth;

    for (int i = 0; i < c_iHeadFrames; ++i)
    {
        Show(m_pHeadSprites[i], i == m_iHead, m_HeadPositions[i]);
        for (int k = 0; k < c_iMouthSteps; ++k)
            Show(m_pMouthSprites[i][k], i == m_iHead && k == mouth, m_MouthPositions[i]);
    }
}

void Node_Robot::Show(Node_Sprite* sprite, bool shown, const Vector2f& position)
{
    if (!sprite)
        return;
    if (shown)
        sprite->SetPosition(position.x, position.y, true, 0.0f, 1.0f);
    else
        sprite->SetInvisible();
}
