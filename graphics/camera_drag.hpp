// The camera tools of a 3-D subplot as pointer drags: how far a drag from
// one pixel point to another orbits, pans and tilts, rolls or dollies the
// camera. Each move is made from the previous point of the drag.
#pragma once

#include "graphics/subplot.hpp"

namespace vke {

// The orbit angles of a drag from (x0, y0) to (x, y): the pixel moves times
// pi / 2 over half the larger side of the viewport; the vertical angle
// follows the y margin unit's sign.
void OrbitDragAngles(const SubplotRecord& subplot, double x0, double y0, double x, double y,
                     double* theta, double* phi);

// The angle about the viewport's centre from (x0, y0) to (x, y).
double RollDragAngle(const SubplotRecord& subplot, double x0, double y0, double x, double y);

// The distance of (x, y) from the viewport's centre.
double DistanceFromViewportCentre(const SubplotRecord& subplot, double x, double y);

// Orbits the camera around its target.
void OrbitCameraDrag(SubplotRecord* subplot, double x0, double y0, double x, double y);
// Pans and tilts the camera: the orbit angles scaled by its view angle
// (nothing in orthographic projection, which has none).
void PanTiltCameraDrag(SubplotRecord* subplot, double x0, double y0, double x, double y);
// Rolls the camera about its line of sight.
void RollCameraDrag(SubplotRecord* subplot, double x0, double y0, double x, double y);
// Moves the camera sideways and up or down with the pointer.
void DollyCameraDrag(SubplotRecord* subplot, double x0, double y0, double x, double y);
// Moves a perspective camera along its line of sight as the pointer moves
// away from (or toward) the viewport's centre: from distance r0 to the
// pointer's distance, scaled so that a move across half the viewport's
// diagonal covers the view distance d0 the drag started with. With
// keepTarget the target stays. Nothing for distances that are not finite.
void DollyForwardCameraDrag(SubplotRecord* subplot, double d0, double r0, double x, double y,
                            bool keepTarget);

}  // namespace vke
