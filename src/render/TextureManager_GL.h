// Loads textures into GL: PVR containers and headerless APV files of PVRTC
// data, and PNG images decoded on libpng.
#pragma once

#include "render/TextureManager.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class PvrTextureImage;

class TextureManager_GL : public TextureManager
{
  public:
    // The side and bits per texel of an APV file of that length; false when
    // the length fits no square of side 1 to 1024.
    static bool MatchAPVLength(size_t length, int& side, int& bitsPerPixel);

    // Uploads level 0 of compressed texture data into the bound texture.
    static void UploadCompressed(unsigned int internalFormat, int width, int height,
                                 const uint8_t* data, size_t size);
    // Uploads the first level of a PVR or APV file into the bound texture: compressed,
    // decoded or uncompressed as the image says; nothing for an unknown pixel format.
    static void UploadImage(const PvrTextureImage& image);
    // True when the current GL lists GL_IMG_texture_compression_pvrtc, so that PVRTC
    // data goes up as it stands; otherwise it is decoded to RGBA8888 first.
    static bool GLDecodesPVRTC();

  protected:
    Texture* LoadTextureFromFile(const char* path) override;

  private:
    Texture* LoadPVRTextureFromFile(const char* path);
    Texture* LoadAPVTextureFromFile(const char* path);
    Texture* LoadImageTextureFromFile(const char* path);
    // Makes a GL texture under the renderer's lock, lets upload fill level 0
    // and wraps it. Null when no renderer holds a GL context.
    Texture* CreateTexture(const char* path, int width, int height, bool alpha,
                           const std::function<void()>& upload);
};
