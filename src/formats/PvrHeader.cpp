#include "formats/PvrHeader.h"

#include "formats/PvrtcDecoder.h"

namespace
{
uint32_t ReadLittleEndian32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
} // namespace

bool PvrHeader::Read(const uint8_t* data, size_t size, PvrHeader& header)
{
    if (data == nullptr || size < c_iSize)
        return false;
    uint32_t* fields[] = {&header.headerSize,   &header.height,    &header.width,
                          &header.mipmapCount,  &header.flags,     &header.dataSize,
                          &header.bitsPerPixel, &header.redMask,   &header.greenMask,
                          &header.blueMask,     &header.alphaMask, &header.tag,
                          &header.surfaceCount};
    for (size_t i = 0; i < sizeof(fields) / sizeof(fields[0]); ++i)
        *fields[i] = ReadLittleEndian32(data + 4 * i);
    return true;
}

uint64_t PvrHeader::Level0Size() const
{
    if (width == 0 || height == 0 || width > c_iMaxSide || height > c_iMaxSide)
        return 0;
    const uint64_t texels = uint64_t(width) * height;
    switch (PixelFormat())
    {
    case c_iFormatRgba4444:
    case c_iFormatRgb565:
        return texels * 2;
    case c_iFormatRgba8888:
        return texels * 4;
    case c_iFormatPvrtc2:
        return PvrtcDecoder::LevelSize(width, height, 2);
    case c_iFormatPvrtc4:
        return PvrtcDecoder::LevelSize(width, height, 4);
    default:
        return 0;
    }
}

bool PvrHeader::Level0Fits(size_t fileSize) const
{
    const uint64_t levelSize = Level0Size();
    return levelSize != 0 && levelSize <= dataSize &&
           uint64_t(headerSize) + dataSize <= uint64_t(fileSize);
}
