#include "render/Renderer_GL.h"

#include "core/Window.h"
#include "render/Camera.h"
#include "render/Material.h"
#include "render/RenderableTree.h"
#include "render/TextureManager_GL.h"
#include "render/Texture_GL.h"

#include <GLES/gl.h>

Renderer_GL::Renderer_GL(Window* window) : Renderer(window)
{
    m_pTextureManager = new TextureManager_GL();
}

Renderer_GL::~Renderer_GL()
{
    delete m_pTextureManager;
    m_pTextureManager = nullptr;
}

void Renderer_GL::SetMaterial(Material* material)
{
    if (!material)
        return;

    auto* texture = static_cast<Texture_GL*>(material->GetTexture(0));
    if (texture)
    {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture->GetTexture());
    }
    else
    {
        glDisable(GL_TEXTURE_2D);
    }

    const char blend = material->GetBlendMode();
    if (blend == 0)
        glDisable(GL_BLEND);
    else if (blend >= 1 && blend <= 7)
        glEnable(GL_BLEND);
    switch (blend)
    {
    case 1:
    case 2: // premultiplied alpha
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        break;
    case 3: // additive
        glBlendFunc(GL_ONE, GL_ONE);
        break;
    case 4: // additive by source alpha
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        break;
    case 5: // multiply
        glBlendFunc(GL_DST_COLOR, GL_ZERO);
        break;
    case 6:
        glBlendFunc(GL_DST_ALPHA, GL_ONE_MINUS_DST_ALPHA);
        break;
    case 7:
        glBlendFunc(GL_ONE_MINUS_DST_ALPHA, GL_DST_ALPHA);
        break;
    default: // other values leave the blend state as it was
        break;
    }

    const GLboolean colour = material->GetColorMask() ? GL_TRUE : GL_FALSE;
    glColorMask(colour, colour, colour, material->GetAlphaMask() ? GL_TRUE : GL_FALSE);
    glDepthMask(material->GetZWrite() ? GL_TRUE : GL_FALSE);
    if (material->GetZTest())
    {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
    }
    else
    {
        glDisable(GL_DEPTH_TEST);
    }

    // Wrap modes and filters apply to whatever texture is bound now.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S,
                    material->GetTextureModeU() ? GL_REPEAT : GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T,
                    material->GetTextureModeV() ? GL_REPEAT : GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                    material->GetMinFilter() ? GL_LINEAR : GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER,
                    material->GetMagFilter() ? GL_LINEAR : GL_NEAREST);
    CheckError();
}

void Renderer_GL::SetTransform(const Transform& model)
{
    glMatrixMode(GL_MODELVIEW);
    model.CopyTo(m_rModelMatrix, false);
    glLoadIdentity();
    glMultMatrixf(m_rCameraMatrix);
    glMultMatrixf(m_rModelMatrix);
}

void Renderer_GL::BeginFrame(bool clear, unsigned int colour)
{
    FollowArtScale();
    CheckError();
    glDepthMask(GL_TRUE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glViewport(0, 0, ToPixels(static_cast<float>(m_pWindow->GetWidth())),
               ToPixels(static_cast<float>(m_pWindow->GetHeight())));
    if (clear)
    {
        const float r = static_cast<float>((colour >> 16) & 255) / 255.0f;
        const float g = static_cast<float>((colour >> 8) & 255) / 255.0f;
        const float b = static_cast<float>(colour & 255) / 255.0f;
        glClearColor(r, g, b, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_DEPTH_TEST);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    m_bFlushed = false;
}

void Renderer_GL::EndFrame(bool present)
{
    CheckError();
    if (present)
    {
        Present();
        CheckThread();
    }
}

void Renderer_GL::RenderTree(RenderableTree* root, Camera* camera)
{
    if (!root || !camera)
        return;
    if (camera->GetFogEnabled())
    {
        const uint32_t packed = camera->GetFogColor();
        const GLfloat colour[4] = {static_cast<float>((packed >> 24) & 255) / 255.0f,
                                   static_cast<float>((packed >> 16) & 255) / 255.0f,
                                   static_cast<float>((packed >> 8) & 255) / 255.0f,
                                   static_cast<float>(packed & 255) / 255.0f};
        glEnable(GL_FOG);
        glFogfv(GL_FOG_COLOR, colour);
        glFogf(GL_FOG_START, camera->GetFogStart());
        glFogf(GL_FOG_END, camera->GetFogEnd());
        glFogf(GL_FOG_DENSITY, camera->GetFogDensity());
        glFogf(GL_FOG_MODE, GL_LINEAR);
    }
    else
    {
        glDisable(GL_FOG);
    }
    camera->GetProjection(m_cameraProjection);
    SetProjectionMatrix(m_cameraProjection);
    camera->GetTransform(m_cameraView);
    SetCameraMatrix(m_cameraView);
    SetViewport(camera->GetViewportMin(), camera->GetViewportMax());
    root->RenderTree(*this);
    CheckError();
    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    glNormalPointer(GL_FLOAT, 0, nullptr);
    glTexCoordPointer(2, GL_FLOAT, 0, nullptr);
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, nullptr);
}

void Renderer_GL::LockSemaphore()
{
    if (IsMainThread())
        return;
    ++m_iWaitingThreads;
    m_semaphore.Lock();
    LockContext();
    --m_iWaitingThreads;
}

void Renderer_GL::UnlockSemaphore()
{
    if (IsMainThread())
        return;
    UnlockContext();
    m_semaphore.Unlock();
}

void Renderer_GL::CheckError()
{
    glGetError();
}

void Renderer_GL::CheckThread()
{
    if (m_iWaitingThreads.load() == 0)
        return;
    UnlockContext();
    Renderer::CheckThread();
    LockContext();
}

void Renderer_GL::Flush()
{
    if (m_bFlushed)
        return;
    glFlush();
    m_bFlushed = true;
}

void Renderer_GL::SetTextureMatrix(Transform* transform)
{
    glMatrixMode(GL_TEXTURE);
    if (transform)
    {
        transform->CopyTo(m_rTextureMatrix, false);
        glLoadMatrixf(m_rTextureMatrix);
    }
    else
    {
        glLoadIdentity();
    }
    glMatrixMode(GL_MODELVIEW);
}

void Renderer_GL::SetProjectionMatrix(Projection& projection)
{
    projection.CopyTo(m_rProjectionMatrix, false);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(m_rProjectionMatrix);
}

void Renderer_GL::SetCameraMatrix(Transform& view)
{
    glMatrixMode(GL_MODELVIEW);
    view.CopyTo(m_rCameraMatrix, false);
    glLoadMatrixf(m_rCameraMatrix);
}

void Renderer_GL::SetViewport(const Vector2f& min, const Vector2f& max)
{
    // Unrotated: the y origin is measured from the bottom edge.
    glViewport(ToPixels(min.x), ToPixels(min.y), ToPixels(max.x - min.x), ToPixels(max.y - min.y));
}
