#include "formats/PNGImage.h"

#include <cstring>

#ifdef ZINDLE_PNG_WITHOUT_LIBPNG
// The browser build has no libpng: the program's own reader stands in.
#include "formats/PngDecoder.h"

bool PNGImage::Decode(const uint8_t* data, size_t size)
{
    PngDecoder::Image image;
    std::string error;
    const bool ok = PngDecoder::Decode(data, size, c_iMaxSide, image, error);
    m_rgba = std::move(image.rgba);
    m_iWidth = ok ? image.width : 0;
    m_iHeight = ok ? image.height : 0;
    m_bHasAlpha = ok && image.hasAlpha;
    return ok;
}
#else
#include <png.h>

#include <csetjmp>

namespace
{
struct Source
{
    const uint8_t* data;
    size_t size;
    size_t position;
};

// Everything the decoder changes after setjmp lives here, outside the frame
// that longjmp returns to.
struct Job
{
    Source source;
    std::vector<uint8_t>* pixels;
    std::vector<png_bytep> rows;
    int width = 0;
    int height = 0;
    bool alpha = false;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count)
{
    auto* source = static_cast<Source*>(png_get_io_ptr(png));
    if (count > source->size - source->position)
        png_error(png, "truncated");
    std::memcpy(out, source->data + source->position, count);
    source->position += count;
}

[[noreturn]] void QuietError(png_structp png, png_const_charp /*message*/)
{
    png_longjmp(png, 1);
}

void QuietWarning(png_structp, png_const_charp) {}

bool Run(png_structp png, png_infop info, Job* job)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_read_fn(png, &job->source, ReadFromMemory);
    png_set_user_limits(png, PNGImage::c_iMaxSide, PNGImage::c_iMaxSide);
    // A chunk may claim gigabytes in its length field: libpng would make room
    // for it before finding the file too short.
    png_set_chunk_malloc_max(png, PNGImage::c_iMaxChunkBytes);
    png_set_benign_errors(png, 0); // libpng only warns of a chunk too large, by default
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int depth = 0, colourType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colourType, &interlace, nullptr, nullptr);
    job->alpha =
        (colourType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS);

    // Every colour type and depth becomes 8-bit RGBA.
    png_set_expand(png);
    png_set_strip_16(png);
    if ((colourType & PNG_COLOR_MASK_COLOR) == 0)
        png_set_gray_to_rgb(png);
    if (!job->alpha)
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * 4)
        return false;

    job->width = static_cast<int>(width);
    job->height = static_cast<int>(height);
    job->pixels->resize(static_cast<size_t>(width) * height * 4);
    job->rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        job->rows[y] = job->pixels->data() + static_cast<size_t>(y) * width * 4;
    png_read_image(png, job->rows.data());
    png_read_end(png, nullptr);
    return true;
}
} // namespace

bool PNGImage::Decode(const uint8_t* data, size_t size)
{
    m_rgba.clear();
    m_iWidth = m_iHeight = 0;
    m_bHasAlpha = false;
    if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0)
        return false;

    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info)
    {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    std::vector<uint8_t> pixels;
    Job job{{data, size, 0}, &pixels, {}};
    const bool ok = Run(png, info, &job);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok)
        return false;
    m_rgba = std::move(pixels);
    m_iWidth = job.width;
    m_iHeight = job.height;
    m_bHasAlpha = job.alpha;
    return true;
}

#endif

std::vector<uint8_t> PNGImage::MakeTexels() const
{
    const size_t count = static_cast<size_t>(m_iWidth) * m_iHeight;
    if (GetLayout() == Layout::RGBA8888)
    {
        std::vector<uint8_t> texels(count * 4);
        for (size_t i = 0; i < count; ++i)
        {
            const uint8_t* in = &m_rgba[i * 4];
            const unsigned a = in[3];
            uint8_t* out = &texels[i * 4];
            for (int c = 0; c < 3; ++c)
                out[c] = static_cast<uint8_t>((in[c] * a + 127) / 255);
            out[3] = static_cast<uint8_t>(a);
        }
        return texels;
    }
    std::vector<uint8_t> texels(count * 2);
    for (size_t i = 0; i < count; ++i)
    {
        const uint8_t* in = &m_rgba[i * 4];
        const uint16_t texel =
            static_cast<uint16_t>(((in[0] >> 3) << 11) | ((in[1] >> 2) << 5) | (in[2] >> 3));
        std::memcpy(&texels[i * 2], &texel, 2);
    }
    return texels;
}
