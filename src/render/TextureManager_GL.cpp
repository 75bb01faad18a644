#include "render/TextureManager_GL.h"

#include "file/File.h"
#include "render/PNGImage.h"
#include "render/Renderer.h"
#include "render/Texture_GL.h"

#include <GLES/gl.h>
#include <GLES/glext.h>

#include <cstring>
#include <memory>

namespace
{
// The whole file, or false when it is missing or unreadable.
bool ReadWholeFile(const char* path, std::vector<uint8_t>& bytes)
{
    std::unique_ptr<File> file(File::Open(path, true));
    if (!file)
        return false;
    bytes.resize(file->Length());
    return bytes.empty() || file->Read(bytes.data(), static_cast<int>(bytes.size()));
}

uint32_t ReadLittleEndian32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool IsPowerOfTwo(int n)
{
    return n > 0 && (n & (n - 1)) == 0;
}
} // namespace

Texture* TextureManager_GL::LoadTextureFromFile(const char* path)
{
    if (std::strstr(path, ".pvr"))
        return LoadPVRTextureFromFile(path);
    if (std::strstr(path, ".apv"))
        return LoadAPVTextureFromFile(path);
    return LoadImageTextureFromFile(path);
}

bool TextureManager_GL::ReadPVRHeader(const std::vector<uint8_t>& file, PVRHeader& header)
{
    if (file.size() < c_iPVRHeaderBytes)
        return false;
    uint32_t fields[13];
    for (int i = 0; i < 13; ++i)
        fields[i] = ReadLittleEndian32(file.data() + i * 4);
    std::memcpy(&header, fields, sizeof(header));
    const uint64_t end = static_cast<uint64_t>(header.iHeaderSize) + header.iDataSize;
    return end <= file.size();
}

unsigned int TextureManager_GL::PVRInternalFormat(uint8_t pixelFormat, bool alpha)
{
    if (pixelFormat == c_iPVRFormatPVRTC2)
        return alpha ? GL_COMPRESSED_RGBA_PVRTC_2BPPV1_IMG : GL_COMPRESSED_RGB_PVRTC_2BPPV1_IMG;
    if (pixelFormat == c_iPVRFormatPVRTC4)
        return alpha ? GL_COMPRESSED_RGBA_PVRTC_4BPPV1_IMG : GL_COMPRESSED_RGB_PVRTC_4BPPV1_IMG;
    return 0;
}

bool TextureManager_GL::MatchAPVLength(size_t length, int& side, int& bitsPerPixel)
{
    // Exact comparisons: a side of 1 holds half a byte, which no file length matches.
    for (int s = 1024; s >= 1; s /= 2)
    {
        const size_t texels = static_cast<size_t>(s) * s;
        if (length * 2 == texels)
        {
            side = s;
            bitsPerPixel = 4;
            return true;
        }
        if (length * 4 == texels)
        {
            side = s;
            bitsPerPixel = 2;
            return true;
        }
    }
    return false;
}

void TextureManager_GL::UploadCompressed(unsigned int internalFormat, int width, int height,
                                         const uint8_t* data, size_t size)
{
    glCompressedTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0,
                           static_cast<GLsizei>(size), data);
}

Texture* TextureManager_GL::LoadPVRTextureFromFile(const char* path)
{
    std::vector<uint8_t> file;
    if (!ReadWholeFile(path, file))
        return nullptr;
    PVRHeader header;
    if (!ReadPVRHeader(file, header))
        return nullptr;
    // Texture sizes are 16-bit.
    if (header.iWidth > 0xFFFF || header.iHeight > 0xFFFF)
        return nullptr;
    const bool alpha = header.iAlphaMask != 0;
    const unsigned int format =
        PVRInternalFormat(static_cast<uint8_t>(header.iFlags & 0xFF), alpha);
    const int width = static_cast<int>(header.iWidth);
    const int height = static_cast<int>(header.iHeight);
    return CreateTexture(path, width, height, alpha,
                         [&]() {
                             UploadCompressed(format, width, height,
                                              file.data() + header.iHeaderSize, header.iDataSize);
                         });
}

Texture* TextureManager_GL::LoadAPVTextureFromFile(const char* path)
{
    std::vector<uint8_t> file;
    if (!ReadWholeFile(path, file))
        return nullptr;
    int side = 0;
    int bits = 0;
    if (!MatchAPVLength(file.size(), side, bits))
        return nullptr;
    const unsigned int format =
        bits == 4 ? GL_COMPRESSED_RGB_PVRTC_4BPPV1_IMG : GL_COMPRESSED_RGB_PVRTC_2BPPV1_IMG;
    return CreateTexture(path, side, side, false,
                         [&]() { UploadCompressed(format, side, side, file.data(), file.size()); });
}

Texture* TextureManager_GL::LoadImageTextureFromFile(const char* path)
{
    // Images are found by bare name in the resource directory.
    const char* name = path;
    if (const char* backslash = std::strrchr(path, '\\'))
        name = backslash + 1;
    else if (const char* slash = std::strrchr(path, '/'))
        name = slash + 1;

    std::vector<uint8_t> file;
    if (!ReadWholeFile(name, file))
        return nullptr;
    PNGImage image;
    if (!image.Decode(file.data(), file.size()))
        return nullptr;
    const int width = image.GetWidth();
    const int height = image.GetHeight();
    if (!IsPowerOfTwo(width) || !IsPowerOfTwo(height))
        return nullptr;
    const std::vector<uint8_t> texels = image.MakeTexels();
    const bool alpha = image.HasAlpha();
    return CreateTexture(path, width, height, alpha,
                         [&]()
                         {
                             if (image.GetLayout() == PNGImage::Layout::RGBA8888)
                                 glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA,
                                              GL_UNSIGNED_BYTE, texels.data());
                             else
                                 glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB,
                                              GL_UNSIGNED_SHORT_5_6_5, texels.data());
                         });
}

Texture* TextureManager_GL::CreateTexture(const char* path, int width, int height, bool alpha,
                                          const std::function<void()>& upload)
{
    Renderer* renderer = Renderer::GetInstance();
    if (!renderer || !renderer->IsValid())
        return nullptr;
    renderer->LockSemaphore();
    renderer->CheckError();
    glEnable(GL_TEXTURE_2D);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_FALSE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    upload();
    renderer->CheckError();
    // Made while the lock is held, so the texture list is never changed while
    // the main thread draws.
    Texture* texture = new Texture_GL(name, path, static_cast<unsigned short>(width),
                                      static_cast<unsigned short>(height), alpha);
    renderer->UnlockSemaphore();
    return texture;
}
