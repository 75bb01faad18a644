#include "render/TextureManager_GL.h"

#include "file/File.h"
#include "formats/PNGImage.h"
#include "render/PvrTextureImage.h"
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

bool TextureManager_GL::MatchAPVLength(size_t length, int& side, int& bitsPerPixel)
{
    uint32_t s = 0;
    if (!PvrTextureImage::MatchApvLength(length, s, bitsPerPixel))
        return false;
    side = static_cast<int>(s);
    return true;
}

void TextureManager_GL::UploadCompressed(unsigned int internalFormat, int width, int height,
                                         const uint8_t* data, size_t size)
{
    glCompressedTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0,
                           static_cast<GLsizei>(size), data);
}

void TextureManager_GL::UploadImage(const PvrTextureImage& image)
{
    switch (image.GetUpload())
    {
    case PvrTextureImage::Upload::Compressed:
        UploadCompressed(image.GetInternalFormat(), image.GetWidth(), image.GetHeight(),
                         image.GetData(), image.GetSize());
        break;
    case PvrTextureImage::Upload::Uncompressed:
        glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(image.GetInternalFormat()),
                     image.GetWidth(), image.GetHeight(), 0, image.GetFormat(), image.GetType(),
                     image.GetData());
        break;
    case PvrTextureImage::Upload::None:
        break; // an unknown pixel format: the texture object stays without an image
    }
}

bool TextureManager_GL::GLDecodesPVRTC()
{
    Renderer* renderer = Renderer::GetInstance();
    if (!renderer || !renderer->IsValid())
        return false;
    renderer->LockSemaphore();
    const GLubyte* extensions = glGetString(GL_EXTENSIONS);
    renderer->UnlockSemaphore();
    return PvrTextureImage::ListsPvrtc(reinterpret_cast<const char*>(extensions));
}

Texture* TextureManager_GL::LoadPVRTextureFromFile(const char* path)
{
    std::vector<uint8_t> file;
    if (!ReadWholeFile(path, file))
        return nullptr;
    // Without the GL's own PVRTC support the data is decoded here; either way only
    // a first level that lies whole inside the file is uploaded.
    PvrTextureImage image;
    if (!image.ReadPvr(file.data(), file.size(), GLDecodesPVRTC()))
        return nullptr;
    return CreateTexture(path, image.GetWidth(), image.GetHeight(), image.HasAlpha(),
                         [&]() { UploadImage(image); });
}

Texture* TextureManager_GL::LoadAPVTextureFromFile(const char* path)
{
    std::vector<uint8_t> file;
    if (!ReadWholeFile(path, file))
        return nullptr;
    PvrTextureImage image;
    if (!image.ReadApv(file.data(), file.size(), GLDecodesPVRTC()))
        return nullptr;
    return CreateTexture(path, image.GetWidth(), image.GetHeight(), false,
                         [&]() { UploadImage(image); });
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
    // Every loader hands over tightly packed rows (a 16-bit row of one texel is 2 bytes).
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    upload();
    renderer->CheckError();
    // Made while the lock is held, so the texture list is never changed while
    // the main thread draws.
    Texture* texture = new Texture_GL(name, path, static_cast<unsigned short>(width),
                                      static_cast<unsigned short>(height), alpha);
    renderer->UnlockSemaphore();
    return texture;
}
