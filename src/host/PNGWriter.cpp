#include "host/PNGWriter.h"

#include "core/Printable.h"
#include "host/OutputFile.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace
{
struct Job
{
    std::FILE* file;
    int width;
    int height;
    const std::vector<uint8_t>* rgba;
    std::vector<uint8_t> row;
};

[[noreturn]] void QuietError(png_structp png, png_const_charp /*message*/)
{
    png_longjmp(png, 1);
}

void QuietWarning(png_structp, png_const_charp) {}

bool Run(png_structp png, png_infop info, Job* job)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, job->file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(job->width),
                 static_cast<png_uint_32>(job->height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    job->row.resize(static_cast<size_t>(job->width) * 3);
    for (int y = 0; y < job->height; ++y)
    {
        const uint8_t* in = job->rgba->data() + static_cast<size_t>(y) * job->width * 4;
        for (int x = 0; x < job->width; ++x)
            std::memcpy(&job->row[static_cast<size_t>(x) * 3], in + x * 4, 3);
        png_write_row(png, job->row.data());
    }
    png_write_end(png, nullptr);
    return true;
}
} // namespace

bool PNGWriter::WriteRGB(const std::string& path, int width, int height,
                         const std::vector<uint8_t>& rgba, std::string& error)
{
    OutputFile output(path);
    return output.Open(error) && Write(output, width, height, rgba, error);
}

bool PNGWriter::Write(OutputFile& output, int width, int height, const std::vector<uint8_t>& rgba,
                      std::string& error)
{
    if (width <= 0 || height <= 0 ||
        rgba.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 4)
    {
        output.Abandon();
        error = "cannot write " + Printable::Name(output.GetPath()) + ": no picture to write";
        return false;
    }
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    Job job{output.GetStream(), width, height, &rgba, {}};
    errno = 0;
    if (!png || !info || !Run(png, info, &job))
        output.Fail(errno);
    png_destroy_write_struct(&png, &info);
    return output.Commit(error);
}
