// Springs: how free-layout subplots follow the figure rectangle when it
// changes. Each axis of a subplot has three segments (near margin, size, far
// margin), each with a stiffness from 0 (follows freely) to 1 (rigid); the
// change of the figure's extent is shared among them by their compliance.
#include <cmath>

#include "graphics/figure_state.hpp"

namespace vke {

namespace {

// Moves one axis of a subplot's position from the old figure extent to the
// new one.
void FollowAxis(double* position, int nearSide, int farSide, const double* oldRect,
                const double* newRect, const double* stiffness) {
  double oldExtent = oldRect[farSide] - oldRect[nearSide];
  double change = (newRect[farSide] - newRect[nearSide]) - oldExtent;
  double a = position[nearSide] - oldRect[nearSide];
  double b = position[farSide] - oldRect[nearSide];
  SpringShares shares = ComputeSpringShares(a, b, oldExtent, stiffness);
  position[nearSide] = newRect[nearSide] + a + shares.nearEdge * change;
  position[farSide] = newRect[nearSide] + b + shares.farEdge * change;
}

// Moves every subplot from the old figure rectangle to the new one.
void FollowSprings(FigureState* fig, const double* oldRect, const double* newRect) {
  int32_t n = ActiveSubplotCount(*fig);
  for (int32_t k = 0; k < n; ++k) {
    double* p = fig->subplots[k].position;
    const double* s = fig->springs[k].stiffness;
    FollowAxis(p, kLeft, kRight, oldRect, newRect, s);
    FollowAxis(p, kTop, kBottom, oldRect, newRect, s + kSpringY);
  }
}

}  // namespace

SpringShares ComputeSpringShares(double a, double b, double e0, const double* s) {
  double s0 = s[kSpringNear];
  double s1 = s[kSpringSize];
  double s2 = s[kSpringFar];
  // Compliances k = length (1 - s) / s, all multiplied by s0 s1 s2 so that no
  // stiffness divides.
  double k0 = a * (1 - s0) * s1 * s2;
  double k1 = (b - a) * (1 - s1) * s0 * s2;
  double k2 = (e0 - b) * (1 - s2) * s0 * s1;
  double total = k0 + k1 + k2;
  // A stiffness of 0 or 1 fixes its edge's share outright.
  bool nearRule = s0 == 0 || s0 == 1;
  bool farRule = s2 == 0 || s2 == 1;
  double nearShare = s0 == 0 ? 1 : 0;
  double farShare = s2 == 1 ? 1 : 0;
  if (total != 0 && std::isfinite(total)) {
    return {nearRule ? nearShare : k0 / total, farRule ? farShare : (k0 + k1) / total};
  }
  // No segment can take the change (every compliance is 0, as for a subplot
  // spanning the whole axis with a rigid size): the subplot keeps its size,
  // moving with an edge that has a rule, else staying where it is.
  double both = nearRule ? nearShare : farRule ? farShare : 0;
  return {nearRule ? nearShare : both, farRule ? farShare : both};
}

void ResizeFreeLayout(FigureState* fig, double oldWidth, double oldHeight) {
  if (!fig->freeLayout) return;
  const double* now = fig->rect;
  if (oldWidth == now[kRight] - now[kLeft] && oldHeight == now[kBottom] - now[kTop]) return;
  double old[4];
  SetRect(old, now[kLeft], now[kLeft] + oldWidth, now[kTop], now[kTop] + oldHeight);
  FollowSprings(fig, old, now);
  ComputeSubplotViewports(fig);
}

ErrCode SetFigureRect(FigureState* fig, FigureHost& host, double left, double right, double top,
                      double bottom) {
  double rect[4];
  SetRect(rect, left, right, top, bottom);
  if (fig->freeLayout) FollowSprings(fig, fig->rect, rect);
  SetRect(fig->rect, left, right, top, bottom);
  ComputeSubplotViewports(fig);
  return host.Initialised() ? host.RunResizeHandlers() : kOk;
}

}  // namespace vke
