// The OpenGL ES 1.1 fixed-function back end of the renderer. Platform bindings
// add the presentation, the context hand-over and, in landscape, the rotation.
#pragma once

#include "render/Renderer.h"

class Renderer_GL : public Renderer
{
  public:
    explicit Renderer_GL(Window* window);
    // Deletes the texture manager: release every texture first.
    ~Renderer_GL() override;

    bool RecreateDevice() override { return true; }
    bool IsValid() override { return true; }
    void SetMaterial(Material* material) override;
    void SetTransform(const Transform& model) override;
    void BeginFrame(bool clear, unsigned int colour) override;
    void EndFrame(bool present) override;
    void RenderTree(RenderableTree* root, Camera* camera) override;
    void LockSemaphore() override;
    void UnlockSemaphore() override;
    void CheckError() override;
    void CheckThread() override;

    // At most one glFlush per frame.
    virtual void Flush();
    // Null loads the identity.
    virtual void SetTextureMatrix(Transform* transform);
    virtual void SetProjectionMatrix(Projection& projection);
    virtual void SetCameraMatrix(Transform& view);
    // Corners in screen points.
    virtual void SetViewport(const Vector2f& min, const Vector2f& max);
    virtual void Present() = 0;
    // Makes the GL context current on the calling thread, or releases it.
    virtual void LockContext() = 0;
    virtual void UnlockContext() = 0;
    virtual void SetVsync(bool enabled) = 0;

    // The matrices last handed to GL, column-major.
    const float* GetProjectionMatrix() const { return m_rProjectionMatrix; }
    const float* GetCameraMatrix() const { return m_rCameraMatrix; }
    const float* GetModelMatrix() const { return m_rModelMatrix; }

  protected:
    float m_rProjectionMatrix[16] = {};
    float m_rTextureMatrix[16] = {};
    float m_rCameraMatrix[16] = {};
    float m_rModelMatrix[16] = {};
    bool m_bFlushed = false;
};
