#include "platform/sdl/FingerOverlay.h"

#include <GLES/gl.h>

#include <cmath>
#include <vector>

namespace
{
constexpr int c_iSegments = 24;
constexpr float c_rPortraitWidth = 320.0f;
constexpr float c_rPortraitHeight = 480.0f;

// An annulus as a triangle strip around (x, y) in portrait points.
void Ring(std::vector<GLfloat>& strip, float x, float y, float inner, float outer)
{
    strip.clear();
    for (int i = 0; i <= c_iSegments; ++i)
    {
        const float angle = 6.2831853f * static_cast<float>(i) / c_iSegments;
        const float c = std::cos(angle);
        const float s = std::sin(angle);
        strip.insert(strip.end(), {x + outer * c, y + outer * s, x + inner * c, y + inner * s});
    }
}

void DrawStrip(const std::vector<GLfloat>& strip)
{
    glVertexPointer(2, GL_FLOAT, 0, strip.data());
    glDrawArrays(GL_TRIANGLE_STRIP, 0, static_cast<GLsizei>(strip.size() / 2));
}
} // namespace

void FingerOverlay::Draw(const TouchInput_SDL::Finger* fingers, int count, float pixelScale)
{
    if (count <= 0)
        return;

    // Save what the renderer relies on.
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    const GLboolean depthTest = glIsEnabled(GL_DEPTH_TEST);
    const GLboolean texture = glIsEnabled(GL_TEXTURE_2D);
    const GLboolean blend = glIsEnabled(GL_BLEND);
    const GLboolean cull = glIsEnabled(GL_CULL_FACE);
    const GLboolean lighting = glIsEnabled(GL_LIGHTING);
    const GLboolean vertexArray = glIsEnabled(GL_VERTEX_ARRAY);
    const GLboolean colourArray = glIsEnabled(GL_COLOR_ARRAY);
    const GLboolean texCoordArray = glIsEnabled(GL_TEXTURE_COORD_ARRAY);
    const GLboolean normalArray = glIsEnabled(GL_NORMAL_ARRAY);
    GLint matrixMode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);

    // The whole framebuffer, in points: the rings are drawn at its own resolution.
    glViewport(0, 0, static_cast<GLsizei>(c_rPortraitWidth * pixelScale),
               static_cast<GLsizei>(c_rPortraitHeight * pixelScale));
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrthof(0.0f, c_rPortraitWidth, 0.0f, c_rPortraitHeight, -1.0f, 1.0f);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glEnableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);

    std::vector<GLfloat> strip;
    strip.reserve((c_iSegments + 1) * 4);
    for (int i = 0; i < count; ++i)
    {
        const TouchInput_SDL::Finger& finger = fingers[i];
        // Landscape (X, Y) is portrait point (320 - Y, 480 - X), origin bottom-left.
        const float x = c_rPortraitWidth - finger.landscapeY;
        const float y = c_rPortraitHeight - finger.landscapeX;
        glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
        Ring(strip, x, y, c_rInnerRadius - c_rRimWidth, c_rOuterRadius + c_rRimWidth);
        DrawStrip(strip);
        if (finger.held)
        {
            glColor4f(1.0f, 0.67f, 0.0f, 1.0f);
            Ring(strip, x, y, c_rInnerRadius, c_rOuterRadius);
            DrawStrip(strip);
            Ring(strip, x, y, 0.0f, c_rDotRadius);
            DrawStrip(strip);
        }
        else
        {
            glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
            Ring(strip, x, y, c_rInnerRadius, c_rOuterRadius);
            DrawStrip(strip);
        }
    }

    // Put everything back.
    auto restore = [](GLenum capability, GLboolean on)
    {
        if (on)
            glEnable(capability);
        else
            glDisable(capability);
    };
    auto restoreArray = [](GLenum array, GLboolean on)
    {
        if (on)
            glEnableClientState(array);
        else
            glDisableClientState(array);
    };
    restore(GL_DEPTH_TEST, depthTest);
    restore(GL_TEXTURE_2D, texture);
    restore(GL_BLEND, blend);
    restore(GL_CULL_FACE, cull);
    restore(GL_LIGHTING, lighting);
    restoreArray(GL_VERTEX_ARRAY, vertexArray);
    restoreArray(GL_COLOR_ARRAY, colourArray);
    restoreArray(GL_TEXTURE_COORD_ARRAY, texCoordArray);
    restoreArray(GL_NORMAL_ARRAY, normalArray);
    glColor4f(colour[0], colour[1], colour[2], colour[3]);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(static_cast<GLenum>(matrixMode));
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
}
