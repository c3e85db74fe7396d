// Double arrays pushed with exactly the shape asked for.
#include "numerics/double_arrays.hpp"

#include "engine/context.hpp"
#include "engine/variables/indexing_internal.hpp"

namespace vke {

ErrCode PushDoubleArrayOfShape(EngineContext* ctx, const Shape& shape, double** re, double** im) {
  uint32_t elements;
  int32_t count;
  ErrCode e = PushArrayOfClass(ctx, ArrayClass{}, im != nullptr, shape, &elements, &count, true);
  if (e) return e;
  *re = reinterpret_cast<double*>(ctx->Bytes() + elements);
  if (im) *im = *re + count;
  return kOk;
}

Shape MatrixShape(int32_t m, int32_t n) {
  Shape s;
  s.ndims = 2;
  s.dims[0] = m;
  s.dims[1] = n;
  s.count = m * n;
  return s;
}

}  // namespace vke
