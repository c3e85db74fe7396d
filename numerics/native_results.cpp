// Results of the numerical natives, their scratch and their clean-up.
#include "numerics/native_results.hpp"

#include "engine/context.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"

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

double* FreeScratchWords(EngineContext* ctx, int64_t words) {
  uint32_t bytes;
  void* free;
  GetDataStackFree(ctx, &bytes, &free);
  return words * 8 <= int64_t{bytes} ? static_cast<double*>(free) : nullptr;
}

ErrCode DropAboveLevel(EngineContext* ctx, uint32_t level, ErrCode e) {
  if (ctx->descTop > level)
    DropStackEntries(ctx, 0, static_cast<int32_t>((ctx->descTop - level) / 3));
  return e;
}

}  // namespace vke
