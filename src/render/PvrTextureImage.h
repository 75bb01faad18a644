// The first level of a PVR or APV texture file, made ready for GL: the PVRTC data as it
// stands when the GL decodes PVRTC itself, otherwise decoded to RGBA8888 in software;
// uncompressed PVR formats as they are. Colour is premultiplied where the texture has
// alpha. Never reads past the file buffer, which must outlive the image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class PvrTextureImage
{
  public:
    enum class Upload
    {
        None,         // a texture object without a usable image (unknown pixel format)
        Compressed,   // glCompressedTexImage2D(internal format, size, data)
        Uncompressed, // glTexImage2D(format, format, type, data)
    };

    PvrTextureImage() = default;
    PvrTextureImage(const PvrTextureImage&) = delete;
    PvrTextureImage& operator=(const PvrTextureImage&) = delete;

    // From a whole PVR (legacy version 2) file. False when no texture should be made:
    // the header is cut short, a side is zero or over 65535, the header size plus the
    // data size runs past the end of the file (as with a newer version's header or a cut
    // file), or the data size of a known format is too small for the first level.
    bool ReadPvr(const uint8_t* file, size_t size, bool gpuDecodesPvrtc);

    // From a whole APV file: headerless PVRTC for one square power-of-two texture whose
    // side and rate follow from the length. False when the length matches no square or
    // is too short for a whole level.
    bool ReadApv(const uint8_t* file, size_t size, bool gpuDecodesPvrtc);

    // The side and rate of an APV file of that length: sides 1024 down to 1, larger sides
    // first and at each side 4 bits per texel before 2. False when no square matches.
    static bool MatchApvLength(size_t length, uint32_t& side, int& bitsPerPixel);

    uint16_t GetWidth() const { return m_iWidth; }
    uint16_t GetHeight() const { return m_iHeight; }
    bool HasAlpha() const { return m_bHasAlpha; }

    Upload GetUpload() const { return m_eUpload; }
    unsigned int GetInternalFormat() const { return m_iInternalFormat; }
    unsigned int GetFormat() const { return m_iFormat; }
    unsigned int GetType() const { return m_iType; }
    const uint8_t* GetData() const { return m_pData; }
    size_t GetSize() const { return m_iSize; }

    // The GL extension that lets the GL take PVRTC data itself.
    static constexpr const char* c_szPvrtcExtension = "GL_IMG_texture_compression_pvrtc";
    // True when extensions (the GL_EXTENSIONS string, may be null) lists that extension.
    static bool ListsPvrtc(const char* extensions);

  private:
    void Reset();
    bool SetPvrtc(const uint8_t* data, size_t size, int bitsPerPixel, bool gpuDecodesPvrtc);
    void SetUncompressed(const uint8_t* data, size_t size, unsigned int format, unsigned int type);

    uint16_t m_iWidth = 0;
    uint16_t m_iHeight = 0;
    bool m_bHasAlpha = false;
    Upload m_eUpload = Upload::None;
    unsigned int m_iInternalFormat = 0;
    unsigned int m_iFormat = 0;
    unsigned int m_iType = 0;
    const uint8_t* m_pData = nullptr;
    size_t m_iSize = 0;
    std::vector<uint8_t> m_aTexels; // decoded or premultiplied texels, when not the file's
};
