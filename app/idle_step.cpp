// The idle step of an instance: its idle handler runs when idle processing
// is on and the next idle time has come; the handler's _idlerate or
// _idleamount output paces the next run, and the draw handlers follow.
#include <cmath>

#include "app/draw_cycle.hpp"
#include "app/element_list.hpp"
#include "app/handler_elements.hpp"
#include "app/instance_figure.hpp"
#include "app/instances.hpp"
#include "graphics/figure_codes.hpp"

namespace vke {
namespace {

// Seconds from one run to the next when the handler sets no pace.
constexpr double kDefaultIdleInterval = 0.1;

// The idle clock: the first of the application's time records runs from
// the set-up on. 0 without a clock.
double IdleClock(KVContextBlock* block) {
  return block->timeFunction != nullptr ? block->timeFunction(block->timeRecords, 0, 0) : 0;
}

// Runs the idle element's handler with no current object and no event.
ErrCode RunIdleHandler(KVContextBlock** slot, int32_t id, bool* ran) {
  *ran = false;
  uint32_t start = 0;
  if (ErrCode e = FindInstanceStart(*slot, id, &start)) return e;
  int32_t at = -1;
  if (FindElement(*slot, id, &at, kElemIdle) != kOk) return kOk;
  FindInstance(*slot, id)->idleMode = kIdleModeNone;
  HandlerRequest request;
  request.kind = kElemIdle;
  *ran = true;
  return RunElementHandler(slot, id, at, request);
}

// Whether the figure shows anything the draw handlers could redraw.
bool HasPlot(KVContextBlock* block, InstanceRecord* r) {
  const FigureState& fig = r->figure;
  std::string_view name;
  InstanceFigureHost host(block, static_cast<int32_t>(r->id));
  return !(fig.rows == 1 && fig.columns == 1) || GetPlotName(fig, host, 0, 0, &name);
}

}  // namespace

double NextIdleTime(const InstanceRecord& r, double clock) {
  double interval = kDefaultIdleInterval;
  if (r.idleMode == kIdleModeRate) {
    interval = r.idleValue;
  } else if (r.idleMode == kIdleModeAmount && r.idleValue2 >= 0) {
    interval = (clock - r.idleValue2) / r.idleValue;
  }
  if (!(interval > 0) || !std::isfinite(interval)) interval = kDefaultIdleInterval;
  return clock + interval;
}

ErrCode RunIdleHandlerIfDue(KVContextBlock** slot, int32_t id, bool allowRedraw) {
  InstanceRecord* r = FindInstance(*slot, id);
  if (r == nullptr) return kKvNonexistentInstance;
  const double clock = IdleClock(*slot);
  if (r->idleValue > 0 && clock > 0 && clock < r->idleValue) return kOk;
  if (r->idleState != kIdleOn || !r->idleHandler) return kOk;
  bool ran = false;
  const ErrCode rc = RunIdleHandler(slot, id, &ran);
  if (!ran) return rc;
  r = FindInstance(*slot, id);
  r->idleValue = NextIdleTime(*r, clock);
  r->idleValue2 = clock;
  if (rc == kStatusRepaint) return rc;
  if (rc != kOk) {
    r->idleState = kIdleOff;
    return rc == kStatusNoPrint ? kOk : rc;
  }
  if (!allowRedraw || IsHandlerBusyCode(*slot, kStatusNoPrint) || !HasPlot(*slot, r)) return kOk;
  const ErrCode drawn = RunDrawHandlersNoInit(slot, id);
  if (drawn != kOk && drawn != kStatusRepaint) {
    if (InstanceRecord* after = FindInstance(*slot, id)) after->idleState = kIdleOff;
  }
  return kStatusRepaint;
}

}  // namespace vke
