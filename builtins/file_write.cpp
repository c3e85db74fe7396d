// Binary writing: fwrite to a file descriptor, swrite to a char row and
// bwrite to a uint8 row, with a precision.
#include <algorithm>

#include "builtins/builtin.hpp"
#include "builtins/file_io.hpp"
#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// Converts the data at the depth, in place, to the precision's class: its
// integer class, or single or double for a floating precision.
ErrCode ConvertToPrecision(EngineContext* ctx, int32_t depth, const Precision& p) {
  if (p.floating) return ConvertToFloat(ctx, depth, p.size == 4);
  return ConvertToInteger(ctx, depth, p.size, p.isUnsigned, false);
}

// Pushes the elements of the converted data at the depth as a row of bytes
// (0 x 0 when there are none), each element least significant byte first,
// or most significant first for a big-endian precision.
ErrCode PushDataBytes(EngineContext* ctx, int32_t depth, const Precision& p, int32_t* elements) {
  const NumericView v = ViewNumeric(ctx, depth);
  const int64_t total = int64_t{v.shape.count} * p.size;
  if (total > kMaxTypedElements) return kErrObjTooLarge;
  const int32_t n = static_cast<int32_t>(total);
  const int32_t dims[2] = {n > 0 ? 1 : 0, n};
  void* data;
  ErrCode e = PushNewTypedArray(ctx, 2, dims, 1, true, &data);
  if (e) return e;
  auto* out = static_cast<uint8_t*>(data);
  std::copy(v.elements, v.elements + n, out);
  if (p.bigEndian)
    for (int32_t i = 0; i < n; i += p.size) std::reverse(out + i, out + i + p.size);
  *elements = v.shape.count;
  return kOk;
}

}  // namespace

// fwrite (option 'f'): descriptor, data [, precision], gives the element
// count; swrite ('s') and bwrite ('b'): data [, precision], give the bytes as
// a char row or a uint8 row.
ErrCode WriteBinaryBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t option) {
  if (option != 'f' && option != 's' && option != 'b') return kErrIllegal;
  const int32_t fixed = option == 'f' ? 2 : 1;  // inputs before the precision
  if (nargin < fixed) return kErrTooFewArgin;
  if (nargin > fixed + 1) return kErrTooManyArgin;
  Precision p;
  ErrCode e = nargin > fixed ? GetPrecisionArg(ctx, 0, &p) : kOk;
  const int32_t dataDepth = nargin - fixed;
  if (!e) e = ConvertToPrecision(ctx, dataDepth, p);
  int32_t elements = 0;
  if (!e) e = PushDataBytes(ctx, dataDepth, p, &elements);
  if (e) return e;
  if (option == 'f') {
    int32_t fd;
    e = GetFileIdArg(ctx, nargin, &fd);
    if (!e) {
      const NumericView bytes = ViewNumeric(ctx, 0);
      e = WriteToFd(ctx, fd, reinterpret_cast<const char*>(bytes.elements), bytes.shape.count);
    }
    Drop(ctx);
    if (e) return e;
    // What is written stays written: the count takes the arguments' room.
    return ReplaceInputsWithScalar(ctx, nargin, elements);
  }
  if (option == 's') {
    // One character per byte.
    const NumericView bytes = ViewNumeric(ctx, 0);
    uint16_t* chars;
    e = PushNewCharRow(ctx, bytes.shape.count, &chars);
    if (e) {
      Drop(ctx);
      return e;
    }
    std::copy(bytes.elements, bytes.elements + bytes.shape.count, chars);
    DropStackEntries(ctx, 1, 1);
  }
  return DropStackEntries(ctx, 1, nargin);
}

}  // namespace vke
