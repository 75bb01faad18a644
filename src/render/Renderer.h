// The process-wide drawing service: owns the texture manager, applies materials
// and transforms, draws scene trees through cameras, brackets frames and hands
// the GL context to other threads that load textures.
#pragma once

#include "core/Projection.h"
#include "core/Transform.h"
#include "core/Vector2f.h"
#include "render/Semaphore.h"

#include <atomic>
#include <string>

class Camera;
class Material;
class RenderableTree;
class Texture;
class TextureManager;
class Window;

class Renderer
{
  public:
    explicit Renderer(Window* window);
    virtual ~Renderer();

    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    virtual bool RecreateDevice() = 0;
    virtual bool IsValid() = 0;
    // Null leaves every state alone.
    virtual void SetMaterial(Material* material) = 0;
    // The model transform of the next drawable.
    virtual void SetTransform(const Transform& model) = 0;
    // colour: red in bits 16-23, green 8-15, blue 0-7; the top byte is ignored.
    virtual void BeginFrame(bool clear, unsigned int colour) = 0;
    virtual void EndFrame(bool present) = 0;
    virtual void RenderTree(RenderableTree* root, Camera* camera) = 0;
    // Brackets GL work on a thread other than the main one; nothing on the main thread.
    virtual void LockSemaphore();
    virtual void UnlockSemaphore();
    virtual bool IsMainThread() = 0;
    virtual bool GetLandscape() { return false; }
    // Polls and discards a pending GL error.
    virtual void CheckError() {}
    // Main thread, after each presented frame: lets every waiting thread run.
    virtual void CheckThread();

    // The platform renderer on the given window, made by the factory the
    // platform host registered (null without one).
    using Factory = Renderer* (*)(Window* window);
    static Renderer* Create(Window* window);
    static void SetFactory(Factory factory);
    static Renderer* GetInstance() { return s_instance; }

    // A new reference to the texture of that path, or null.
    Texture* LoadTexture(const char* path);
    TextureManager* GetTextureManager() const { return m_pTextureManager; }
    Window* GetWindow() const { return m_pWindow; }
    // rotated and landscape: (window height, window width) = (480, 320);
    // otherwise (window width, window height) = (320, 480).
    Vector2f GetScreenSize(bool rotated);
    int GetWaitingThreads() const { return m_iWaitingThreads.load(); }

    // Framebuffer pixels per screen point, set by the host: 1 draws the classic
    // 480 x 320 frame, 2 draws 960 x 640. Any positive value, not only whole ones.
    void SetPixelScale(float scale) { m_rPixelScale = scale > 0.0f ? scale : 1.0f; }
    float GetPixelScale() const { return m_rPixelScale; }
    // A length in points as whole framebuffer pixels, truncated as GL viewports are.
    int ToPixels(float points) const { return static_cast<int>(points * m_rPixelScale); }
    // The art set drawn for this scale: 1, 2 or 4, the nearest at or above it (4 at most).
    int GetArtScale() const { return ArtScaleFor(m_rPixelScale); }
    static int ArtScaleFor(float pixelScale);
    // Main thread, before a frame is drawn: when the pixel scale has moved to another art
    // set since the last call, the textures are loaded again from that set (fonts follow
    // when their text is next drawn).
    void FollowArtScale();
    // Why the renderer is not valid, for the start-up failure message.
    const std::string& GetFailure() const { return m_sFailure; }
    void SetFailure(const std::string& reason) { m_sFailure = reason; }

  protected:
    Window* m_pWindow;
    TextureManager* m_pTextureManager = nullptr;
    Semaphore m_semaphore{0, 1};
    std::atomic<int> m_iWaitingThreads{0};
    Transform m_cameraView;
    Projection m_cameraProjection;
    std::string m_sFailure;
    float m_rPixelScale = 1.0f;
    int m_iFollowedArtScale = 0; // the art set the textures were last brought to; 0 none

    static Renderer* s_instance;
};
