#include "render/PvrTextureImage.h"

#include "formats/PvrHeader.h"
#include "formats/PvrtcDecoder.h"
#include "formats/TexelConvert.h"

#include <GLES/gl.h>
#include <GLES/glext.h>

#include <cstring>

namespace
{
constexpr uint32_t c_iApvLargestSide = 1024;
} // namespace

void PvrTextureImage::Reset()
{
    m_iWidth = m_iHeight = 0;
    m_bHasAlpha = false;
    m_eUpload = Upload::None;
    m_iInternalFormat = m_iFormat = m_iType = 0;
    m_pData = nullptr;
    m_iSize = 0;
    m_aTexels.clear();
}

bool PvrTextureImage::ReadPvr(const uint8_t* file, size_t size, bool gpuDecodesPvrtc)
{
    Reset();
    PvrHeader header;
    // Whatever the format, a header with a side of no texels or out of 16 bits, or with
    // its image data running past the end of the file, is not a texture.
    if (!PvrHeader::Read(file, size, header) || header.width == 0 || header.height == 0 ||
        header.width > PvrHeader::c_iMaxSide || header.height > PvrHeader::c_iMaxSide ||
        uint64_t(header.headerSize) + header.dataSize > uint64_t(size))
        return false;
    m_iWidth = uint16_t(header.width);
    m_iHeight = uint16_t(header.height);
    m_bHasAlpha = header.HasAlpha();

    const uint8_t format = header.PixelFormat();
    const bool known = format == PvrHeader::c_iFormatRgba4444 ||
                       format == PvrHeader::c_iFormatRgba8888 ||
                       format == PvrHeader::c_iFormatRgb565 || header.IsPvrtc();
    if (!known)
        return true; // a texture object without an image, as for any unknown format
    if (!header.Level0Fits(size))
        return false;

    const uint8_t* level = file + header.headerSize;
    const size_t levelSize = size_t(header.Level0Size());
    switch (format)
    {
    case PvrHeader::c_iFormatPvrtc2:
        return SetPvrtc(level, levelSize, 2, gpuDecodesPvrtc);
    case PvrHeader::c_iFormatPvrtc4:
        return SetPvrtc(level, levelSize, 4, gpuDecodesPvrtc);
    case PvrHeader::c_iFormatRgb565:
        SetUncompressed(level, levelSize, GL_RGB, GL_UNSIGNED_SHORT_5_6_5);
        return true;
    case PvrHeader::c_iFormatRgba4444:
        SetUncompressed(level, levelSize, GL_RGBA, GL_UNSIGNED_SHORT_4_4_4_4);
        return true;
    default:
        SetUncompressed(level, levelSize, GL_RGBA, GL_UNSIGNED_BYTE);
        return true;
    }
}

bool PvrTextureImage::MatchApvLength(size_t length, uint32_t& side, int& bitsPerPixel)
{
    // Exact products: a side of 1 holds half a byte, which no length matches.
    for (uint32_t s = c_iApvLargestSide; s >= 1; s /= 2)
    {
        const uint64_t texels = uint64_t(s) * s;
        for (const int bits : {4, 2})
        {
            if (uint64_t(length) * (8 / bits) == texels)
            {
                side = s;
                bitsPerPixel = bits;
                return true;
            }
        }
    }
    return false;
}

bool PvrTextureImage::ReadApv(const uint8_t* file, size_t size, bool gpuDecodesPvrtc)
{
    Reset();
    uint32_t side = 0;
    int bitsPerPixel = 0;
    if (file == nullptr || !MatchApvLength(size, side, bitsPerPixel))
        return false;
    m_iWidth = m_iHeight = uint16_t(side);
    m_bHasAlpha = false;
    // Below 8 x 8 (4 bpp) or 16 x 16 (2 bpp) the length cannot hold a whole level.
    if (size < PvrtcDecoder::LevelSize(side, side, bitsPerPixel))
        return false;
    return SetPvrtc(file, size, bitsPerPixel, gpuDecodesPvrtc);
}

bool PvrTextureImage::SetPvrtc(const uint8_t* data, size_t size, int bitsPerPixel,
                               bool gpuDecodesPvrtc)
{
    if (gpuDecodesPvrtc)
    {
        if (bitsPerPixel == 4)
            m_iInternalFormat = m_bHasAlpha ? GL_COMPRESSED_RGBA_PVRTC_4BPPV1_IMG
                                            : GL_COMPRESSED_RGB_PVRTC_4BPPV1_IMG;
        else
            m_iInternalFormat = m_bHasAlpha ? GL_COMPRESSED_RGBA_PVRTC_2BPPV1_IMG
                                            : GL_COMPRESSED_RGB_PVRTC_2BPPV1_IMG;
        m_eUpload = Upload::Compressed;
        m_pData = data;
        m_iSize = size;
        return true;
    }
    if (!PvrtcDecoder::Decode(data, size, m_iWidth, m_iHeight, bitsPerPixel, m_aTexels))
        return false;
    const size_t count = size_t(m_iWidth) * m_iHeight;
    // The RGB formats ignore alpha, punch-through texels included.
    if (m_bHasAlpha)
        TexelConvert::PremultiplyRgba8888(m_aTexels.data(), count);
    else
        TexelConvert::MakeOpaqueRgba8888(m_aTexels.data(), count);
    m_eUpload = Upload::Uncompressed;
    m_iInternalFormat = m_iFormat = GL_RGBA;
    m_iType = GL_UNSIGNED_BYTE;
    m_pData = m_aTexels.data();
    m_iSize = m_aTexels.size();
    return true;
}

void PvrTextureImage::SetUncompressed(const uint8_t* data, size_t size, unsigned int format,
                                      unsigned int type)
{
    m_eUpload = Upload::Uncompressed;
    m_iInternalFormat = m_iFormat = format;
    m_iType = type;
    m_pData = data;
    m_iSize = size;
    if (!m_bHasAlpha || format != GL_RGBA)
        return;
    m_aTexels.assign(data, data + size);
    const size_t count = size_t(m_iWidth) * m_iHeight;
    if (type == GL_UNSIGNED_BYTE)
        TexelConvert::PremultiplyRgba8888(m_aTexels.data(), count);
    else
        TexelConvert::PremultiplyRgba4444(m_aTexels.data(), count);
    m_pData = m_aTexels.data();
}

bool PvrTextureImage::ListsPvrtc(const char* extensions)
{
    if (extensions == nullptr)
        return false;
    const size_t length = std::strlen(c_szPvrtcExtension);
    for (const char* p = extensions; (p = std::strstr(p, c_szPvrtcExtension)) != nullptr;
         p += length)
    {
        const bool startsWord = p == extensions || p[-1] == ' ';
        const bool endsWord = p[length] == '\0' || p[length] == ' ';
        if (startsWord && endsWord)
            return true;
    }
    return false;
}
