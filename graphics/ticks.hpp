// Where the ticks, grid lines and tick labels of one axis go. Both choosers
// are pure: they work in label units (data value times the axis' scale
// factor) and know nothing of devices; the callers convert their device
// spacing limits into label units before the call. This file also owns the
// multiplier tables of logarithmic axes and the walks over tick positions.
#pragma once

#include <cmath>
#include <cstdint>

namespace vke {

// A linear axis: minor ticks, major ticks and labels, each a first value and
// a step.
struct LinearTicks {
  double firstMinor;
  double minorStep;
  double firstMajor;
  double majorStep;
  double firstLabel;
  double labelStep;
};

// Chooses the ticks of the range lo..hi (either order). Labels are chosen
// only with `withLabels`: they start early enough that a second label still
// lies below `limit`. minStep and minLabelStep are the smallest allowed minor
// and label steps. False when nothing should be drawn: for a NaN bound every
// field chosen is 1.0; for a width below 1e-8 or above 1e18 the firsts are
// the midpoint and the steps 1.0. Every step chosen is positive.
bool ChooseLinearTicks(double lo, double hi, double limit, double minStep, double minLabelStep,
                       bool withLabels, LinearTicks* out);

// A logarithmic axis: the walks start at `decade`; each table is a run of
// positive multipliers of the decade, closed by a negative entry whose
// magnitude takes the decade to the next group (-10: the next decade).
struct LogTicks {
  double decade;
  const double* minor;
  const double* major;
  const double* label;
};

// Chooses the tables of the positive range lo..hi (either order): the
// densest tables whose neighbouring ticks keep at least minRatio (labels
// minLabelRatio) apart. `limit` is not used by the choice; callers stop their
// label walk at it. False for a NaN bound (decade 1, one tick a decade),
// for a width below 1e-8 (decade lo) and for a bound that is not a finite
// number between 1e-300 and 1e300; callers then draw nothing.
bool ChooseLogTicks(double lo, double hi, double limit, double minRatio, double minLabelRatio,
                    LogTicks* out);

// Table i of the tick tables (0..11) and of the label tables (0..13); null
// past the last.
const double* LogTickTable(int32_t i);
const double* LogLabelTable(int32_t i);

// Calls visit(v) for v = first, first + step, ... while v < end. Values are
// formed as first + i * step, so a step lost in rounding cannot stall the
// walk; nothing is visited unless step is positive and the bounds finite.
template <typename Visit>
void WalkLinearSteps(double first, double step, double end, Visit&& visit) {
  if (!(step > 0) || !std::isfinite(first) || !std::isfinite(end)) return;
  for (int64_t i = 0;; ++i) {
    const double v = first + static_cast<double>(i) * step;
    if (!(v < end)) break;
    visit(v);
  }
}

// Walks a logarithmic table from `decade` while the decade is below `end`,
// calling visit(decade * multiplier) for each positive entry.
template <typename Visit>
void WalkLogTable(const double* table, double decade, double end, Visit&& visit) {
  if (table == nullptr || !(*table > 0) || !(decade > 0) || !std::isfinite(end)) return;
  while (decade < end) {
    const double* entry = table;
    for (; *entry > 0; ++entry) visit(decade * *entry);
    decade *= -*entry;
  }
}

}  // namespace vke
