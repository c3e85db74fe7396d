// Quaternions as text: the display text of disp and q2str (one quaternion
// as 1+2i+3j+4k with the current number format, several as their
// dimensions) and the "+dump" hook's source text, which evaluates to the
// same value bit for bit.
#include <algorithm>
#include <cmath>

#include "engine/engine.hpp"
#include "engine/files/fd.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/text/dump.hpp"
#include "engine/text/number_text.hpp"
#include "engine/text/text.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/values.hpp"
#include "numerics/quaternion/quaternion_value.hpp"

namespace vke {

namespace {

// The unit letters after x, y and z.
constexpr char kUnitLetters[] = {'i', 'j', 'k'};
// Room for the display text: four numbers, or up to kMaxDims dimensions.
constexpr int32_t kTextRoom = 512;

// The number letter of the current display format that FormatDouble
// writes; integer formats show quaternion parts in the shortest form.
char NumberLetter(char format) {
  switch (format) {
    case 'f':
    case 'e':
    case 'g':
    case 'n':
    case 'k':
    case 'K':
      return format;
    case 'F':
      return 'f';
    default:
      return 'g';
  }
}

void AppendDims(char* text, int32_t* n, const Shape& shape, const char* separator) {
  for (int32_t d = 0; d < shape.ndims; d++) {
    if (d > 0) AppendCString(text, n, separator, kTextRoom);
    AppendFormattedInt(text, n, shape.dims[d], false, 0, false, false, false, 1, kTextRoom);
  }
}

// The display text of the quaternion at the depth.
int32_t DisplayText(EngineContext* ctx, const QuaternionView& q, char* text) {
  int32_t n = 0;
  if (q.Count() == 0) {
    AppendCString(text, &n, "empty quaternion array", kTextRoom);
  } else if (q.Count() > 1) {
    AppendDims(text, &n, q.shape, "x");
    AppendCString(text, &n, " quaternion array", kTextRoom);
  } else {
    char format, imagLetter;
    int32_t digits, word;
    uint8_t flag, on;
    GetDisplayOptions(ctx, &format, &digits, &imagLetter, &flag, &word, &on);
    const char letter = NumberLetter(format);
    const double c[4] = {q.c[0][0], q.c[1][0], q.c[2][0], q.c[3][0]};
    const bool zero = c[0] == 0 && c[1] == 0 && c[2] == 0 && c[3] == 0;
    for (int k = 0; k < 4; k++) {
      if (c[k] == 0 && !(k == 0 && zero)) continue;
      // After other text the sign is always written, also before nan.
      const bool sign = n > 0;
      if (sign && std::isnan(c[k])) AppendCString(text, &n, "+", kTextRoom);
      FormatDouble(text, &n, c[k], digits, letter, 0, false, false, sign, false, false, false,
                   kTextRoom);
      if (k > 0) AppendBytes(text, &n, &kUnitLetters[k - 1], 1, kTextRoom);
    }
  }
  return n;
}

// Appends bytes to the hook's buffer; 3 when they do not fit.
struct ByteSink {
  char* out;
  int32_t room;
  int32_t written = 0;

  ErrCode Put(const char* text, int32_t length) {
    if (length > room - written) return kErrDataOverflow;
    for (int32_t i = 0; i < length; i++) out[written++] = text[i];
    return kOk;
  }
  ErrCode Put(const char* text) { return Put(text, CStringLength(text)); }
};

// One component block as the numeric-array dumper writes a 1 x count row,
// through 16-bit scratch above the data stack, narrowed into the sink.
ErrCode DumpBlock(EngineContext* ctx, const double* block, int32_t count, ByteSink* sink) {
  uint32_t free;
  void* scratch;
  GetDataStackFree(ctx, &free, &scratch);
  const int64_t chars = std::min<int64_t>(free / 2, sink->room - sink->written);
  auto* wide = static_cast<uint16_t*>(scratch);
  NumericBlock b;
  b.re = block;
  b.rows = 1;
  b.cols = count;
  int32_t length = 0;
  ErrCode e = DumpNumericArray(ctx, wide, static_cast<int32_t>(chars), &length, -1, nullptr, 0, b,
                               kDumpPrecision);
  if (e) return e;
  if (length > sink->room - sink->written) return kErrDataOverflow;
  for (int32_t i = 0; i < length; i++) sink->out[sink->written++] = static_cast<char>(wide[i]);
  return kOk;
}

}  // namespace

ErrCode FormatQuaternion(EngineContext* ctx, int32_t, int32_t nargout, uintptr_t) {
  QuaternionView q;
  if (GetQuaternionArg(ctx, 0, &q)) return kErrWrongTypeOverload;
  char text[kTextRoom];
  const int32_t n = DisplayText(ctx, q, text);
  if (nargout >= 1) return PushInPlaceOfTop(ctx, 1, [&] { return PushCString(ctx, n, text); });
  ErrCode e = WriteToFd(ctx, 1, text, n);
  if (!e) e = WriteNewlineToFd(ctx, 1);
  if (e) return e;
  // What is written stays written: the no-value takes the argument's entry.
  return ReplaceInputsWithNothing(ctx, 1, nargout);
}

ErrCode DumpQuaternion(EngineContext* ctx, char* out, int32_t room, int32_t* written) {
  QuaternionView q;
  if (ErrCode e = GetQuaternionArg(ctx, 0, &q)) return e;
  ByteSink sink{out, room};
  const bool scalar = q.Count() == 1;
  ErrCode e = sink.Put(scalar ? "quaternion(" : "reshape(quaternion(");
  for (int k = 0; k < 4 && !e; k++) {
    if (k > 0) e = sink.Put(",");
    if (!e) e = DumpBlock(ctx, q.c[k], q.Count(), &sink);
  }
  if (!e && scalar) e = sink.Put(")");
  if (!e && !scalar) {
    char dims[kTextRoom];
    int32_t n = 0;
    AppendCString(dims, &n, "),[", kTextRoom);
    AppendDims(dims, &n, q.shape, ",");
    AppendCString(dims, &n, "])", kTextRoom);
    e = sink.Put(dims, n);
  }
  *written = sink.written;
  if (e) return e;
  return Drop(ctx);
}

}  // namespace vke
