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
#include <vector>

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

// Images are found by bare name in the resource directory.
const char* BareName(const char* path)
{
    if (const char* backslash = std::strrchr(path, '\\'))
        return backslash + 1;
    if (const char* slash = std::strrchr(path, '/'))
        return slash + 1;
    return path;
}

bool FileExists(const std::string& name)
{
    std::unique_ptr<File> file(File::Open(name.c_str(), true));
    return file != nullptr;
}
} // namespace

std::string TextureManager_GL::ScaledName(const char* path, int artScale)
{
    const std::string name = BareName(path);
    if (artScale <= 1)
        return name;
    const size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    return stem + "@" + std::to_string(artScale) + "x.png";
}

int TextureManager_GL::NamedArtScale(const char* name)
{
    const char* at = std::strrchr(BareName(name), '@');
    if (!at || (at[1] != '2' && at[1] != '4') || at[2] != 'x')
        return 1;
    return at[1] - '0';
}

int TextureManager_GL::AvailableArtScale(const char* path, int artScale)
{
    for (int scale = artScale; scale > 1; scale /= 2)
        if (FileExists(ScaledName(path, scale)))
            return scale;
    return 1;
}

Texture* TextureManager_GL::LoadTextureFromFile(const char* path)
{
    Renderer* renderer = Renderer::GetInstance();
    return LoadTextureForArtScale(path, renderer ? renderer->GetArtScale() : 1);
}

void TextureManager_GL::FollowArtScale(int artScale)
{
    // Loading links new textures in at the head, so the list is taken first.
    std::vector<Texture_GL*> textures;
    for (Texture* texture = GetFirstTexture(); texture; texture = texture->GetNext())
        if (auto* gl = dynamic_cast<Texture_GL*>(texture))
            textures.push_back(gl);
    for (Texture_GL* texture : textures)
    {
        const char* path = texture->GetFilename();
        // A name that states its set (a font page) is the font's to change.
        if (NamedArtScale(path) != 1 || AvailableArtScale(path, artScale) == texture->GetArtScale())
            continue;
        // On failure the texture keeps the set it has.
        if (Texture* fresh = LoadTextureForArtScale(path, artScale))
        {
            texture->SwapImage(*static_cast<Texture_GL*>(fresh));
            fresh->Release();
        }
    }
}

Texture* TextureManager_GL::LoadTextureForArtScale(const char* path, int artScale)
{
    // The largest set not above the art scale, falling back towards 1x.
    if (NamedArtScale(path) == 1)
    {
        const int scale = AvailableArtScale(path, artScale);
        if (scale > 1)
            return LoadImageTextureFromFile(path, ScaledName(path, scale), scale);
    }
    if (std::strstr(path, ".pvr"))
        return LoadPVRTextureFromFile(path);
    if (std::strstr(path, ".apv"))
        return LoadAPVTextureFromFile(path);
    return LoadImageTextureFromFile(path, BareName(path), NamedArtScale(path));
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

Texture* TextureManager_GL::LoadImageTextureFromFile(const char* path, const std::string& name,
                                                     int artScale)
{
    std::vector<uint8_t> file;
    if (!ReadWholeFile(name.c_str(), file))
        return nullptr;
    PNGImage image;
    if (!image.Decode(file.data(), file.size()))
        return nullptr;
    const int width = image.GetWidth();
    const int height = image.GetHeight();
    // A larger set's image must keep the 1x image's size in points.
    if (!IsPowerOfTwo(width) || !IsPowerOfTwo(height) || width < artScale || height < artScale)
        return nullptr;
    const std::vector<uint8_t> texels = image.MakeTexels();
    const bool alpha = image.HasAlpha();
    return CreateTexture(
        path, width, height, alpha,
        [&]()
        {
            if (image.GetLayout() == PNGImage::Layout::RGBA8888)
                glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                             texels.data());
            else
                glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB,
                             GL_UNSIGNED_SHORT_5_6_5, texels.data());
        },
        artScale);
}

Texture* TextureManager_GL::CreateTexture(const char* path, int width, int height, bool alpha,
                                          const std::function<void()>& upload, int artScale)
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
                                      static_cast<unsigned short>(height), alpha, artScale);
    renderer->UnlockSemaphore();
    return texture;
}
