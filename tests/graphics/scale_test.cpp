// Axis scales of a subplot: automatic limits, transforms, placement, zoom,
// scroll and the settings kept beside them.
#include "graphics/scale.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

namespace vke {
namespace {

// A subplot with no margins whose viewport is 0..400 by 0..300 (y down).
SubplotRecord Plain() {
  SubplotRecord r;
  SubplotRecordClear(&r);
  r.optionWord &= ~kOptMargin;
  SetSubplotViewport(&r, 0, 400, 0, 300);
  SubplotScaleDefaults(&r);
  return r;
}

void Add(SubplotRecord* r, std::initializer_list<double> x, std::initializer_list<double> y) {
  UpdateAutoLimits(r, std::data(x), std::data(y), nullptr, static_cast<int32_t>(x.size()));
}

void ExpectLimits(const SubplotRecord& r, double x0, double x1, double y0, double y1) {
  EXPECT_DOUBLE_EQ(LimitMin(r, kAxisX), x0);
  EXPECT_DOUBLE_EQ(LimitMax(r, kAxisX), x1);
  EXPECT_DOUBLE_EQ(LimitMin(r, kAxisY), y0);
  EXPECT_DOUBLE_EQ(LimitMax(r, kAxisY), y1);
}

TEST(Scale, AutomaticLimitsFollowTheDrawableData) {
  SubplotRecord r = Plain();
  Add(&r, {NAN, 2, 3, INFINITY}, {1, NAN, 4, 5});
  ExpectLimits(r, 2, 3, 1, 5);
  EXPECT_EQ(r.scaleState[kAxisX], kScaleAuto);
  EXPECT_EQ(LimitMin(r, kAxisZ), 0);  // 2-D data keeps 0 in the z range
  EXPECT_EQ(LimitMax(r, kAxisZ), 0);
  // A fixed y range filters the x values.
  r = Plain();
  SetFixedLimits(&r, 1, 0, 0, 10);
  Add(&r, {1, 2}, {5, 50});
  ExpectLimits(r, 1, 1, 0, 10);
  // A fixed x range filters the y values; points on its limits count, those
  // just outside do not.
  r = Plain();
  SetFixedLimits(&r, 0, 10, 1, 0);
  Add(&r, {10, std::nextafter(10.0, 11.0), 0, std::nextafter(0.0, -1.0), 5}, {7, 50, -2, -70, 3});
  ExpectLimits(r, 0, 10, -2, 7);
  // Non-positive values do not widen a logarithmic axis; with none left the
  // axis keeps a finite transform.
  r = Plain();
  SetScaleKind(&r, 0, kScaleLogX | kScaleLogY);
  Add(&r, {-1, 0, 10, 100}, {-5, -2, -1, 0});
  EXPECT_EQ(LimitMin(r, kAxisX), 10);
  EXPECT_EQ(LimitMax(r, kAxisX), 100);
  EXPECT_TRUE(std::isfinite(r.yFactor) && std::isfinite(r.yOffset));
}

TEST(Scale, TransformLeavesTheMarginAndSurvivesDegenerateSpans) {
  // A lone point lands in the middle of a range a tenth of its value either
  // way; the strict transform has no such range.
  SubplotRecord r = Plain();
  Add(&r, {3}, {3});
  EXPECT_NEAR(DataXToDevice(r, 3), 200, 1e-6);
  EXPECT_NEAR(DataXToDevice(r, 3.3), 400 - 0.02 * 400, 1e-6);
  EXPECT_NEAR(DataYToDevice(r, 2.7), 300 - 0.02 * 300, 1e-6);
  EXPECT_EQ(LimitMin(r, kAxisX), 3);  // the limits stay the data's
  EXPECT_EQ(LimitMax(r, kAxisX), 3);
  ComputeSubplotTransform(&r, false, kAutoMargin);
  EXPECT_EQ(r.xFactor, 1e6);
  EXPECT_EQ(r.xOffset, 0);
  // Far from 0, at 0, near 0 and near the largest doubles.
  r = Plain();
  Add(&r, {1e13}, {-3e12});
  EXPECT_NEAR(DataXToDevice(r, 1e13), 200, 0.1);
  EXPECT_NEAR(DataXToDevice(r, 1.1e13), 392, 0.1);
  EXPECT_NEAR(DataYToDevice(r, -3e12), 150, 0.1);
  r = Plain();
  Add(&r, {0}, {1e-30});
  EXPECT_NEAR(DataXToDevice(r, 1), 392, 1e-9);
  EXPECT_NEAR(DataYToDevice(r, 1e-30 + 1e-6), 6, 1e-6);
  r = Plain();
  Add(&r, {1.7e308}, {-1.7e308});
  EXPECT_TRUE(std::isfinite(r.xFactor) && std::isfinite(r.yFactor));
  // Log x from 1 to 1000: 1 lands 2 % inside the left edge, 1000 2 % inside
  // the right one.
  r = Plain();
  SetScaleKind(&r, kScaleLogX, kScaleLogX);
  Add(&r, {1, 1000}, {0, 1});
  EXPECT_NEAR(DataXToDevice(r, 1), 8, 1e-9);
  EXPECT_NEAR(DataXToDevice(r, 1000), 392, 1e-9);
  EXPECT_NEAR(DataYToDevice(r, 0), 294, 1e-9);  // y up on a y-down device
  // No x data: tiny factors, no valid transform.
  r = Plain();
  ComputeSubplotTransform(&r, true, kAutoMargin);
  EXPECT_EQ(r.xFactor, 1e-9);
  EXPECT_FALSE(r.transformValid);
}

TEST(Scale, DeviceAndDataAreInverseOnLinearAndLogAxes) {
  std::mt19937 gen(3);
  std::uniform_real_distribution<double> unit(0, 1);
  for (uint32_t kind : {0u, kScaleLogX | kScaleLogY, kScaleDbY | kScaleLogX2}) {
    SubplotRecord r = Plain();
    SetScaleKind(&r, 0, kind);
    Add(&r, {0.5, 2000}, {0.01, 7});
    for (int i = 0; i < 200; ++i) {
      const double x = 0.5 + 2000 * unit(gen);
      const double y = 0.01 + 7 * unit(gen);
      double X = 0;
      double Y = 0;
      DataToDevice(r, &x, &y, nullptr, 1, &X, &Y, nullptr);
      double bx = 0;
      double by = 0;
      DeviceToData(r, X, Y, &bx, &by);
      EXPECT_NEAR(bx / x, 1, 1e-9);
      EXPECT_NEAR(by / y, 1, 1e-9);
    }
  }
  // On a log axis a value that is not positive repeats the point before;
  // 2-D depths are 0.
  SubplotRecord r = Plain();
  SetScaleKind(&r, 0, kScaleLogY);
  Add(&r, {1, 2}, {1, 100});
  const double x[3] = {1, 2, 3};
  const double y[3] = {10, -4, NAN};
  double X[3];
  double Y[3];
  double Z[3] = {5, 5, 5};
  DataToDevice(r, x, y, nullptr, 3, X, Y, Z);
  EXPECT_EQ(Y[1], Y[0]);
  EXPECT_TRUE(std::isnan(Y[2]));
  EXPECT_EQ(Z[2], 0);
}

TEST(Scale, LinesRangesAndScaleComparison) {
  SubplotRecord r = Plain();
  Add(&r, {-2, 6}, {-1, 3});
  // The device form of 2x + 3y = 4 holds at two points of the line.
  double p = 0;
  double q = 0;
  double c = 0;
  for (auto [a, b] : {std::pair{2.0, 3.0}, {0.0, 3.0}, {2.0, 0.0}}) {
    LineToDevice(r, a, b, 4, &p, &q, &c);
    for (double t : {-1.0, 5.0}) {
      const double x = b == 0 ? 2 : t;
      const double y = b == 0 ? t : (4 - a * x) / b;
      EXPECT_NEAR(p * DataXToDevice(r, x) + q * DataYToDevice(r, y), c, 1e-9);
    }
  }
  double lo = 0;
  double hi = 0;
  GetViewportYRange(r, &lo, &hi);
  EXPECT_NEAR(lo, -1 - 4 * 0.02 / 0.96, 1e-12);  // bottom edge first
  EXPECT_NEAR(hi, 3 + 4 * 0.02 / 0.96, 1e-12);
  r.xFactor = 2e9;
  GetViewportXRange(r, &lo, &hi);
  EXPECT_EQ(lo, -2);
  EXPECT_EQ(hi, 6);
  // Same scale: the same map of x; y differs unless asked for x only.
  SubplotRecord a = Plain();
  SubplotRecord b = Plain();
  Add(&a, {0, 1}, {0, 1});
  Add(&b, {0, 1}, {0, 5});
  EXPECT_TRUE(SameScale(a, b, true));
  EXPECT_FALSE(SameScale(a, b, false));
  SetScaleKindBits(&b, kScaleEqual, kScaleEqual);
  EXPECT_FALSE(SameScale(a, b, true));
}

TEST(Scale, FixedLimitsAndTheHoldBit) {
  SubplotRecord r = Plain();
  Add(&r, {0, 10}, {0, 10});
  SetFixedLimits(&r, 2, 4, 5, 5);  // y is not a range: untouched
  EXPECT_EQ(r.scaleState[kAxisX], kScaleFixed);
  EXPECT_EQ(r.scaleState[kAxisY], kScaleAuto);
  EXPECT_NEAR(DataXToDevice(r, 2), 0, 1e-9);
  // New fixed limits on a fixed axis are shown at once.
  SetFixedLimits(&r, 20, 30, 1, 0);
  EXPECT_NEAR(DataXToDevice(r, 20), 0, 1e-9);
  EXPECT_NEAR(DataXToDevice(r, 30), 400, 1e-9);
  // Held scales count as fixed but not as exactly fixed.
  r = Plain();
  Add(&r, {0, 10}, {0, 10});
  HoldSubplotScales(&r, true);
  Add(&r, {-50}, {50});
  ExpectLimits(r, 0, 10, 0, 10);
  SetReleasedLimits(&r, 1, 2, 1, 2, 1, 2);
  ExpectLimits(r, 0, 10, 0, 10);
  FixScales(&r);
  EXPECT_FALSE(IsScaleLocked(r));
  EXPECT_FALSE(IsXFixed(r));
  ReleaseScales(&r);
  SetFixedLimits(&r, 3, 4, 3, 4);  // keeps the hold bits
  HoldSubplotScales(&r, false);
  EXPECT_TRUE(IsScaleLocked(r));
  double x0 = 0, x1 = 0, y0 = 0, y1 = 0;
  GetFixedViewportLimits(r, &x0, &x1, &y0, &y1);
  EXPECT_NEAR(x0, 3, 1e-12);
  EXPECT_NEAR(y1, 4, 1e-12);
  ReleaseScales(&r);
  EXPECT_EQ(r.scaleState[kAxisX], kScaleReleased);
  EXPECT_TRUE(r.viewFlags & 8);
  // Released limits: an axis without a range keeps its transform.
  r = Plain();
  Add(&r, {0, 10}, {0, 10});
  const double yFactor = r.yFactor;
  r.limits[kAxisY + 3] = 1000;  // would change y if it were recomputed
  SetReleasedLimits(&r, 0, 100, 7, 7, 0, 0);
  EXPECT_EQ(r.scaleState[kAxisX], kScaleReleased);
  EXPECT_EQ(r.yFactor, yFactor);
  EXPECT_NEAR(DataXToDevice(r, 100), 392, 1e-9);
}

TEST(Scale, ViewportChangesKeepFixedAxesOnTheirData) {
  SubplotRecord r = Plain();
  Add(&r, {0, 10}, {0, 10});
  SetFixedLimits(&r, 2, 6, 0, 8);
  SetSubplotViewport(&r, 100, 300, 50, 150);
  EXPECT_NEAR(DeviceXToData(r, 200), 4, 1e-9);  // the centre shows the same data
  EXPECT_NEAR(DataXToDevice(r, 6) - DataXToDevice(r, 2), 200, 1e-9);
  EXPECT_NEAR(DataYToDevice(r, 0) - DataYToDevice(r, 8), 100, 1e-9);
  // A size of 0 on the way (a first allocation) leaves the transform finite
  // and the data in place.
  SetSubplotViewport(&r, 100, 100, 50, 50);
  SetSubplotViewport(&r, 100, 300, 50, 150);
  EXPECT_NEAR(DeviceXToData(r, 200), 4, 1e-9);
  EXPECT_NEAR(DataXToDevice(r, 6) - DataXToDevice(r, 2), 200, 1e-9);
  // Margins wider than the cell collapse the viewport instead of turning it
  // inside out.
  r.optionWord |= kOptMargin;
  SetRect(r.margins, 30, 30, 30, 30);
  SetSubplotViewport(&r, 0, 100, 0, 100);
  EXPECT_EQ(r.viewport[kLeft], r.viewport[kRight]);
  EXPECT_EQ(r.viewport[kTop], r.viewport[kBottom]);
  EXPECT_TRUE(std::isfinite(r.xFactor) && std::isfinite(r.yOffset));
  // Equal scales: one unit per unit on both axes.
  r = Plain();
  SetScaleKind(&r, 0, kScaleEqual);
  Add(&r, {0, 10}, {0, 1});
  EXPECT_DOUBLE_EQ(std::fabs(r.xFactor), std::fabs(r.yFactor));
  EXPECT_NEAR(DataXToDevice(r, 5), 200, 1e-9);
}

TEST(Scale, MarginsAndUnits) {
  SubplotRecord r = Plain();
  r.optionWord |= kOptMargin;
  SetMarginUnits(&r, 10, -12);
  EXPECT_EQ(r.marginUnit[1], 12);  // y down
  SetMargins(&r, 5, 0.5, 1.5, 1.5);
  EXPECT_EQ(r.layoutPending, 0);
  EXPECT_EQ(r.viewport[kLeft], 50);
  EXPECT_EQ(r.viewport[kBottom], 282);
  // An upward y axis turns the y unit and the margins with it.
  SetSubplotViewport(&r, 0, 400, 300, 0);
  EXPECT_EQ(r.marginUnit[1], -12);
  EXPECT_EQ(r.viewport[kTop], 282);
  EXPECT_FALSE(IsYAxisDown(r));
  // Toggling the margin bit lays the subplot out again.
  SetOptionBits(&r, 0, kOptMargin);
  EXPECT_EQ(r.viewport[kTop], 300);
  SetOptionBits(&r, kOptLegend, kOptLegend);
  EXPECT_EQ(r.viewport[kTop], 300);
}

TEST(Scale, ZoomByClickAndByDrag) {
  SubplotRecord r = Plain();
  Add(&r, {0, 10}, {0, 10});
  // A 3-pixel click halves the spans around the clicked point.
  const double cx = DataXToDevice(r, 4);
  const double cy = DataYToDevice(r, 8);
  ZoomRect(&r, cx - 1.5, cx + 1.5, cy - 1, cy + 1);
  ExpectLimits(r, 2, 7, 4, 9);
  EXPECT_TRUE(IsScaleLocked(r));
  EXPECT_NEAR(DataXToDevice(r, 2), 0, 1e-9);
  // A drag zooms to the rectangle.
  ZoomRect(&r, DataXToDevice(r, 3), DataXToDevice(r, 5), DataYToDevice(r, 5), DataYToDevice(r, 7));
  ExpectLimits(r, 3, 5, 5, 7);
  // Zoom out by 2 around a point.
  ZoomOut(&r, DataXToDevice(r, 4), DataYToDevice(r, 5));
  ExpectLimits(r, 2, 6, 5, 9);
  // On a log axis the click zooms geometrically.
  r = Plain();
  SetScaleKind(&r, 0, kScaleLogX);
  Add(&r, {1, 10000}, {0, 1});
  const double c = DataXToDevice(r, 100);
  ZoomXRect(&r, c - 1, c + 1);
  EXPECT_NEAR(LimitMin(r, kAxisX), 10, 1e-9);
  EXPECT_NEAR(LimitMax(r, kAxisX), 1000, 1e-9);
  EXPECT_EQ(r.scaleState[kAxisY], kScaleAuto);
  // Nothing happens before there is a transform.
  r = Plain();
  ZoomOut(&r, 10, 10);
  EXPECT_EQ(r.scaleState[kAxisX], kScaleAuto);
}

TEST(Scale, ZoomRangeBoundsZooming) {
  SubplotRecord r = Plain();
  Add(&r, {0, 10}, {0, 10});
  EXPECT_TRUE(CanZoom(&r, true));  // records spans 0.5 .. 200
  SetFixedLimits(&r, 0, 0.51, 0, 10);
  EXPECT_TRUE(CanZoom(&r, true));
  SetFixedLimits(&r, 0, 0.505, 0, 10);
  EXPECT_FALSE(CanZoom(&r, true));
  EXPECT_TRUE(CanZoomX(&r, false));
  SetFixedLimits(&r, 0, 198.5, 0, 10);
  EXPECT_FALSE(CanZoomX(&r, false));
  // Released limits forget the recorded range.
  ReleaseScales(&r);
  SetReleasedLimits(&r, 0, 1, 0, 1, 0, 0);
  EXPECT_FALSE(r.zoomRangeSet[kAxisX]);
}

TEST(Scale, ScrollMovesTheData) {
  SubplotRecord r = Plain();
  Add(&r, {0, 10}, {0, 10});
  const double before = DeviceXToData(r, 100);
  Scroll(&r, 40, 0);
  EXPECT_NEAR(DeviceXToData(r, 140), before, 1e-12);
  EXPECT_TRUE(IsScaleLocked(r));
  r = Plain();
  SetScaleKind(&r, 0, kScaleLogX);
  Add(&r, {1, 100}, {0, 10});
  ScrollX(&r, -DataXToDevice(r, 10) + DataXToDevice(r, 1));
  EXPECT_NEAR(LimitMin(r, kAxisX), 10, 1e-9);
  EXPECT_NEAR(LimitMax(r, kAxisX), 1000, 1e-9);
}

TEST(Scale, KindTitleAndLabels) {
  SubplotRecord r = Plain();
  SetScaleKind(&r, 0x13, kScaleLogX | kScaleLogY);
  SetScaleKindBits(&r, 0, kScaleLogY);  // the menu turns y linear
  SetScaleKind(&r, 0x13, kScaleLogX | kScaleLogY | kScaleEqual);
  EXPECT_EQ(GetScaleKind(r), kScaleLogX | kScaleEqual);

  const std::string seventy(70, 't');
  SetSubplotTitle(&r, seventy.c_str(), -1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(r.title), 64), seventy.substr(0, 64));
  // A character that would not fit whole is left out.
  const std::string accented = std::string(63, 'a') + "\xc3\xa9";
  SetSubplotTitle(&r, accented.data(), static_cast<int32_t>(accented.size()));
  EXPECT_EQ(r.title[62], 'a');
  EXPECT_EQ(r.title[63], 0);
  // Labels not given stay; a z label without text is cleared.
  SetAxisLabels(&r, "x", 1, nullptr, 0, "z", 1);
  SetAxisLabels(&r, nullptr, 0, "y", 1, "ignored", 0);
  EXPECT_EQ(GetAxisLabel(r, kAxisX).length, 1);
  EXPECT_EQ(GetAxisLabel(r, kAxisX).text[0], 'x');
  EXPECT_EQ(GetAxisLabel(r, kAxisZ).length, 0);
  // A label runs on past its first 16 bytes to 28; a character that would
  // not fit whole is left out there too.
  const std::string accentedLabel = std::string(27, 'a') + "\xc3\xa9";
  SetAxisLabels(&r, accentedLabel.data(), static_cast<int32_t>(accentedLabel.size()), nullptr, 0,
                nullptr, 0);
  const AxisLabel x = GetAxisLabel(r, kAxisX);
  EXPECT_EQ(std::string(x.text, x.length), std::string(27, 'a'));
  // A record of an older image, with nothing after the first 16 bytes.
  std::memcpy(r.labels[kAxisY], "0123456789abcdef", 16);
  std::memset(r.labelTails[kAxisY], 0, sizeof r.labelTails[kAxisY]);
  EXPECT_EQ(GetAxisLabel(r, kAxisY).length, 16);
}

}  // namespace
}  // namespace vke
