// The table of the "!lapack" library: each native opens the LAPACK and BLAS
// libraries, if not yet open, before it runs.
#include "numerics/lapack/lapack_table.hpp"

#include "numerics/lapack/lapack_loader.hpp"

namespace vke {

namespace {

// The native, once the libraries are open; their load's error otherwise.
template <NativeFn native>
ErrCode AfterLoadingLapack(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  if (ErrCode e = LoadLapack(ctx)) return e;
  return native(ctx, nargin, nargout, option);
}

}  // namespace

const NativeFunctionRecord* LapackLibraryTable() {
  static const NativeFunctionRecord table[] = {
      MakeRecord("!lapack"),
#define VKE_LAPACK_RECORD(name, fn, minIn, maxIn, minOut, maxOut, option) \
  MakeRecord(name, &AfterLoadingLapack<&fn>, minIn, maxIn, minOut, maxOut, option),
#include "numerics/lapack/lapack_natives.def"
#undef VKE_LAPACK_RECORD
      MakeRecord(""),
  };
  static_assert(sizeof table / sizeof table[0] == kLapackRecordCount + 1);
  return table;
}

}  // namespace vke
