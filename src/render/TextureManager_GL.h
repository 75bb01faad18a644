// Loads textures into GL: PVR containers and headerless APV files of PVRTC
// data, and PNG images decoded on libpng. Above 1x the renderer's art set is
// taken where it exists: "robot0.png" at 2x loads "robot0@2x.png" (PNG at
// every larger scale, whatever the 1x file is), drawn at robot0.png's size.
#pragma once

#include "render/TextureManager.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
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

    // The bare file name of a path's image in an art set: ("data/robot0.png", 2) gives
    // "robot0@2x.png"; scale 1 gives the bare name unchanged.
    static std::string ScaledName(const char* path, int artScale);
    // The art scale a file name states ("page@4x.png": 4), 1 when it states none.
    static int NamedArtScale(const char* name);

    // The art set a path's image comes from at that art scale: the largest set not above
    // it that has the image, else 1.
    static int AvailableArtScale(const char* path, int artScale);

    void FollowArtScale(int artScale) override;

  protected:
    Texture* LoadTextureFromFile(const char* path) override;

  private:
    Texture* LoadTextureForArtScale(const char* path, int artScale);
    Texture* LoadPVRTextureFromFile(const char* path);
    Texture* LoadAPVTextureFromFile(const char* path);
    // name: the bare file name to read; the texture is known by path.
    Texture* LoadImageTextureFromFile(const char* path, const std::string& name, int artScale);
    // Makes a GL texture under the renderer's lock, lets upload fill level 0
    // and wraps it. Null when no renderer holds a GL context.
    Texture* CreateTexture(const char* path, int width, int height, bool alpha,
                           const std::function<void()>& upload, int artScale = 1);
};
