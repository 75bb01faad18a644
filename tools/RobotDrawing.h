// The robot's head as vector drawing, in screen points (tools/RobotGeometry.h): make_art lays
// these layers, with blurred glows between them, into the head frames and mouths; make_icon
// draws them straight into the program's icon. `turn` is a head frame's turn (HeadTurn).
#pragma once

#include "ArtCommon.h"

#include <cairo.h>

namespace art
{
extern const unsigned c_iOutline; // the robot's ink
extern const unsigned c_iAccent;  // ears, collar
extern const unsigned c_iGlass;   // visor
extern const unsigned c_iEye;     // eyes, mouth and their glow

// Paths (not drawn): the shell, the mouth plate and the visor.
void ShellPath(cairo_t* cr);
void PlatePath(cairo_t* cr, double turn);
void VisorPath(cairo_t* cr, double turn);
// The mouth's outline at opening `step`; it moves the transform, so callers save and restore.
void MouthPath(cairo_t* cr, double turn, int step);

// One ear, side -1 (left) or 1 (right).
void Ear(cairo_t* cr, double turn, int side);
// The ears behind the shell, neck, collar, antenna and shell.
void DrawHeadBody(cairo_t* cr, double turn);
// The antenna's ball.
void DrawAntennaLight(cairo_t* cr, double turn);
// The visor's glass and the dark mouth plate.
void DrawVisorAndPlate(cairo_t* cr, double turn);
// Eyes, the glass's reflection and the cheek lights.
void DrawEyes(cairo_t* cr, double turn);
// The ears in front of the shell.
void DrawFrontEars(cairo_t* cr, double turn);
// The mouth at opening `step` with its oscilloscope trace.
void DrawMouth(cairo_t* cr, double turn, int step);
} // namespace art
