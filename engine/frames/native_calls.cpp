// Calls of language functions from native code: the call-back protocol
// (a native sets up the call of a function value and is called again with
// the results), texts run in the scope of the innermost function, and the
// natives fevalx and hasfeature.
#include "engine/code/opcodes.hpp"
#include "engine/compile_hooks.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/loop/loop.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr int32_t kMaxExpandDims = 16;
// The longest feature name hasfeature compares.
constexpr int32_t kMaxFeatureName = 256;

// The value at the depth expanded to the given dimensions (each of its own
// being 1 or equal), replacing it.
ErrCode ExpandEntry(EngineContext* ctx, int32_t depth, int32_t ndims, const int32_t* dims) {
  NumericView v = ViewNumeric(ctx, depth);
  int32_t count = 1;
  for (int32_t i = 0; i < ndims; i++) count *= dims[i];
  int32_t bytes;
  switch (v.cls) {
    case ValueClass::kDouble:
      bytes = 8;
      break;
    case ValueClass::kSingle:
      bytes = 4;
      break;
    case ValueClass::kInteger:
      bytes = ElementBytesOfCode(v.code);
      break;
    default:
      return kErrIncompSize;
  }
  const int32_t blocks = v.complex ? 2 : 1;
  uint8_t* out;
  ErrCode e;
  if (v.cls == ValueClass::kDouble) {
    double *re, *im;
    e = PushNewArray(ctx, ndims, dims, &re, v.complex ? &im : nullptr);
    out = reinterpret_cast<uint8_t*>(re);
  } else if (v.cls == ValueClass::kSingle) {
    float *re, *im;
    e = PushNewSingleArray(ctx, ndims, dims, &re, v.complex ? &im : nullptr);
    out = reinterpret_cast<uint8_t*>(re);
  } else {
    void* data;
    e = PushNewTypedArray(ctx, ndims, dims, bytes, (v.code & kCodeUnsigned) != 0, &data);
    out = static_cast<uint8_t*>(data);
  }
  if (e) return e;
  v = ViewNumeric(ctx, depth + 1);  // the push may have moved nothing below; read again
  const int32_t sourceCount = v.shape.count;
  // Subscripts of the target in storage order: the second dimension runs
  // fastest, then the first, then the third and further ones.
  int32_t sub[kMaxExpandDims] = {};
  auto sourceIndex = [&] {
    auto at = [&](int32_t k) { return v.shape.dims[k] == 1 ? 0 : sub[k]; };
    int32_t index = at(0) * v.shape.dims[1] + at(1);
    int32_t stride = v.shape.dims[0] * v.shape.dims[1];
    for (int32_t k = 2; k < v.shape.ndims; k++) {
      index += at(k) * stride;
      stride *= v.shape.dims[k];
    }
    return index;
  };
  for (int32_t t = 0; t < count; t++) {
    const int32_t s = sourceIndex();
    for (int32_t b = 0; b < blocks; b++)
      std::memcpy(out + (static_cast<size_t>(b) * count + t) * bytes,
                  v.elements + (static_cast<size_t>(b) * sourceCount + s) * bytes, bytes);
    // Next target subscript.
    if (++sub[1] < dims[1]) continue;
    sub[1] = 0;
    if (++sub[0] < dims[0]) continue;
    sub[0] = 0;
    for (int32_t k = 2; k < ndims && ++sub[k] >= dims[k]; k++) sub[k] = 0;
  }
  return ReplaceEntryWithTop(ctx, depth);
}

}  // namespace

const char kRuntimeFeatures[] = "fileio";

ErrCode CallFunctionValue(EngineContext* ctx, int32_t depth, int32_t inputs, int32_t outputs,
                          int32_t callBack) {
  if (PollAbortRequest(ctx)) return kStatusHalted;
  if (!ctx->compileHooks) return kErrNotSupported;
  int32_t results = -1;
  if (ErrCode e = ctx->compileHooks->callValue(ctx, depth, inputs, outputs, callBack, &results))
    return e;
  if (results < 0) return kOk;
  // A native or builtin gave its results at once: the native that made the
  // call is called back with them once it has returned (InvokeNative).
  ctx->nativeResults = results + 1;
  return kOk;
}

ErrCode CallFunctionValueWithArguments(EngineContext* ctx, int32_t n, int32_t k) {
  if (!ctx->compileHooks) return kErrNotSupported;
  return ctx->compileHooks->callValueWithArgs(ctx, CurrentScope(ctx), n, k, false);
}

ErrCode RunTextInFunctionScope(EngineContext* ctx, const char* text, int32_t length,
                               int32_t* count) {
  if (uint64_t{ctx->descTop} + kFrameHeaderWords + static_cast<uint32_t>(length) / 4 > ctx->descCap)
    return kErrStackOverflow;
  const int32_t results = count && *count > 0 ? *count : 0;
  if (!ctx->compileHooks) return kErrNotSupported;
  ErrCode e = ctx->compileHooks->evaluateText(ctx, text, length, CurrentScope(ctx), results, 0);
  if (e) {
    ctx->errLocPos = 0;
    ctx->errLocFunc = -1;
  }
  return e;
}

ErrCode FevalxNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  if (nargin < 0) {
    // Called back: the function value lies under the results.
    return DropStackEntries(ctx, -(nargin + 1), 1);
  }
  const int32_t n = nargin - 1;
  const ValueDescriptor* f = DescAt(ctx, n);
  if (!(IsCharArray(ctx, n) || IsTypedKind(*f, kKindInline) || IsTypedKind(*f, kKindFuncRef)))
    return kErrWrongTypeOverload;
  int32_t dims[kMaxExpandDims];
  int32_t ndims = 2;
  for (int32_t k = 0; k < kMaxExpandDims; k++) dims[k] = 1;
  for (int32_t d = 0; d < n; d++) {
    Shape s;
    if (ErrCode e = GetValueShape(ctx, d, &s)) return e;
    if (s.ndims > kMaxExpandDims) return kErrOutOfRangeArg;
    if (s.ndims > ndims) ndims = s.ndims;
    for (int32_t k = 0; k < s.ndims; k++)
      if (s.dims[k] != 1) {
        if (dims[k] != 1 && dims[k] != s.dims[k]) return kErrIncompSize;
        dims[k] = s.dims[k];
      }
  }
  for (int32_t d = 0; d < n; d++) {
    Shape s;
    GetValueShape(ctx, d, &s);
    bool same = s.ndims <= ndims;
    for (int32_t k = 0; k < ndims && same; k++) same = (k < s.ndims ? s.dims[k] : 1) == dims[k];
    if (!same)
      if (ErrCode e = ExpandEntry(ctx, d, ndims, dims)) return e;
  }
  return CallFunctionValue(ctx, n, n, nargout, 1);
}

ErrCode HasFeatureNative(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  // Read into a buffer of its own, the argument left as given; a text
  // longer than the buffer names no feature.
  char text[kMaxFeatureName];
  int32_t length = 0;
  if (!IsCharArray(ctx, 0)) return kErrWrongType;
  if (GetStringArgToBuffer(ctx, 0, text, sizeof text, &length)) length = 0;
  bool found = false;
  const char* features = option ? reinterpret_cast<const char*>(option) : "";
  for (const char* line = features; *line && !found;) {
    const char* end = std::strchr(line, '\n');
    const size_t k = end ? static_cast<size_t>(end - line) : std::strlen(line);
    found = length > 0 && k == static_cast<size_t>(length) && !std::memcmp(line, text, k);
    line += k + (end ? 1 : 0);
  }
  return ReplaceInputsWithLogical(ctx, 1, found);
}

}  // namespace vke
