// Ranges: the rows start:stop and start:step:stop of the range instruction
// and the colon builtin, for double, single, complex and integer bounds.
#include <cmath>

#include "builtins/array_builtins.hpp"
#include "builtins/array_support.hpp"
#include "builtins/builtin.hpp"
#include "engine/range_count.hpp"

namespace vke {

namespace {

constexpr int64_t kMaxComplexRangeCount = 0x3fffffff;

// A new 1 x count row, double or single, real or complex, written element by
// element.
struct RowWriter {
  uint8_t* elements = nullptr;
  bool single = false;
  bool complex = false;
  int64_t count = 0;

  ErrCode Push(EngineContext* ctx) {
    if (single) {
      const int32_t dims[2] = {1, static_cast<int32_t>(count)};
      float *re, *im;
      ErrCode e = PushNewSingleArray(ctx, 2, dims, &re, complex ? &im : nullptr);
      elements = reinterpret_cast<uint8_t*>(re);
      return e;
    }
    double *re, *im;
    ErrCode e = PushNewMatrix(ctx, 1, static_cast<int32_t>(count), &re, complex ? &im : nullptr);
    elements = reinterpret_cast<uint8_t*>(re);
    return e;
  }
  void Set(int64_t k, double re, double im) {
    const int64_t es = single ? 4 : 8;
    if (single) {
      Store<float>(elements + es * k, static_cast<float>(re));
      if (complex) Store<float>(elements + es * (count + k), static_cast<float>(im));
    } else {
      Store<double>(elements + es * k, re);
      if (complex) Store<double>(elements + es * (count + k), im);
    }
  }
};

}  // namespace

ErrCode MakeRange(EngineContext* ctx, double start, double stop, double step, bool single) {
  int64_t count;
  if (ErrCode e = CountRange(start, stop, step, single, &count)) return e;
  if (count == 0) return PushEmptyMatrix(ctx);
  RowWriter row{nullptr, single, false, count};
  ErrCode e = row.Push(ctx);
  if (e) return e;
  for (int64_t k = 0; k < count; k++) row.Set(k, RangeElement(start, step, k, single), 0);
  return kOk;
}

ErrCode MakeComplexRange(EngineContext* ctx, double startRe, double startIm, double stopRe,
                         double stopIm, double stepRe, double stepIm, bool single) {
  const double dRe = stopRe - startRe, dIm = stopIm - startIm;
  const double d2 = dRe * dRe + dIm * dIm;
  // The advance of z along the direction from start to stop, 1 at the stop.
  auto advance = [&](double zRe, double zIm) {
    return ((zRe - startRe) * dRe + (zIm - startIm) * dIm) / d2;
  };
  int64_t count = 1;
  if (d2 != 0) {
    const double perStep = (stepRe * dRe + stepIm * dIm) / d2;
    if (perStep < 0) return PushEmptyMatrix(ctx);
    if (perStep > 0) {
      // Count the elements, but no further than memory could hold them.
      uint32_t free;
      GetDataStackFree(ctx, &free, nullptr);
      const int64_t room = free / (single ? 8 : 16);
      const int64_t limit = (room < kMaxComplexRangeCount ? room : kMaxComplexRangeCount) + 1;
      count = 0;
      while (count < limit && advance(RangeElement(startRe, stepRe, count, false),
                                      RangeElement(startIm, stepIm, count, false)) <= 1)
        count++;
      if (count == 0) return PushEmptyMatrix(ctx);
      if (count > kMaxComplexRangeCount) return kErrObjTooLarge;
    }
  }
  RowWriter row{nullptr, single, true, count};
  ErrCode e = row.Push(ctx);
  if (e) return e;
  for (int64_t k = 0; k < count; k++)
    row.Set(k, RangeElement(startRe, stepRe, k, false), RangeElement(startIm, stepIm, k, false));
  return kOk;
}

namespace {

// Integer bounds of one class: the count comes from the exact values
// (floor division), so descending spans give no element and spans wider
// than the class do not wrap. A zero step counts as a double range's does:
// toward a larger stop it would never end (no area holds the row), toward a
// smaller or equal one it gives no element.
ErrCode MakeIntegerRange(EngineContext* ctx, int32_t nargin) {
  ErrCode e = ConvertArgsToCommonType(ctx, nargin);
  if (e) return AllowOverload(e);
  __int128 bound[3];  // start, step, stop
  uint32_t code = 0;
  for (int32_t k = 0; k < nargin; k++) {
    NumericView v = ViewNumeric(ctx, nargin - 1 - k);
    code = v.code;
    const uint64_t bits = ReadIntegerBits(v.elements, v.code, 0);
    const __int128 value = (v.code & kCodeUnsigned) ? __int128(bits) : __int128(int64_t(bits));
    bound[nargin == 3 ? k : k * 2] = value;
  }
  if (nargin == 2) bound[1] = 1;
  const __int128 start = bound[0], step = bound[1], stop = bound[2];
  if (step == 0 && stop > start) return kErrObjTooLarge;
  __int128 q = step == 0 ? -1 : (stop - start) / step;
  if (step != 0 && (stop - start) % step != 0 && ((stop - start) < 0) != (step < 0)) q--;
  const __int128 count = q + 1 > 0 ? q + 1 : 0;
  if (count > static_cast<__int128>(kMaxRangeCount)) return kErrObjTooLarge;
  const int es = ElementBytesOfCode(code);
  const int32_t dims[2] = {1, static_cast<int32_t>(count)};
  void* out;
  e = PushNewTypedArray(ctx, 2, dims, es, (code & kCodeUnsigned) != 0, &out);
  if (e) return e;
  auto* el = static_cast<uint8_t*>(out);
  for (int64_t k = 0; k < static_cast<int64_t>(count); k++) {
    const uint64_t bits = static_cast<uint64_t>(start + step * k);
    std::memcpy(el + es * k, &bits, es);
  }
  return DropStackEntries(ctx, 1, nargin);
}

// The bounds (start, step, stop) of plain double or single scalars.
struct ComplexBounds {
  double re[3] = {0, 1, 0};
  double im[3] = {0, 0, 0};
  bool complex = false;
};

}  // namespace

// colon(start, stop) and colon(start, step, stop).
ErrCode ColonBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  if (nargin < 2 || nargin > 3) return kErrIllegal;
  bool allPlain = true, allSingle = true;
  for (int32_t k = 0; k < nargin; k++) {
    NumericView v = ViewNumeric(ctx, k);
    allPlain = allPlain && IsPlain(*DescAt(ctx, k));
    allSingle = allSingle && v.cls == ValueClass::kSingle;
  }
  if (!allPlain && !allSingle) {
    for (int32_t k = 0; k < nargin; k++) {
      Shape s;
      ErrCode e = GetTypedArrayArg(ctx, k, nullptr, nullptr, &s, nullptr);
      if (e) return AllowOverload(e);
      if (s.count != 1) return kErrNonScalarArg;
    }
    return MakeIntegerRange(ctx, nargin);
  }
  ComplexBounds b;
  for (int32_t k = 0; k < nargin; k++) {
    NumericView v = ViewNumeric(ctx, nargin - 1 - k);
    if (v.shape.count != 1) return kErrNonScalarArg;
    const int32_t at = nargin == 3 ? k : k * 2;
    b.re[at] = ViewElement(v, 0, false);
    b.im[at] = ViewElement(v, 0, true);
    b.complex = b.complex || v.complex;
  }
  // The row takes the bounds' place; without room they stay, for the
  // builtin to run again in a grown area.
  return PushInPlaceOfTop(ctx, nargin, [&] {
    return b.complex ? MakeComplexRange(ctx, b.re[0], b.im[0], b.re[2], b.im[2], b.re[1], b.im[1],
                                        allSingle)
                     : MakeRange(ctx, b.re[0], b.re[2], b.re[1], allSingle);
  });
}

}  // namespace vke
