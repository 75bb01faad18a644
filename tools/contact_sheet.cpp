// Writes a contact sheet of every PNG in a directory: each image scaled into a cell over a
// checkerboard (so transparency shows), with its name, size and whether it has alpha.
//
//   contact_sheet <data-dir> <out.png>
#include "ArtCommon.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        std::fprintf(stderr, "usage: contact_sheet <data-dir> <out.png>\n");
        return 2;
    }
    try
    {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(argv[1]))
            if (entry.path().extension() == ".png")
                files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        if (files.empty())
            throw std::runtime_error(std::string("no PNG files in ") + argv[1]);

        const int cell = 176, label = 30, columns = 10;
        const int rows = int((files.size() + columns - 1) / columns);
        const int width = columns * cell, height = rows * (cell + label);
        cairo_surface_t* sheet = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
        cairo_t* cr = cairo_create(sheet);
        cairo_set_source_rgb(cr, 0.12, 0.13, 0.16);
        cairo_paint(cr);
        cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                               CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr, 11);
        for (size_t i = 0; i < files.size(); ++i)
        {
            const double x = double(i % columns) * cell;
            const double y = double(i / columns) * (cell + label);
            const art::Image image = art::ReadPng(files[i].string());
            const bool alpha = art::PngHasAlpha(files[i].string());
            // Checkerboard.
            for (int cy = 0; cy < cell - 8; cy += 8)
                for (int cx = 0; cx < cell - 8; cx += 8)
                {
                    const double v = ((cx + cy) / 8) % 2 ? 0.42 : 0.3;
                    cairo_set_source_rgb(cr, v, v, v);
                    cairo_rectangle(cr, x + 4 + cx, y + 4 + cy, 8, 8);
                    cairo_fill(cr);
                }
            cairo_surface_t* s = art::ToCairo(image);
            const double scale =
                std::min(1.0, std::min((cell - 8.0) / image.w, (cell - 8.0) / image.h));
            cairo_save(cr);
            cairo_translate(cr, x + 4 + (cell - 8 - image.w * scale) / 2,
                            y + 4 + (cell - 8 - image.h * scale) / 2);
            cairo_scale(cr, scale, scale);
            cairo_set_source_surface(cr, s, 0, 0);
            cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
            cairo_paint(cr);
            cairo_restore(cr);
            cairo_surface_destroy(s);
            cairo_set_source_rgb(cr, 0.9, 0.92, 0.95);
            cairo_move_to(cr, x + 5, y + cell + 8);
            cairo_show_text(cr, files[i].filename().string().c_str());
            const std::string info = std::to_string(image.w) + " x " + std::to_string(image.h) +
                                     (alpha ? "  RGBA" : "  RGB");
            cairo_set_source_rgb(cr, 0.6, 0.75, 0.85);
            cairo_move_to(cr, x + 5, y + cell + 22);
            cairo_show_text(cr, info.c_str());
        }
        cairo_destroy(cr);
        cairo_surface_flush(sheet);
        if (cairo_surface_write_to_png(sheet, argv[2]) != CAIRO_STATUS_SUCCESS)
            throw std::runtime_error(std::string("cannot write ") + argv[2]);
        cairo_surface_destroy(sheet);
        std::printf("contact_sheet: %zu images in %s\n", files.size(), argv[2]);
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "contact_sheet: %s\n", e.what());
        return 1;
    }
    return 0;
}
