// Figure menu states and commands over the selected subplots.
#include "graphics/figure_menu.hpp"

#include <algorithm>

#include "graphics/camera.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

// The flag-word bit that withholds each figure command (index 1 to 9).
constexpr uint32_t kCommandFlags[10] = {0, 32, 32, 32, 2, 32, 32, 1, 16, 8};

// Scale kinds offered only with figure command 8.
constexpr uint32_t kCommand8Kinds = 0x1F8000;

// Calls visit(subplot record) for each selected subplot of a figure, const
// or not.
template <typename Figure, typename Visit>
void ForEachSelected(Figure& fig, Visit visit) {
  const uint32_t mask = CommandSubplots(fig);
  for (int32_t k = 0; k < ActiveSubplotCount(fig); ++k) {
    if ((mask >> k) & 1u) visit(fig.subplots[k]);
  }
}

// Aggregates a value and an applicable set over the selection.
template <typename Checked, typename Enabled>
MenuBits Aggregate(const FigureState& fig, Checked checked, Enabled enabled) {
  uint32_t all = ~0u;
  uint32_t any = 0;
  MenuBits bits{0, 0, 0};
  bool some = false;
  ForEachSelected(fig, [&](const SubplotRecord& s) {
    all &= checked(s);
    any |= checked(s);
    bits.enabled |= enabled(s);
    some = true;
  });
  if (some) {
    bits.checked = all;
    bits.mixed = all ^ any;
  }
  return bits;
}

// For an axis whose two bits `pair` are both asked for: the one the
// subplot has, or `first` when it has neither.
uint32_t ResolvePair(uint32_t kind, uint32_t values, uint32_t pair, uint32_t first) {
  if ((values & pair) != pair) return values;
  const uint32_t has = kind & pair;
  return (values & ~pair) | (has != 0 ? has : first);
}

// Selected subplots whose locked state counts.
bool Lockable(const SubplotRecord& s, bool anyPlot) {
  return (anyPlot || s.handlers[kHandlerDraw] >= 0) && s.transformValid;
}

ErrCode UndoAndRedraw(FigureHost& host) {
  if (ErrCode e = host.PushUndoVersion()) return e;
  return host.RunDrawHandlers();
}

}  // namespace

bool FigureCommandAvailable(const FigureState& fig, int32_t command) {
  return command >= 1 && command <= 9 && !(fig.flags & kCommandFlags[command]);
}

uint32_t CommandSubplots(const FigureState& fig) {
  return fig.rows == 1 && fig.columns == 1 ? 1u : fig.selection;
}

MenuBits GetScaleMenuState(const FigureState& fig) {
  const uint32_t hidden = FigureCommandAvailable(fig, 8) ? 0 : kCommand8Kinds;
  MenuBits bits = Aggregate(
      fig, [](const SubplotRecord& s) { return s.scaleKind; },
      [](const SubplotRecord& s) { return s.applicableScaleKinds; });
  bits.enabled &= ~hidden;
  return bits;
}

MenuBits GetOptionMenuState(const FigureState& fig) {
  return Aggregate(fig, GetEffectiveOptions, GetApplicableOptions);
}

ErrCode ToggleScaleKind(FigureState* fig, FigureHost& host, uint32_t mask, uint32_t values) {
  ForEachSelected(*fig, [&](SubplotRecord& s) {
    uint32_t v = ResolvePair(s.scaleKind, values & mask, kScaleXLogMask, kScaleLogX);
    v = ResolvePair(s.scaleKind, v, kScaleYLogMask, kScaleLogY);
    SetScaleKindBits(&s, v, mask & s.applicableScaleKinds);
  });
  return UndoAndRedraw(host);
}

ErrCode SetSubplotOption(FigureState* fig, FigureHost& host, uint32_t mask, uint32_t values) {
  if (ErrCode e = host.PushUndoVersion()) return e;
  ForEachSelected(*fig, [&](SubplotRecord& s) { SetOptionBits(&s, values, mask); });
  return host.SaveFigureState();
}

bool GetLockedScaleState(const FigureState& fig, bool anyPlot, bool* mixed) {
  int32_t counted = 0;
  int32_t locked = 0;
  ForEachSelected(fig, [&](const SubplotRecord& s) {
    if (!Lockable(s, anyPlot)) return;
    ++counted;
    locked += IsScaleLocked(s);
  });
  *mixed = locked > 0 && locked < counted;
  return counted > 0 && locked == counted;
}

bool CanLockScale(const FigureState& fig, bool anyPlot) {
  bool can = false;
  ForEachSelected(fig, [&](const SubplotRecord& s) { can = can || Lockable(s, anyPlot); });
  return can;
}

ErrCode ToggleLockedScale(FigureState* fig, FigureHost& host, bool anyPlot) {
  bool mixed = false;
  const bool release = GetLockedScaleState(*fig, anyPlot, &mixed);
  ForEachSelected(*fig, [&](SubplotRecord& s) {
    if (!Lockable(s, anyPlot)) return;
    if (release) {
      ReleaseScales(&s);
    } else {
      FixScales(&s);
    }
  });
  return UndoAndRedraw(host);
}

bool GetViewMenuState(const FigureState& fig, ViewMenuState* out) {
  *out = ViewMenuState{};
  bool first = true;
  bool any = false;
  auto take = [&first](bool v, bool* value, bool* mixed) {
    if (first) {
      *value = v;
    } else if (*value != v) {
      *mixed = true;
    }
  };
  ForEachSelected(fig, [&](const SubplotRecord& s) {
    if (!s.is3d) return;
    any = true;
    take(s.viewFlags & kViewAutoTarget, &out->autoTarget, &out->autoTargetMixed);
    take(s.viewFlags & kViewAutoPosition, &out->autoPosition, &out->autoPositionMixed);
    take(s.viewFlags & kViewAutoUp, &out->autoUp, &out->autoUpMixed);
    take(!s.orthographic, &out->perspective, &out->perspectiveMixed);
    first = false;
  });
  return any;
}

ErrCode SetCameraViewFlag(FigureState* fig, FigureHost& host, uint32_t flag, bool on) {
  ForEachSelected(*fig, [&](SubplotRecord& s) {
    s.viewFlags = on ? s.viewFlags | flag : s.viewFlags & ~flag;
    ComputeProjection(&s);
  });
  return UndoAndRedraw(host);
}

ErrCode SetPerspectiveView(FigureState* fig, FigureHost& host, bool on) {
  ForEachSelected(*fig, [&](SubplotRecord& s) { SetOrthographic(&s, !on); });
  return UndoAndRedraw(host);
}

ErrCode ChangeSubplotPlot(FigureState* fig, FigureHost& host, int32_t plotId) {
  if (!fig->freeLayout) return ResetSubplots(fig, host, -1, -1, plotId, true);
  if (plotId == kNoSubplot) {
    DeleteSelectedSubplots(fig);
    return kOk;
  }
  const int32_t n = ActiveSubplotCount(*fig);
  if (n >= std::clamp(fig->maxSubplots, 1, kMaxSubplots)) return kErrExhaustedRsrc;
  const int32_t selected = SingleSelectedSubplot(*fig);
  const int32_t from = selected >= 0 ? selected : n - 1;
  MakeOneColumn(fig);
  fig->rows = n + 1;
  SubplotRecord* s = &fig->subplots[n];
  SubplotRecordInit(s);
  fig->springs[n] = fig->springs[from];
  const double* p = fig->subplots[from].position;
  SetSubplotViewport(s, p[kLeft], p[kRight], p[kTop], p[kBottom]);
  return ResetSubplots(fig, host, n, 0, plotId, true);
}

int32_t SteppedPlot(const FigureState& fig, FigureHost& host, int32_t step) {
  const int32_t k = SingleSelectedSubplot(fig);
  return k < 0 ? kNoSubplot : host.NextPlot(fig.subplots[k].plotId, step);
}

void MakeOneColumn(FigureState* fig) {
  fig->rows = ActiveSubplotCount(*fig);
  fig->columns = 1;
  fig->freeLayout = 1;
}

}  // namespace vke
