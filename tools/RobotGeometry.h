// Where the robot's head frames and mouth images sit on the 480 x 320 screen. The program
// draws head frame i with its top-left at the head position and the mouths of frame i with
// their top-left at the frame's mouth position; the generators draw the face so that its
// features land in the same screen places.
#pragma once

#include <cmath>

namespace art
{
const int c_iHeadFrames = 9;
const int c_iMouthSteps = 5;
const int c_iHeadLeft = 186;
const int c_iHeadTop = 44;
const int c_iHeadSize = 256;   // head images are square
const int c_iMouthWidth = 128; // mouth images
const int c_iMouthHeight = 128;
const int c_MouthPositions[c_iHeadFrames][2] = {{205, 148}, {219, 140}, {227, 136},
                                                {251, 131}, {261, 132}, {262, 132},
                                                {269, 130}, {271, 126}, {287, 130}};

// Head shell, in screen points.
const double c_rHeadX = 296.0; // centre of the face when looking at the player
const double c_rHeadY = 156.0;
const double c_rShellHalfW = 86.0;
const double c_rShellHalfH = 72.0;
const double c_rFaceRadius = 90.0; // the face is painted on a cylinder of this radius
const double c_rMouthY = 194.0;    // centre line of the mouth

const double c_rEyeAngle = 22 * M_PI / 180; // the eyes' places on the face, either side

// Turn of frame i in radians: 0 looks left, 4 faces the player, 8 looks right.
inline double HeadTurn(int frame)
{
    return (frame - 4) * 7.5 * M_PI / 180.0;
}

// Screen x of a face feature at angle phi (radians, 0 = middle of the face).
inline double FaceX(double phi, double turn)
{
    return c_rHeadX + c_rFaceRadius * std::sin(phi + turn);
}
// How much a feature at angle phi is narrowed by the turn.
inline double FaceSquash(double phi, double turn)
{
    return std::cos(phi + turn);
}
// The antenna's ball, whose x follows the turn.
inline double AntennaX(double turn)
{
    return c_rHeadX + 46 * std::sin(turn);
}
inline double AntennaY()
{
    return c_rHeadY - c_rShellHalfH - 20;
}
// Centre line of the eyes.
inline double EyeY()
{
    return c_rHeadY - 18;
}

// Mouth opening `step` (0 closed ... 4 widest): half its width and its height.
inline double MouthHalfWidth(int step)
{
    const double halfW[c_iMouthSteps] = {18, 17, 19, 21, 23};
    return halfW[step];
}
inline double MouthOpening(int step)
{
    const double open[c_iMouthSteps] = {0, 5, 9, 13, 17};
    return open[step];
}
} // namespace art
