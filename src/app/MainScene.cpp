#include "app/MainScene.h"

#include "input/TouchManager.h"
#include "render/Camera_2D.h"
#include "render/Material.h"
#include "render/Renderer.h"
#include "scene/Node.h"
#include "scene/Node_2DQuad.h"
#include "scene/Node_Backdrop.h"
#include "scene/Node_ControlPanel.h"
#include "scene/Node_Decals.h"
#include "scene/Node_DoubleClickButton.h"
#include "scene/Node_NoteGrid.h"
#include "scene/Node_Notice.h"
#include "scene/Node_Robot.h"
#include "scene/Node_Sprite.h"
#include "scene/PanelControl.h"
#include "scene/PanelListener.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr const char* c_sMouseHint = "Double-click the corner or press Tab for controls";
constexpr const char* c_sTooManyFingers = "Twelve fingers are down: lift one to play";
constexpr float c_rHintRight = 40.0f;  // points left of the screen's right edge
constexpr float c_rHintBottom = 25.0f; // points above the bottom edge, to the middle
constexpr float c_rHintLeft = 10.0f;   // the least room left of a message

void Place(Node_Sprite* sprite, const Vector2f& at)
{
    sprite->SetPosition(at.x, at.y, true, 0.0f, 1.0f);
}

template <typename T> void ReleaseNode(T*& node)
{
    if (node)
        node->Release();
    node = nullptr;
}

template <typename T> void DeleteObject(T*& object)
{
    delete object;
    object = nullptr;
}
} // namespace

MainScene::~MainScene()
{
    Release();
}

void MainScene::Build(PanelListener* listener)
{
    m_pRoot = new Node();
    Renderer* renderer = Renderer::GetInstance();
    const Vector2f screen = renderer ? renderer->GetScreenSize(true) : Vector2f(480.0f, 320.0f);
    const Vector2f centre(screen.x * 0.5f, screen.y * 0.5f);

    m_pMainCamera = new Camera_2D();

    m_pBackdrop = new Node_Backdrop();
    m_pRoot->AddChild(m_pBackdrop);
    if (Material* lava = Material::Create("data/lava.png"))
    {
        lava->SetOptions(Material::c_iBlendAdd, false, false);
        lava->SetFilter(1, 1);
        lava->SetColorMask(false, true);
        lava->SetTextureMode(1, 1);
        m_pBackdrop->SetMaterial(lava);
        lava->Release();
    }

    // The two backgrounds: the second is mixed over the first through the
    // destination alpha the backdrop wrote.
    const struct
    {
        const char* path;
        char blend;
    } backgrounds[2] = {{"data/newbg5.png", Material::c_iBlendOpaque},
                        {"data/newbg4.png", Material::c_iBlendDestinationAlpha}};
    for (const auto& background : backgrounds)
    {
        Node_Sprite* sprite = Node_Sprite::Create(background.path);
        if (!sprite)
            continue; // an image that fails to load is left out
        Place(sprite, centre);
        if (Material* material = sprite->GetMaterial())
        {
            material->SetOptions(background.blend, false, false);
            material->SetColorMask(true, false);
        }
        m_pRoot->AddChild(sprite);
        sprite->Release();
    }

    m_pDecals = new Node_Decals();
    m_pRoot->AddChild(m_pDecals);

    Node_Sprite* spotlight = Node_Sprite::Create("data/spotlight.png");
    if (spotlight)
    {
        Place(spotlight, centre);
        m_pRoot->AddChild(spotlight);
    }
    m_pRobot = new Node_Robot();
    m_pRoot->AddChild(m_pRobot);
    if (spotlight)
    {
        if (Material* material = spotlight->GetMaterial())
            material->SetBlendMode(Material::c_iBlendPremultiplied);
        spotlight->Release();
    }

    m_pPanelOpenButton = Node_DoubleClickButton::Create("data/panelopen.png");
    if (m_pPanelOpenButton)
    {
        if (Material* material = m_pPanelOpenButton->GetMaterial())
        {
            material->SetOptions(Material::c_iBlendAdd, false, false);
            material->SetColorMask(true, false);
        }
        m_pPanelOpenButton->SetCallback(&PanelListener::ButtonCallback_Static, listener,
                                        PanelId(PanelControl::Open));
        m_pRoot->AddChild(m_pPanelOpenButton);
    }

    m_pHint = Node_Sprite::Create("data/doubletap.png");
    if (m_pHint)
    {
        if (Material* material = m_pHint->GetMaterial())
            material->SetOptions(Material::c_iBlendPremultiplied, false, false);
        m_pHint->SetOffset(1.0f, 0.5f, false);
        m_pHint->SetInvisible();
        m_pRoot->AddChild(m_pHint);
    }

    m_pNotice = new Node_Notice();
    m_pRoot->AddChild(m_pNotice);
    if (TouchManager* touches = TouchManager::GetInstance())
        m_iRefusedSeen = touches->GetRefusedCount();

    m_pPanelCamera = new Camera_2D();
    m_pControlPanel = new Node_ControlPanel(listener);
    m_pControlPanel->SetActive(false);

    m_pSeparator = new Node_2DQuad(Vector2f(0.0f, 0.0f), Vector2f(2.0f, screen.y), 0);
    Material* line = Material::Create();
    line->SetOptions(Material::c_iBlendOpaque, false, false);
    m_pSeparator->SetMaterial(line);
    line->Release();
}

void MainScene::AddTheremin(SoundControl_Theremin* theremin)
{
    m_pRobot->AddTheremin(theremin);
    m_pBackdrop->AddTheremin(theremin);
}

void MainScene::Release()
{
    ReleaseNode(m_pRoot);
    DeleteObject(m_pMainCamera);
    ReleaseNode(m_pBackdrop);
    ReleaseNode(m_pDecals);
    ReleaseNode(m_pRobot);
    ReleaseNode(m_pNoteGrid);
    ReleaseNode(m_pPanelOpenButton);
    ReleaseNode(m_pHint);
    ReleaseNode(m_pNotice);
    DeleteObject(m_pPanelCamera);
    ReleaseNode(m_pControlPanel);
    ReleaseNode(m_pSeparator);
}

void MainScene::SetPanelOpen(bool open)
{
    m_bPanelOpen = open;
    if (m_pPanelOpenButton)
        m_pPanelOpenButton->SetVisible(!open);
    m_pControlPanel->SetActive(open);
}

void MainScene::SetAboutShown(bool shown)
{
    m_bAboutShown = shown;
    if (shown)
    {
        m_pControlPanel->SetActive(false);
        m_pControlPanel->LoadAbout();
    }
    else
    {
        m_pControlPanel->SetActive(m_bPanelOpen);
    }
}

void MainScene::ShowNoteGrid(bool shown, const InstrumentState& state)
{
    if (shown)
    {
        if (!m_pNoteGrid)
        {
            m_pNoteGrid = new Node_NoteGrid(state);
            m_pRoot->AddChild(m_pNoteGrid);
        }
        else
        {
            m_pNoteGrid->UpdateGeometry();
        }
    }
    if (m_pNoteGrid)
        m_pNoteGrid->SetVisible(shown);
}

void MainScene::UpdateNoteGrid()
{
    if (m_pNoteGrid)
        m_pNoteGrid->UpdateGeometry();
}

void MainScene::Update(float dt)
{
    if (m_pPanelOpenButton)
        m_pPanelOpenButton->Update(dt);
    m_pBackdrop->Update(dt);
    m_pDecals->Update(dt);

    m_rAboutSlide =
        m_bAboutShown ? std::min(1.0f, m_rAboutSlide + dt) : std::max(0.0f, m_rAboutSlide - dt);
    const float W = m_pMainCamera->GetScreenWidth();
    const float H = m_pMainCamera->GetScreenHeight();
    const float aboutOffset =
        m_rAboutSlide <= 0.0f
            ? 0.0f
            : -H * (0.5f - 0.5f * std::cos(static_cast<float>(M_PI) * m_rAboutSlide));

    m_rPanelSlide = m_bPanelOpen ? std::min(1.0f, m_rPanelSlide + 2.0f * dt)
                                 : std::max(0.0f, m_rPanelSlide - 2.0f * dt);
    const float panelLeft = W - c_rPanelWidth * m_rPanelSlide;
    if (m_rPanelSlide > 0.0f)
        m_pSeparator->GetTransform().SetPosition(panelLeft, 0.0f, 0.0f);
    m_pMainCamera->SetViewport(Vector2f(0.0f, aboutOffset), Vector2f(panelLeft, aboutOffset + H));
    m_pPanelCamera->SetPosition(W * 0.5f, H * 0.5f - aboutOffset);

    UpdateHint(dt, W, H);
    m_pControlPanel->Update(dt);
}

Vector2f MainScene::HintPlace(float width, float height) const
{
    Renderer* renderer = Renderer::GetInstance();
    const Vector2f screen = renderer ? renderer->GetScreenSize(true) : Vector2f(width, height);
    return {screen.x - c_rHintRight, screen.y - c_rHintBottom};
}

void MainScene::ShowMessage(const char* text)
{
    if (!m_pNotice)
        return;
    if (m_pHint)
        m_pHint->SetInvisible();
    const float W = m_pMainCamera->GetScreenWidth();
    const float H = m_pMainCamera->GetScreenHeight();
    const Vector2f at = HintPlace(W, H);
    m_pNotice->Show(text, at.x, at.y, at.x - c_rHintLeft);
}

void MainScene::UpdateHint(float dt, float width, float height)
{
    if (m_pNotice)
        m_pNotice->Update(dt);
    if (TouchManager* touches = TouchManager::GetInstance();
        touches && touches->GetRefusedCount() != m_iRefusedSeen)
    {
        m_iRefusedSeen = touches->GetRefusedCount();
        ShowMessage(c_sTooManyFingers);
    }
    if (m_pPanelOpenButton && m_pPanelOpenButton->GetFailedClickCount(false) > 2)
    {
        m_pPanelOpenButton->GetFailedClickCount(true);
        if (m_bMouseHints)
        {
            ShowMessage(c_sMouseHint);
        }
        else if (m_pHint)
        {
            const Vector2f at = HintPlace(width, height);
            m_pHint->SetPosition(at.x, at.y, true, 0.0f, 1.0f);
            m_rHintTime = 0.0f;
            if (m_pNotice)
                m_pNotice->Hide();
        }
    }
    if (m_pHint && m_pHint->IsVisible())
    {
        m_rHintTime += dt;
        float a = 1.0f;
        if (m_rHintTime < 0.7f)
            a = m_rHintTime / 0.7f;
        else if (m_rHintTime < 4.3f)
            a = 1.0f;
        else if (m_rHintTime < 5.0f)
            a = 1.0f - (m_rHintTime - 4.3f) / 0.7f;
        else
            m_pHint->SetInvisible();
        const unsigned int b = static_cast<unsigned int>(a * 255.0f) & 0xFFu;
        m_pHint->SetColor(b | (b << 8) | (b << 16) | (b << 24));
    }
}

void MainScene::Render(Renderer& renderer)
{
    if (!m_pRoot)
        return;
    if (m_rPanelSlide > 0.0f)
    {
        renderer.RenderTree(m_pControlPanel, m_pPanelCamera);
        renderer.RenderTree(m_pSeparator, m_pPanelCamera);
    }
    renderer.RenderTree(m_pRoot, m_pMainCamera);
}

void MainScene::SkipRender()
{
    // The robot steps whenever the scene tree reaches it while drawing.
    if (m_pRobot && m_pRobot->IsVisible() && m_pRoot->AreChildrenVisible())
        m_pRobot->Animate();
}
