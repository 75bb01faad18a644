#include "RobotDrawing.h"

#include "RobotGeometry.h"

#include <algorithm>
#include <cmath>

namespace art
{
const unsigned c_iOutline = 0x1B1530;
const unsigned c_iAccent = 0xFF7A4D;
const unsigned c_iGlass = 0x0B1424;
const unsigned c_iEye = 0x5CEBFF;

void ShellPath(cairo_t* cr)
{
    const int n = 240;
    const double e = 2.0 / 3.4; // superellipse exponent
    for (int i = 0; i < n; ++i)
    {
        const double t = 2 * M_PI * i / n;
        const double c = std::cos(t), s = std::sin(t);
        const double x = c_rHeadX + c_rShellHalfW * (c < 0 ? -1 : 1) * std::pow(std::abs(c), e);
        const double y = c_rHeadY + c_rShellHalfH * (s < 0 ? -1 : 1) * std::pow(std::abs(s), e);
        if (i == 0)
            cairo_move_to(cr, x, y);
        else
            cairo_line_to(cr, x, y);
    }
    cairo_close_path(cr);
}

// The mouth plate: a dark rounded screen on which the mouth images glow.
const double c_rPlateHalfW = 31.0;
const double c_rPlateHalfH = 15.0;

void PlatePath(cairo_t* cr, double turn)
{
    const double cx = FaceX(0, turn);
    const double halfW = c_rPlateHalfW * FaceSquash(0, turn);
    RoundedRect(cr, cx - halfW, c_rMouthY - c_rPlateHalfH, 2 * halfW, 2 * c_rPlateHalfH, 11);
}

void VisorPath(cairo_t* cr, double turn)
{
    const double limitL = c_rHeadX - c_rShellHalfW + 9;
    const double limitR = c_rHeadX + c_rShellHalfW - 9;
    const double left = std::max(limitL, FaceX(-55 * M_PI / 180, turn));
    const double right = std::min(limitR, FaceX(55 * M_PI / 180, turn));
    RoundedRect(cr, left, c_rHeadY - 44, right - left, 52, 24);
}

void Ear(cairo_t* cr, double turn, int side)
{
    const double phi = side * M_PI / 2;
    const double x = c_rHeadX + (c_rShellHalfW + 5) * std::sin(phi + turn);
    const double y = c_rHeadY - 4;
    const double w = 10 + 5 * std::abs(std::cos(phi + turn));
    cairo_save(cr);
    RoundedRect(cr, x - w, y - 28, 2 * w, 56, w);
    cairo_pattern_t* g = cairo_pattern_create_linear(x - w, 0, x + w, 0);
    Stop(g, 0, 0xFFB08A);
    Stop(g, 0.45, c_iAccent);
    Stop(g, 1, 0xC4482A);
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    SetColour(cr, c_iOutline);
    cairo_set_line_width(cr, 2.5);
    cairo_stroke(cr);
    // Grille slots.
    SetColour(cr, 0x7A2A1A, 0.7);
    cairo_set_line_width(cr, 2);
    for (int i = -1; i <= 1; ++i)
    {
        cairo_move_to(cr, x - w * 0.45, y + i * 9);
        cairo_line_to(cr, x + w * 0.45, y + i * 9);
    }
    cairo_stroke(cr);
    cairo_restore(cr);
}

void DrawHeadBody(cairo_t* cr, double turn)
{
    const double hx = c_rHeadX, hy = c_rHeadY;
    const double shellBottom = hy + c_rShellHalfH;
    // Ears behind the shell.
    for (int side : {-1, 1})
        if (std::cos(side * M_PI / 2 + turn) <= 1e-6)
            Ear(cr, turn, side);
    // Neck and collar.
    const double nx = hx + 6 * std::sin(turn);
    cairo_rectangle(cr, nx - 20, shellBottom - 10, 40, 30);
    cairo_pattern_t* neck = cairo_pattern_create_linear(nx - 20, 0, nx + 20, 0);
    Stop(neck, 0, 0x6F7A8C);
    Stop(neck, 0.4, 0xC9D3E0);
    Stop(neck, 1, 0x4D5666);
    cairo_set_source(cr, neck);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(neck);
    SetColour(cr, c_iOutline);
    cairo_set_line_width(cr, 2.5);
    cairo_stroke(cr);
    cairo_save(cr);
    cairo_translate(cr, nx, shellBottom + 22);
    cairo_scale(cr, 44, 8);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
    cairo_pattern_t* collar = cairo_pattern_create_linear(0, shellBottom + 14, 0, shellBottom + 30);
    Stop(collar, 0, 0xFFC2A0);
    Stop(collar, 0.5, c_iAccent);
    Stop(collar, 1, 0xA83A22);
    cairo_set_source(cr, collar);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(collar);
    SetColour(cr, c_iOutline);
    cairo_stroke(cr);

    // Antenna.
    const double ax = AntennaX(turn);
    const double top = hy - c_rShellHalfH;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    SetColour(cr, c_iOutline);
    cairo_set_line_width(cr, 7);
    cairo_move_to(cr, ax, top + 4);
    cairo_line_to(cr, ax, top - 16);
    cairo_stroke(cr);
    SetColour(cr, 0xB9C4D2);
    cairo_set_line_width(cr, 3);
    cairo_move_to(cr, ax, top + 4);
    cairo_line_to(cr, ax, top - 16);
    cairo_stroke(cr);

    // Shell.
    ShellPath(cr);
    cairo_pattern_t* body = cairo_pattern_create_radial(hx - 34, hy - 40, 8, hx - 10, hy - 5, 118);
    Stop(body, 0, 0xFFFDF6);
    Stop(body, 0.45, 0xF3E6CE);
    Stop(body, 0.85, 0xCDB593);
    Stop(body, 1, 0xA98E6C);
    cairo_set_source(cr, body);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(body);
    SetColour(cr, c_iOutline);
    cairo_set_line_width(cr, 3);
    cairo_stroke(cr);

    // Antenna base dome.
    cairo_save(cr);
    cairo_translate(cr, ax, top + 2);
    cairo_scale(cr, 13 * std::cos(turn * 0.6), 7);
    cairo_arc(cr, 0, 0, 1, M_PI, 2 * M_PI);
    cairo_restore(cr);
    cairo_close_path(cr);
    SetColour(cr, 0x9AA6B8);
    cairo_fill_preserve(cr);
    SetColour(cr, c_iOutline);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
}

void DrawAntennaLight(cairo_t* cr, double turn)
{
    const double ax = AntennaX(turn);
    const double ay = AntennaY();
    cairo_arc(cr, ax, ay, 7.5, 0, 2 * M_PI);
    cairo_pattern_t* ball = cairo_pattern_create_radial(ax - 2.5, ay - 2.5, 1, ax, ay, 8);
    Stop(ball, 0, 0xFFF3D0);
    Stop(ball, 0.5, 0xFF9A5A);
    Stop(ball, 1, 0xD9482A);
    cairo_set_source(cr, ball);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(ball);
    SetColour(cr, c_iOutline);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
}

void DrawVisorAndPlate(cairo_t* cr, double turn)
{
    const double hy = c_rHeadY;
    VisorPath(cr, turn);
    cairo_pattern_t* glass = cairo_pattern_create_linear(0, hy - 44, 0, hy + 8);
    Stop(glass, 0, 0x22365A);
    Stop(glass, 0.6, c_iGlass);
    Stop(glass, 1, 0x0F2A3A);
    cairo_set_source(cr, glass);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(glass);
    SetColour(cr, c_iOutline);
    cairo_set_line_width(cr, 3);
    cairo_stroke(cr);

    PlatePath(cr, turn);
    cairo_pattern_t* plate = cairo_pattern_create_linear(0, c_rMouthY - 15, 0, c_rMouthY + 15);
    Stop(plate, 0, 0x050A14);
    Stop(plate, 1, 0x14263A);
    cairo_set_source(cr, plate);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(plate);
    SetColour(cr, c_iOutline);
    cairo_set_line_width(cr, 2.5);
    cairo_stroke(cr);
}

void DrawEyes(cairo_t* cr, double turn)
{
    const double hx = c_rHeadX, hy = c_rHeadY;
    const double eyePhi = c_rEyeAngle;
    const double eyeY = EyeY();
    for (int side : {-1, 1})
    {
        const double ex = FaceX(side * eyePhi, turn);
        const double sq = FaceSquash(side * eyePhi, turn);
        cairo_save(cr);
        cairo_translate(cr, ex, eyeY);
        cairo_scale(cr, sq, 1);
        cairo_arc(cr, 0, 0, 12.5, 0, 2 * M_PI);
        cairo_pattern_t* eye = cairo_pattern_create_radial(-3, -4, 1, 0, 0, 13);
        Stop(eye, 0, 0xFFFFFF);
        Stop(eye, 0.35, 0xC8FBFF);
        Stop(eye, 0.8, c_iEye);
        Stop(eye, 1, 0x1AA7D1);
        cairo_set_source(cr, eye);
        cairo_fill(cr);
        cairo_pattern_destroy(eye);
        // Sparkle.
        cairo_arc(cr, -4.5, -5, 2.6, 0, 2 * M_PI);
        SetColour(cr, 0xFFFFFF, 0.95);
        cairo_fill(cr);
        cairo_restore(cr);
    }
    // Glass reflection streak.
    VisorPath(cr, turn);
    cairo_clip(cr);
    cairo_move_to(cr, hx - 70, hy - 44);
    cairo_line_to(cr, hx - 40, hy - 44);
    cairo_line_to(cr, hx - 78, hy + 8);
    cairo_line_to(cr, hx - 108, hy + 8);
    cairo_close_path(cr);
    SetColour(cr, 0xFFFFFF, 0.10);
    cairo_fill(cr);
    cairo_reset_clip(cr);
    // Cheek lights.
    for (int side : {-1, 1})
    {
        const double phi = side * 44 * M_PI / 180;
        const double sq = FaceSquash(phi, turn);
        if (sq < 0.25)
            continue;
        cairo_save(cr);
        cairo_translate(cr, FaceX(phi, turn), c_rMouthY - 6);
        cairo_scale(cr, 8 * sq, 5);
        cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
        cairo_restore(cr);
        SetColour(cr, 0xFF8A7A, 0.55);
        cairo_fill(cr);
    }
}

void DrawFrontEars(cairo_t* cr, double turn)
{
    for (int side : {-1, 1})
        if (std::cos(side * M_PI / 2 + turn) > 1e-6)
            Ear(cr, turn, side);
}

void MouthPath(cairo_t* cr, double turn, int step)
{
    const double cx = FaceX(0, turn);
    const double cy = c_rMouthY;
    const double squash = FaceSquash(0, turn);
    const double w = MouthHalfWidth(step);
    const double h = MouthOpening(step);
    cairo_translate(cr, cx, cy - 1);
    cairo_scale(cr, squash, 1);
    if (step == 0)
    {
        cairo_move_to(cr, -w, -2);
        cairo_curve_to(cr, -w * 0.5, 4, w * 0.5, 4, w, -2);
    }
    else
    {
        const double topY = -h * 0.5;
        const double botY = h * 0.5;
        cairo_move_to(cr, -w, topY);
        cairo_curve_to(cr, -w * 0.4, topY + 3, w * 0.4, topY + 3, w, topY);
        cairo_curve_to(cr, w * 0.9, botY + h * 0.2, w * 0.5, botY + h * 0.25, 0, botY + h * 0.25);
        cairo_curve_to(cr, -w * 0.5, botY + h * 0.25, -w * 0.9, botY + h * 0.2, -w, topY);
        cairo_close_path(cr);
    }
}

void DrawMouth(cairo_t* cr, double turn, int step)
{
    const double cx = FaceX(0, turn);
    const double cy = c_rMouthY;
    const double squash = FaceSquash(0, turn);
    const double w = MouthHalfWidth(step);
    const double h = MouthOpening(step);
    cairo_save(cr);
    MouthPath(cr, turn, step);
    cairo_restore(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    if (step > 0)
    {
        SetColour(cr, 0x03121C);
        cairo_fill_preserve(cr);
        cairo_save(cr);
        cairo_clip_preserve(cr);
        // A little oscilloscope trace inside the mouth.
        cairo_new_path(cr);
        const double amp = h * 0.28;
        for (int i = 0; i <= 40; ++i)
        {
            const double t = i / 40.0;
            const double x = cx + (-w + 2 * w * t) * squash;
            const double y = cy + 1.5 + amp * std::sin(t * 3 * M_PI);
            if (i == 0)
                cairo_move_to(cr, x, y);
            else
                cairo_line_to(cr, x, y);
        }
        SetColour(cr, 0x9CF6FF, 0.9);
        cairo_set_line_width(cr, 1.5);
        cairo_stroke(cr);
        cairo_restore(cr);
        cairo_save(cr);
        MouthPath(cr, turn, step);
        cairo_restore(cr);
    }
    SetColour(cr, 0xC9FCFF);
    cairo_set_line_width(cr, step == 0 ? 3 : 2.2);
    cairo_stroke(cr);
}

} // namespace art
