// The quaternion array value: a typed block of the "!quaternion" library's
// own kind holding ndims, count, the offset of the component blocks and the
// dimensions, then four blocks of count doubles (w, x, y, z), each in the
// element order of a double array of the same dimensions. Making, reading
// and splitting such values, and reading the double operands that stand
// beside them.
#pragma once

#include <cstdint>

#include "engine/values/value.hpp"
#include "numerics/native_results.hpp"

namespace vke {

// The four component blocks and the shape of a quaternion array.
struct QuaternionView {
  Shape shape;
  double* c[4] = {};  // w, x, y, z

  int32_t Count() const { return shape.count; }
};

// One operand of a quaternion operation: a quaternion array or a double
// array (re, im), which stands for quaternions with a zero vector part.
struct QuaternionOperand {
  bool quaternion = false;
  QuaternionView q;      // a quaternion's blocks; a double's shape
  double* re = nullptr;  // a double's real part
  double* im = nullptr;  // its imaginary part, null when real

  int32_t Count() const { return q.shape.count; }
  // Component k of element i (a double has a zero vector part; a scalar
  // gives its one element for every i).
  double At(int32_t k, int64_t i) const {
    const int64_t at = Count() == 1 ? 0 : i;
    if (quaternion) return q.c[k][at];
    return k == 0 ? re[at] : 0.0;
  }
};

// Bytes of a quaternion array's data block.
uint64_t QuaternionBytes(int32_t ndims, int64_t count);

// Pushes a new quaternion array of the shape's dimensions (normalised:
// trailing 1s beyond the second dropped; none gives 1 x 1) with the
// current type id; the component blocks are left to the caller. 1, 3 from
// the push, 109 when the value would be too large.
ErrCode PushNewQuaternionArray(EngineContext* ctx, const Shape& shape, QuaternionView* out);

// The quaternion at the depth; 43 when the entry is none of this library's.
ErrCode GetQuaternionArg(EngineContext* ctx, int32_t depth, QuaternionView* out);
bool IsQuaternionAt(EngineContext* ctx, int32_t depth);

// The operand at the depth as a quaternion or, failing that, as a double
// array; 43 for any other value.
ErrCode GetQuaternionOperand(EngineContext* ctx, int32_t depth, QuaternionOperand* out);

// Pushes component k (0 w, 1 x, 2 y, 3 z) of the operand at the depth as a
// double array of its dimensions: a quaternion's block, or for a double
// array the array itself (as it is, complex included) as w and zeros as the
// vector part. 43 for any other value.
ErrCode PushComponent(EngineContext* ctx, int32_t depth, int32_t k);

// Pushes the four components of the operand at the depth as double arrays
// of its dimensions, w deepest, as PushComponent gives them.
ErrCode PushComponentArrays(EngineContext* ctx, int32_t depth);

// Pushes components first..3 of the quaternion at the depth as one double
// array (double gives all four, the "v" field the vector part): a single
// quaternion as a column, an n x 1 array as n rows of components, a 1 x 0
// array as 4 x 0 (0 x m stays 0 x m), any other array with the components
// as pages along a new last dimension. 109 for 16 dimensions or more.
ErrCode PushComponentLayout(EngineContext* ctx, int32_t depth, int32_t first);

// Replaces the four double arrays on top (w deepest) by the quaternion
// they make, as the constructor's four-argument form does.
ErrCode JoinComponentArrays(EngineContext* ctx);

// Replaces the double array at the depth by a quaternion of its dimensions
// (real part to w, imaginary part to x), in its place on the stack.
ErrCode ConvertToQuaternionAt(EngineContext* ctx, int32_t depth);

// The fixed routine of indexed assignment with "()": nine inputs (the
// subscripts, the components of q, the components of the value), one
// output, the assigned quaternion.
constexpr int32_t kQuaternionAssignWords = 64;
extern const int16_t kQuaternionAssignCode[kQuaternionAssignWords];

}  // namespace vke
