// The response options: reading them out of a structure, and the native
// that makes and updates the structure.
#include "graphics/response_options.hpp"

#include "engine/files/fd.hpp"
#include "engine/registry/option_tables.hpp"
#include "engine/registry/options.hpp"
#include "engine/values/values.hpp"
#include "numerics/call_cycle.hpp"

namespace vke {

namespace {

constexpr char kDiscreteDelayWarning[] = "Delay option is ignored for discrete-time responses.";

// The Range field as two doubles; [] leaves [0, 0].
ErrCode ReadRange(EngineContext* ctx, int32_t optionsDepth, double* range) {
  ErrCode e = GetOptionsArg(ctx, optionsDepth, "Range", kResponsesetTable);
  if (e == kErrUndefField) return kOk;
  if (e) return e;
  e = ConvertToFloat(ctx, 0, false);
  Shape shape;
  double* re = nullptr;
  double* im = nullptr;
  if (!e) e = GetDoubleArrayArg(ctx, 0, &shape, &re, &im);
  if (!e && shape.count == 2) {
    range[0] = re[0];
    range[1] = re[1];
  } else if (!e && shape.count != 0) {
    e = kErrBadSize;
  }
  const ErrCode dropped = DropStackEntries(ctx, 0, 1);
  return e ? e : dropped;
}

}  // namespace

ErrCode ParseResponseOptions(EngineContext* ctx, int32_t optionsDepth, bool discrete, double* delay,
                             uint8_t* negFreq, uint8_t* tOnly, double* range) {
  if (delay) *delay = 0;
  if (negFreq) *negFreq = 0;
  if (tOnly) *tOnly = 0;
  if (range) range[0] = range[1] = 0;
  if (optionsDepth < 0) return kOk;
  if (delay) {
    if (ErrCode e = GetOptionField(ctx, optionsDepth, "Delay", kResponsesetTable, 0, delay)) {
      return e;
    }
    // Written once: a run again after growth passes over it.
    if (discrete && *delay != 0 && TraceLineDue(ctx)) {
      ErrCode e = WriteToFd(ctx, kFdErr, kDiscreteDelayWarning, sizeof kDiscreteDelayWarning - 1);
      if (!e) e = WriteNewlineToFd(ctx, kFdErr);
      if (ErrCode failed = TraceLineWritten(ctx, e)) return failed;
    }
  }
  if (negFreq) {
    if (ErrCode e = GetBooleanOption(ctx, optionsDepth, "NegFreq", kResponsesetTable, 0, negFreq)) {
      return e;
    }
  }
  if (range) {
    if (ErrCode e = ReadRange(ctx, optionsDepth, range)) return e;
  }
  if (tOnly) {
    if (ErrCode e = GetBooleanOption(ctx, optionsDepth, "tOnly", kResponsesetTable, 0, tOnly)) {
      return e;
    }
  }
  return kOk;
}

ErrCode ResponsesetNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  return SetOptions(ctx, nargin, kResponsesetTable);
}

}  // namespace vke
