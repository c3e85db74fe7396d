// The event values: the reader of the block's event state and the natives
// that give its values to the handlers.
#include "app/event_values.hpp"

#include <cmath>
#include <cstring>
#include <limits>

#include "app/instances.hpp"
#include "app/kv_elements.hpp"
#include "app/name_buffer.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

bool Has(uint32_t flags, uint32_t bits) {
  return (flags & bits) == bits;
}

// One of the three points of an event: the current one (0), point 0 (1) and
// point 1 (2), with the flag bits that tell that its coordinates are valid.
struct EventPoint {
  double x, y;
  uint32_t xBit, yBit;
};

EventPoint PointOf(const EventState& ev, int32_t which) {
  switch (which) {
    case 0:
      return {ev.x, ev.y, kEventX, kEventY};
    case 1:
      return {ev.x0, ev.y0, kEventX0, kEventY0};
    default:
      return {ev.x1, ev.y1, kEventX1, kEventY1};
  }
}

ErrCode PushColumn(EngineContext* ctx, const double* values, int32_t n) {
  double* re;
  if (ErrCode e = PushNewMatrix(ctx, n, 1, &re, nullptr)) return e;
  std::memcpy(re, values, sizeof(double) * static_cast<size_t>(n));
  return kOk;
}

// [x; y; z] of point 0 or 1 as far as its coordinates are valid, x always.
ErrCode PushPointColumn(EngineContext* ctx, const EventState& ev, bool second) {
  const EventPoint p = PointOf(ev, second ? 2 : 1);
  const double values[3] = {p.x, p.y, second ? ev.z1 : ev.z0};
  const uint32_t zBit = second ? kEventZ1 : kEventZ0;
  int32_t n = 1;
  if (Has(ev.flags, p.yBit)) n = Has(ev.flags, zBit) ? 3 : 2;
  return PushColumn(ctx, values, n);
}

// (c + id) / (a + ib) by scaling with the larger part of the divisor, so that
// no intermediate overflows; a zero divisor gives c / 0 for a real dividend
// and NaN + NaN i otherwise.
ErrCode PushComplexQuotient(EngineContext* ctx, double a, double b, double c, double d) {
  if (a == 0 && b == 0) {
    if (d != 0) return PushComplexScalar(ctx, kNaN, kNaN);
    return PushRealScalar(ctx, c > 0 ? kInf : c < 0 ? -kInf : kNaN);
  }
  if (std::fabs(b) >= std::fabs(a)) {
    const double r = a / b, t = 1 / (a * r + b);
    return PushComplexScalar(ctx, (c * r + d) * t, (d * r - c) * t);
  }
  const double r = b / a, t = 1 / (b * r + a);
  return PushComplexScalar(ctx, (c + d * r) * t, (d - c * r) * t);
}

// The displacement along one axis: the stored one, else point 1 minus the
// current point; false when neither is known.
bool Displacement(const EventState& ev, bool vertical, double* out) {
  if (ev.flags & kEventDxDy) {
    *out = vertical ? ev.dy : ev.dx;
    return true;
  }
  const EventPoint from = PointOf(ev, 0), to = PointOf(ev, 2);
  const uint32_t bits = vertical ? from.yBit | to.yBit : from.xBit | to.xBit;
  if (!Has(ev.flags, bits)) return false;
  *out = vertical ? to.y - from.y : to.x - from.x;
  return true;
}

// Codes 2-16: a point as a complex number, its coordinates, angle and
// modulus.
ErrCode PushPointValue(EngineContext* ctx, const EventState& ev, int32_t code) {
  const int32_t group = (code - kVarZ) / 3;  // z, x, y, theta, rho
  const EventPoint p = PointOf(ev, (code - kVarZ) % 3);
  const uint32_t needed = group == 1 ? p.xBit : group == 2 ? p.yBit : p.xBit | p.yBit;
  if (!Has(ev.flags, needed)) return PushEmptyMatrix(ctx);
  switch (group) {
    case 0:
      return PushComplexScalar(ctx, p.x, p.y);
    case 1:
      return PushRealScalar(ctx, p.x);
    case 2:
      return PushRealScalar(ctx, p.y);
    case 3:
      return PushRealScalar(ctx, std::atan2(p.y, p.x));
    default:
      return PushRealScalar(ctx, std::sqrt(p.x * p.x + p.y * p.y));
  }
}

// Codes 28-30: an object id as a double.
ErrCode PushIdValue(EngineContext* ctx, const EventState& ev, int32_t code) {
  const int32_t values[] = {ev.id, ev.nb, ev.ix};
  const uint32_t bits[] = {kEventId, kEventNb, kEventIx};
  const int32_t i = code - kVarId;
  return Has(ev.flags, bits[i]) ? PushRealScalar(ctx, values[i]) : PushEmptyMatrix(ctx);
}

KVContextBlock* BlockOfUser(uintptr_t user) {
  return user ? reinterpret_cast<NativeCallContext*>(user)->Block() : nullptr;
}

}  // namespace

ErrCode GetEventVariable(KVContextBlock* block, int32_t code) {
  EngineContext* ctx = block->Engine();
  const EventState& ev = block->event;
  const uint32_t f = ev.flags;
  if (code >= kVarZ && code <= kVarRho1) return PushPointValue(ctx, ev, code);
  if (code >= kVarId && code <= kVarIx) return PushIdValue(ctx, ev, code);
  double dx, dy;
  switch (code) {
    case kVarP0:
    case kVarP1: {
      const bool second = code == kVarP1;
      if (!(f & (second ? kEventX1 : kEventX0))) break;
      return PushPointColumn(ctx, ev, second);
    }
    case kVarKx:
      if (!Has(f, kEventX | kEventX1)) break;
      return PushRealScalar(ctx, ev.x1 / ev.x);
    case kVarKy:
      if (!Has(f, kEventY | kEventY1)) break;
      return PushRealScalar(ctx, ev.y1 / ev.y);
    case kVarKz:
      if (!Has(f, kEventX | kEventX1 | kEventY | kEventY1)) break;
      return PushComplexQuotient(ctx, ev.x, ev.y, ev.x1, ev.y1);
    case kVarDx:
    case kVarDy:
      if (!Displacement(ev, code == kVarDy, &dx)) break;
      return PushRealScalar(ctx, dx);
    case kVarDz:
      if (!Displacement(ev, false, &dx) || !Displacement(ev, true, &dy)) break;
      return PushComplexScalar(ctx, dx, dy);
    case kVarQ:
      if (!(f & kEventQ)) break;
      return f & kEventQPair ? PushColumn(ctx, ev.q, 2) : PushRealScalar(ctx, ev.q[0]);
    case kVarM:
      return PushLogicalScalar(ctx, (f & kEventM) ? 1 : 0);
    default:
      break;
  }
  return PushEmptyMatrix(ctx);
}

const char* HandlerActionName(uint32_t kind) {
  const ElementKindInfo* info = FindElementKind(kind);
  return info && info->namedAction ? info->keyword : "";
}

ErrCode PushHandlerAction(KVContextBlock* block) {
  const InstanceRecord* r = FindInstance(block, static_cast<int32_t>(block->nativeCall.instanceId));
  const char* name = r && r->dragRedraw ? "" : HandlerActionName(block->handlerKind);
  return PushCString(block->Engine(), -1, name);
}

ErrCode PushCurrentEventValue(EngineContext* ctx, uintptr_t user, int32_t code) {
  KVContextBlock* block = BlockOfUser(user);
  if (!block) return kErrBadContext;
  if (!FindInstance(block, static_cast<int32_t>(block->nativeCall.instanceId)))
    return PushEmptyMatrix(ctx);
  return GetEventVariable(block, code);
}

ErrCode ActionNative(EngineContext*, int32_t, int32_t, uintptr_t user) {
  KVContextBlock* block = BlockOfUser(user);
  return block ? PushHandlerAction(block) : kErrBadContext;
}

ErrCode FirstRunNative(EngineContext* ctx, int32_t, int32_t, uintptr_t user) {
  KVContextBlock* block = BlockOfUser(user);
  if (!block) return kErrBadContext;
  const InstanceRecord* r = FindInstance(block, static_cast<int32_t>(block->nativeCall.instanceId));
  return PushLogicalScalar(ctx, r && r->firstRun ? 1 : 0);
}

}  // namespace vke
