// Lines, polygons, markers and ellipses of the cairo port. On a raster
// target one-unit lines follow the platform's pixel rule: the first point of
// a line is drawn, the last is not; wider pens are round-capped and always
// solid. Styles marked smooth (data curves, markers, fills and faces) are
// drawn anti-aliased through their points' fractions instead.
#include <algorithm>
#include <array>
#include <cmath>

#include "graphics/port.hpp"
#include "graphics/port_cairo.hpp"

namespace vke {
namespace {

// Segments whose two ends lie beyond this on the same side are not drawn.
constexpr double kFarCoord = 20000;
// Slot 3 draws nothing when a radius exceeds this.
constexpr double kMaxRadius = 5000;

struct Pt {
  double x;
  double y;
  bool operator==(const Pt&) const = default;
};

// Dash patterns of one-unit pens, in device units.
void SetDash(cairo_t* cr, PenDash dash, double offset) {
  static constexpr double kDash[] = {6, 2};
  static constexpr double kDot[] = {1, 2};
  static constexpr double kDashDot[] = {6, 2, 1, 2};
  switch (dash) {
    case PenDash::kSolid:
      cairo_set_dash(cr, nullptr, 0, 0);
      break;
    case PenDash::kDash:
      cairo_set_dash(cr, kDash, 2, offset);
      break;
    case PenDash::kDot:
      cairo_set_dash(cr, kDot, 2, offset);
      break;
    case PenDash::kDashDot:
      cairo_set_dash(cr, kDashDot, 4, offset);
      break;
  }
}

// Draws line runs with a pen. One-unit lines drawn pixel-exact follow the
// platform's pixel rule: each segment is stroked on its own through
// pixel centres, pulled back by half a unit at both ends, so that its first
// pixel is covered and its last is not (cairo's rasteriser adds pixels where
// strokes of one path overlap); the dash pattern runs on across segments.
// Other pens draw connected runs with round joins, stroked once by Finish.
class LinePath {
 public:
  LinePath(cairo_t* cr, const PenBrush& pen, bool pixelExact)
      : cr_(cr),
        pen_(pen),
        exact_(pixelExact && pen.width == 1),
        offset_(pen.width % 2 == 1 ? 0.5 : 0.0) {}

  void MoveTo(Pt p) {
    inRun_ = false;
    last_ = p;
  }

  void LineTo(Pt p) {
    if (p == last_) return;
    if (exact_) {
      const double dx = p.x - last_.x;
      const double dy = p.y - last_.y;
      const double len = std::hypot(dx, dy);
      const double ux = 0.5 * dx / len;
      const double uy = 0.5 * dy / len;
      SetDash(cr_, pen_.dash, travelled_);
      cairo_move_to(cr_, last_.x + offset_ - ux, last_.y + offset_ - uy);
      cairo_line_to(cr_, p.x + offset_ - ux, p.y + offset_ - uy);
      cairo_stroke(cr_);
      travelled_ += len;
    } else {
      if (!inRun_) cairo_move_to(cr_, last_.x + offset_, last_.y + offset_);
      cairo_line_to(cr_, p.x + offset_, p.y + offset_);
      inRun_ = true;
    }
    last_ = p;
  }

  void Finish() {
    if (!exact_) cairo_stroke(cr_);
  }

  Pt last() const { return last_; }

 private:
  cairo_t* cr_;
  PenBrush pen_;
  bool exact_;
  double offset_;
  double travelled_ = 0;
  Pt last_{0, 0};
  bool inRun_ = false;
};

// How a shape is placed: smooth shapes keep their points' fractions and
// are anti-aliased on a raster target; others are truncated to whole device
// units as the platform does, and their one-unit lines follow its pixel
// rule there.
struct Placement {
  bool smooth;
  bool pixelRule;
};

// A device coordinate as the placement takes it, saturated (NaN at the
// negative end); pinned: also within +-kCoordLimit.
double PlaceCoord(double v, Placement at) {
  constexpr double kSaturate = 1e15;
  if (!at.smooth) return TruncCoord(v);
  return std::isnan(v) ? -kSaturate : std::clamp(v, -kSaturate, kSaturate);
}

double PinPlacedCoord(double v, Placement at) {
  const double lim = static_cast<double>(kCoordLimit);
  return std::clamp(PlaceCoord(v, at), -lim, lim);
}

// Cuts the segment a-b to the square of +-kCoordLimit (Liang-Barsky); false
// when nothing of it lies inside.
bool ClipToLimit(Pt* a, Pt* b) {
  const double lim = static_cast<double>(kCoordLimit);
  const double dx = b->x - a->x;
  const double dy = b->y - a->y;
  double t0 = 0;
  double t1 = 1;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a->x + lim, lim - a->x, a->y + lim, lim - a->y};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double r = q[i] / p[i];
    if (p[i] < 0) {
      t0 = std::max(t0, r);
    } else {
      t1 = std::min(t1, r);
    }
    if (t0 > t1) return false;
  }
  const Pt from = *a;
  if (t1 < 1) *b = Pt{from.x + t1 * dx, from.y + t1 * dy};
  if (t0 > 0) *a = Pt{from.x + t0 * dx, from.y + t0 * dy};
  return true;
}

bool BothBeyond(double u, double v) {
  return (u < -kFarCoord && v < -kFarCoord) || (u > kFarCoord && v > kFarCoord);
}

// The pen on the target's context; no thinner than the target's least line.
void ApplyPen(const CairoTarget& t, const PenBrush& pen) {
  cairo_t* cr = t.context();
  SetSourceRgb(cr, pen.rgb);
  cairo_set_line_width(cr, std::max<double>(pen.width, t.leastLineWidth()));
  cairo_set_line_cap(cr, pen.width == 1 ? CAIRO_LINE_CAP_BUTT : CAIRO_LINE_CAP_ROUND);
  SetDash(cr, pen.dash, 0);
}

// The path of the platform's Ellipse over the box l..r, t..b (right and
// bottom exclusive), as four Bezier quarters.
void AddEllipse(cairo_t* cr, double l, double t, double r, double b) {
  constexpr double kKappa = 0.5522847498307936;
  const double cx = (l + r) / 2;
  const double cy = (t + b) / 2;
  const double rx = std::max(0.0, (r - l) / 2 - 0.5);
  const double ry = std::max(0.0, (b - t) / 2 - 0.5);
  const double kx = kKappa * rx;
  const double ky = kKappa * ry;
  cairo_new_sub_path(cr);
  cairo_move_to(cr, cx + rx, cy);
  cairo_curve_to(cr, cx + rx, cy + ky, cx + kx, cy + ry, cx, cy + ry);
  cairo_curve_to(cr, cx - kx, cy + ry, cx - rx, cy + ky, cx - rx, cy);
  cairo_curve_to(cr, cx - rx, cy - ky, cx - kx, cy - ry, cx, cy - ry);
  cairo_curve_to(cr, cx + kx, cy - ry, cx + rx, cy - ky, cx + rx, cy);
  cairo_close_path(cr);
}

void FillAndStroke(cairo_t* cr, const PenBrush& pen) {
  if (pen.fill) cairo_fill_preserve(cr);
  cairo_stroke(cr);
}

// Marker strokes as offsets from the marker's point; each run a polyline.
struct MarkerRun {
  int8_t count;
  int8_t pts[5][2];
};
struct MarkerShape {
  uint32_t kind;
  int8_t runs;
  MarkerRun run[3];
};
constexpr std::array<MarkerShape, 8> kMarkers{{
    {kKindPoint, 1, {{2, {{0, 0}, {1, 0}}}}},
    {kKindCross, 2, {{2, {{-3, -3}, {4, 4}}}, {2, {{3, -3}, {-4, 4}}}}},
    {kKindPlus, 2, {{2, {{-3, 0}, {4, 0}}}, {2, {{0, -3}, {0, 4}}}}},
    {kKindStar, 3, {{2, {{-2, -3}, {2, 3}}}, {2, {{2, -3}, {-2, 3}}}, {2, {{-3, 0}, {3, 0}}}}},
    {kKindTriangleUp, 1, {{4, {{0, -3}, {3, 2}, {-3, 2}, {0, -3}}}}},
    {kKindTriangleDown, 1, {{4, {{0, 3}, {3, -2}, {-3, -2}, {0, 3}}}}},
    {kKindBox, 1, {{5, {{3, 3}, {3, -3}, {-3, -3}, {-3, 3}, {3, 3}}}}},
    {kKindDiamond, 1, {{5, {{0, 3}, {3, 0}, {0, -3}, {-3, 0}, {0, 3}}}}},
}};

void DrawMarkers(cairo_t* cr, Placement at, const double* x, const double* y, int32_t n,
                 uint32_t kind, const PenBrush& pen) {
  const MarkerShape* shape = nullptr;
  for (const MarkerShape& m : kMarkers) {
    if (m.kind == kind) shape = &m;
  }
  if (shape == nullptr && kind != kKindCircle) return;
  LinePath path(cr, pen, at.pixelRule);
  for (int32_t i = 0; i < n; ++i) {
    int32_t px = 0;
    int32_t py = 0;
    if (!DevicePoint(x[i], y[i], &px, &py)) continue;
    if (shape == nullptr) {
      // Each circle on its own, as each one-unit segment.
      AddEllipse(cr, px - 3, py - 3, px + 3, py + 3);
      FillAndStroke(cr, pen);
      continue;
    }
    for (int r = 0; r < shape->runs; ++r) {
      const MarkerRun& run = shape->run[r];
      path.MoveTo(Pt{px + run.pts[0][0] + 0.0, py + run.pts[0][1] + 0.0});
      for (int k = 1; k < run.count; ++k) {
        path.LineTo(Pt{px + run.pts[k][0] + 0.0, py + run.pts[k][1] + 0.0});
      }
    }
  }
  path.Finish();
}

// Adds the pixels that LinePath's strokes of a closed one-unit outline
// cover: one rectangle per segment, pulled back by half a unit along its
// direction, each turned clockwise on the device.
void AddOutlineRectangles(cairo_t* cr, Placement at, const double* x, const double* y, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    const Pt a{PinPlacedCoord(x[i], at), PinPlacedCoord(y[i], at)};
    const Pt b{PinPlacedCoord(x[(i + 1) % n], at), PinPlacedCoord(y[(i + 1) % n], at)};
    if (a == b) continue;
    const double len = std::hypot(b.x - a.x, b.y - a.y);
    const double ux = 0.5 * (b.x - a.x) / len;
    const double uy = 0.5 * (b.y - a.y) / len;
    const Pt p0{a.x + 0.5 - ux, a.y + 0.5 - uy};
    const Pt p1{b.x + 0.5 - ux, b.y + 0.5 - uy};
    cairo_move_to(cr, p0.x - uy, p0.y + ux);
    cairo_line_to(cr, p1.x - uy, p1.y + ux);
    cairo_line_to(cr, p1.x + uy, p1.y - ux);
    cairo_line_to(cr, p0.x + uy, p0.y - ux);
    cairo_close_path(cr);
  }
}

// Most corners of a polygon grown in one outline.
constexpr int32_t kGrownCorners = 4;
static_assert(2 * kGrownCorners <= kMaxDirectCorners);

// A smooth convex polygon of at most kGrownCorners points grown by half a
// unit outward along each edge, its corners cut off, in gx, gy (two corners
// an edge): the fill and the one-unit outline around it as one simple
// shape, which covers the seams between neighbouring faces as the outline
// does at a fraction of the cost. The number of corners, or 0 for other
// polygons and for those without area.
int32_t GrowConvex(Placement at, const double* x, const double* y, int32_t n, double* gx,
                   double* gy) {
  if (!at.smooth || n < 3 || n > kGrownCorners) return 0;
  double px[kGrownCorners];
  double py[kGrownCorners];
  for (int32_t i = 0; i < n; ++i) {
    px[i] = PinPlacedCoord(x[i], at);
    py[i] = PinPlacedCoord(y[i], at);
  }
  const int32_t turn = ConvexTurn(px, py, n);
  if (turn == 0) return 0;
  const double outward = turn > 0 ? 0.5 : -0.5;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t j = i + 1 == n ? 0 : i + 1;
    const double dx = px[j] - px[i];
    const double dy = py[j] - py[i];
    // Pinned corners: the squares stay far from overflow.
    const double len = std::sqrt(dx * dx + dy * dy);
    const double nx = outward * dy / len;
    const double ny = -outward * dx / len;
    gx[2 * i] = px[i] + 0.5 + nx;
    gy[2 * i] = py[i] + 0.5 + ny;
    gx[2 * i + 1] = px[j] + 0.5 + nx;
    gy[2 * i + 1] = py[j] + 0.5 + ny;
  }
  return 2 * n;
}

// Adds the grown polygon to the path; false (nothing added) when there is
// none.
bool AddGrownConvex(cairo_t* cr, Placement at, const double* x, const double* y, int32_t n) {
  double gx[2 * kGrownCorners];
  double gy[2 * kGrownCorners];
  const int32_t corners = GrowConvex(at, x, y, n, gx, gy);
  for (int32_t i = 0; i < corners; ++i) cairo_line_to(cr, gx[i], gy[i]);
  if (corners == 0) return false;
  cairo_close_path(cr);
  return true;
}

// The fill of a grown polygon written straight into an image target's
// pixels, as cairo would fill it there: no path, no state to set and give
// back. False (nothing drawn) for a shape or target that cairo must fill.
bool FillGrownDirect(CairoTarget* t, const double* x, const double* y, int32_t n, uint32_t rgb) {
  double gx[2 * kGrownCorners];
  double gy[2 * kGrownCorners];
  const int32_t corners = GrowConvex(Placement{true, false}, x, y, n, gx, gy);
  PixelRows rows;
  if (corners == 0 || !t->DirectPixels(&rows)) return false;
  if (!FillConvexPolygon(rows, gx, gy, corners, rgb, t->fillCells())) return false;
  t->MarkWritten(rows);
  return true;
}

void DrawPolygon(cairo_t* cr, Placement at, const double* x, const double* y, int32_t n,
                 const PenBrush& pen) {
  const double offset = pen.width % 2 == 1 ? 0.5 : 0.0;
  // A one-unit solid outline is the same colour as the brush: drawn
  // pixel-exact or smooth it joins the fill, a triangle in one pass with the
  // outline (turned like it, so that the windings add up); smooth, it
  // covers the seams between neighbouring faces.
  const bool joined = (at.pixelRule || at.smooth) && pen.width == 1 && pen.dash == PenDash::kSolid;
  if (joined && AddGrownConvex(cr, at, x, y, n)) {
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_fill(cr);
    return;
  }
  int32_t order[3] = {0, 1, 2};
  if (joined && n == 3 && (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]) > 0) {
    std::swap(order[1], order[2]);
  }
  for (int32_t i = 0; i < n; ++i) {
    const int32_t k = joined && n == 3 ? order[i] : i;
    cairo_line_to(cr, PinPlacedCoord(x[k], at) + offset, PinPlacedCoord(y[k], at) + offset);
  }
  cairo_close_path(cr);
  if (joined && n == 3) {
    AddOutlineRectangles(cr, at, x, y, n);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_fill(cr);
    return;
  }
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  cairo_fill(cr);
  if (joined) {
    AddOutlineRectangles(cr, at, x, y, n);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_fill(cr);
    return;
  }
  LinePath path(cr, pen, at.pixelRule);
  path.MoveTo(Pt{PinPlacedCoord(x[0], at), PinPlacedCoord(y[0], at)});
  for (int32_t i = 1; i <= n; ++i) {
    path.LineTo(Pt{PinPlacedCoord(x[i % n], at), PinPlacedCoord(y[i % n], at)});
  }
  path.Finish();
}

void DrawLines(cairo_t* cr, Placement at, const double* x, const double* y, int32_t n,
               const PenBrush& pen) {
  LinePath path(cr, pen, at.pixelRule);
  const auto place = [&](int32_t i) { return Pt{PlaceCoord(x[i], at), PlaceCoord(y[i], at)}; };
  Pt prev = place(0);
  path.MoveTo(prev);
  for (int32_t i = 1; i < n; ++i) {
    const Pt cur = place(i);
    Pt a = prev;
    Pt b = cur;
    if (BothBeyond(a.x, b.x) || BothBeyond(a.y, b.y) || !ClipToLimit(&a, &b)) {
      path.MoveTo(cur);
    } else {
      if (!(a == path.last())) path.MoveTo(a);
      path.LineTo(b);
      if (!(b == cur)) path.MoveTo(cur);
    }
    prev = cur;
  }
  path.Finish();
}

// Starts a shape on a saved context: a smooth style is anti-aliased on a
// raster target.
Placement BeginShape(CairoTarget* t, const PlotStyle& style) {
  cairo_t* cr = t->context();
  cairo_new_path(cr);
  const bool smooth = (style.flags & kStyleSmooth) != 0;
  if (smooth && t->raster()) cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
  return {smooth, t->raster() && !smooth};
}

}  // namespace

int32_t ConvexTurn(const double* x, const double* y, int32_t n) {
  if (n < 3) return 0;
  double turn = 0;
  // The corners after each one, wrapped without a division.
  for (int32_t i = 0, j = 1, k = 2; i < n;
       ++i, j = j + 1 == n ? 0 : j + 1, k = k + 1 == n ? 0 : k + 1) {
    const double cross = (x[j] - x[i]) * (y[k] - y[j]) - (y[j] - y[i]) * (x[k] - x[j]);
    if (!(cross > 0 || cross < 0) || (turn != 0 && (cross > 0) != (turn > 0))) return 0;
    turn = cross;
  }
  return turn > 0 ? 1 : -1;
}

void CairoDrawPolyline(const double* x, const double* y, int32_t n, const PlotStyle* style,
                       void* target) {
  auto* t = static_cast<CairoTarget*>(target);
  if (t == nullptr || t->context() == nullptr || style == nullptr || x == nullptr || y == nullptr ||
      n <= 0) {
    return;
  }
  const uint32_t kind = style->flags & kStyleKindMask;
  if (kind == kKindNone) return;
  const PenBrush pen = SelectPenBrush(*style);
  // Smooth faces of one colour with their outline, on an image: the most
  // numerous shapes of a 3-D plot, filled without cairo.
  if (kind < kKindNone && pen.fill && (style->flags & kStyleSmooth) && pen.width == 1 &&
      pen.dash == PenDash::kSolid && FillGrownDirect(t, x, y, n, pen.rgb)) {
    return;
  }
  cairo_t* cr = t->context();
  cairo_save(cr);
  const Placement at = BeginShape(t, *style);
  ApplyPen(*t, pen);
  if (kind >= kKindNone) {
    DrawMarkers(cr, at, x, y, n, kind, pen);
  } else if (pen.fill) {
    if (n >= 2) DrawPolygon(cr, at, x, y, n, pen);
  } else if (n >= 2) {
    DrawLines(cr, at, x, y, n, pen);
  }
  cairo_new_path(cr);
  cairo_restore(cr);
}

void CairoDrawCircle(double cx, double cy, double rx, double ry, const PlotStyle* style,
                     void* target) {
  auto* t = static_cast<CairoTarget*>(target);
  int32_t px = 0;
  int32_t py = 0;
  if (t == nullptr || t->context() == nullptr || style == nullptr ||
      !(std::fabs(rx) <= kMaxRadius) || !(std::fabs(ry) <= kMaxRadius) ||
      !DevicePoint(cx, cy, &px, &py)) {
    return;
  }
  const double l = TruncCoord(cx - rx);
  const double r = TruncCoord(cx + rx);
  const double top = TruncCoord(cy - ry);
  const double b = TruncCoord(cy + ry);
  const PenBrush pen = SelectPenBrush(*style);
  cairo_t* cr = t->context();
  cairo_save(cr);
  BeginShape(t, *style);
  ApplyPen(*t, pen);
  AddEllipse(cr, std::min(l, r), std::min(top, b), std::max(l, r), std::max(top, b));
  FillAndStroke(cr, pen);
  cairo_restore(cr);
}

}  // namespace vke
