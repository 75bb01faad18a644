// Draws the program's icon: the robot's head, facing the player with a smile, on a rounded
// square of the cool night backdrop. One vector drawing is written as the scalable SVG and
// rendered to every PNG size, in the layout of the hicolor icon theme:
//
//   make_icon <out-dir>
//
// writes <out-dir>/hicolor/scalable/apps/<id>.svg and <out-dir>/hicolor/NxN/apps/<id>.png,
// where <id> is the program's desktop id (ZINDLE_APP_ID), which names its icon.
#include "ArtCommon.h"
#include "RobotDrawing.h"
#include "RobotGeometry.h"

#include <cairo-svg.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace
{
const double c_rCanvas = 512.0;      // icon units: the drawing is made on this square
const double c_rMargin = 32.0;       // around the rounded square
const double c_rCornerRadius = 96.0; // of the rounded square
const double c_rHeadScale = 1.85;    // icon units per screen point
const double c_rHeadCentreY = 262.0; // where the face's centre lands
const int c_iSmile = 1;              // the mouth's opening, as on the about page
const int c_Sizes[] = {48, 64, 128, 256, 512};

// A radial glow of `hex` fading to nothing at `radius`.
void SoftGlow(cairo_t* cr, double x, double y, double radius, unsigned hex, double alpha)
{
    cairo_pattern_t* glow = cairo_pattern_create_radial(x, y, 0, x, y, radius);
    art::Stop(glow, 0, hex, alpha);
    art::Stop(glow, 1, hex, 0);
    cairo_set_source(cr, glow);
    cairo_arc(cr, x, y, radius, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_pattern_destroy(glow);
}

// The backdrop: a rounded square in the cool night's colours with the spotlight's warm pool.
void DrawBackdrop(cairo_t* cr)
{
    const double side = c_rCanvas - 2 * c_rMargin;
    const double centre = c_rCanvas / 2;
    art::RoundedRect(cr, c_rMargin, c_rMargin, side, side, c_rCornerRadius);
    cairo_pattern_t* night =
        cairo_pattern_create_radial(centre, centre * 0.9, 0, centre, centre, side * 0.75);
    art::Stop(night, 0, 0x1F7C93);
    art::Stop(night, 0.5, 0x14406B);
    art::Stop(night, 1, 0x0A1230);
    cairo_set_source(cr, night);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(night);
    cairo_save(cr);
    cairo_clip(cr);
    SoftGlow(cr, centre, centre, side * 0.48, 0xFFF1D6, 0.28);
    cairo_restore(cr);
    // A thin light rim keeps the square apart from dark panels.
    art::RoundedRect(cr, c_rMargin + 2, c_rMargin + 2, side - 4, side - 4, c_rCornerRadius - 2);
    art::SetColour(cr, 0x5FD3E0, 0.35);
    cairo_set_line_width(cr, 4);
    cairo_stroke(cr);
}

// The head facing the player, in screen points; the glows the head frames blur are
// gradients here, so that the drawing stays vector.
void DrawHead(cairo_t* cr)
{
    const double turn = art::HeadTurn(4);
    // Hover glow under the collar.
    cairo_save(cr);
    cairo_translate(cr, art::c_rHeadX, art::c_rHeadY + art::c_rShellHalfH + 26);
    cairo_scale(cr, 5.5, 1);
    SoftGlow(cr, 0, 0, 11, art::c_iEye, 0.7);
    cairo_restore(cr);

    art::DrawHeadBody(cr, turn);
    SoftGlow(cr, art::AntennaX(turn), art::AntennaY(), 14, 0xFF9A5A, 0.8);
    art::DrawAntennaLight(cr, turn);
    art::DrawVisorAndPlate(cr, turn);

    cairo_save(cr);
    art::VisorPath(cr, turn);
    cairo_clip(cr);
    for (int side : {-1, 1})
        SoftGlow(cr, art::FaceX(side * art::c_rEyeAngle, turn), art::EyeY(), 24, art::c_iEye, 0.75);
    cairo_restore(cr);
    art::DrawEyes(cr, turn);

    // Gloss on the shell.
    cairo_save(cr);
    art::ShellPath(cr);
    cairo_clip(cr);
    cairo_translate(cr, art::c_rHeadX - 40, art::c_rHeadY - 56);
    cairo_rotate(cr, -0.22);
    cairo_scale(cr, 3.4, 1);
    SoftGlow(cr, 0, 0, 11, 0xFFFFFF, 0.9);
    cairo_restore(cr);
    art::DrawFrontEars(cr, turn);

    // The mouth's glow, then the mouth.
    cairo_save(cr);
    cairo_save(cr);
    art::MouthPath(cr, turn, c_iSmile);
    cairo_restore(cr);
    art::SetColour(cr, art::c_iEye, 0.45);
    cairo_set_line_width(cr, 6);
    cairo_stroke(cr);
    cairo_restore(cr);
    art::DrawMouth(cr, turn, c_iSmile);
}

// The whole icon on a c_rCanvas square.
void DrawIcon(cairo_t* cr)
{
    DrawBackdrop(cr);
    cairo_save(cr);
    cairo_translate(cr, c_rCanvas / 2, c_rHeadCentreY);
    cairo_scale(cr, c_rHeadScale, c_rHeadScale);
    cairo_translate(cr, -art::c_rHeadX, -art::c_rHeadY);
    DrawHead(cr);
    cairo_restore(cr);
}

void Check(cairo_status_t status, const std::string& what)
{
    if (status != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error(what + ": " + cairo_status_to_string(status));
}

void WriteSvg(const std::string& path)
{
    cairo_surface_t* surface = cairo_svg_surface_create(path.c_str(), c_rCanvas, c_rCanvas);
    cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PX);
    cairo_t* cr = cairo_create(surface);
    DrawIcon(cr);
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const cairo_status_t status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    Check(status, "cannot write " + path);
}

void WritePng(const std::string& path, int size)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, size / c_rCanvas, size / c_rCanvas);
    DrawIcon(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    Check(cairo_surface_status(surface), "cannot draw " + path);
    const art::Image image = art::FromCairo(surface);
    cairo_surface_destroy(surface);
    art::WritePng(path, image, art::PngKind::Rgba);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: make_icon <out-dir>\n");
        return 2;
    }
    const std::filesystem::path theme = std::filesystem::path(argv[1]) / "hicolor";
    const std::string file = ZINDLE_APP_ID;
    try
    {
        const auto scalable = theme / "scalable" / "apps";
        std::filesystem::create_directories(scalable);
        WriteSvg((scalable / (file + ".svg")).string());
        std::printf("  scalable/apps/%s.svg\n", file.c_str());
        for (int size : c_Sizes)
        {
            const std::string name = std::to_string(size) + "x" + std::to_string(size);
            const auto folder = theme / name / "apps";
            std::filesystem::create_directories(folder);
            WritePng((folder / (file + ".png")).string(), size);
            std::printf("  %s/apps/%s.png\n", name.c_str(), file.c_str());
        }
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "make_icon: %s\n", e.what());
        return 1;
    }
    return 0;
}
