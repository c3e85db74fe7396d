// The "!lapack" library: dense linear algebra over LAPACK and BLAS. Its
// table (the header "!lapack" and one record per name of lapack_natives.def)
// is registered in front of the engine's own natives, whose names it
// shadows; the run-time native table takes its records as they are.
#pragma once

#include <cstdint>

#include "engine/registry/native_record.hpp"

namespace vke {

// The records of the library, header included.
inline constexpr int32_t kLapackRecordCount = 21;

// The kLapackRecordCount records, then an empty name that ends the table.
const NativeFunctionRecord* LapackLibraryTable();

#define VKE_LAPACK_RECORD(name, fn, minIn, maxIn, minOut, maxOut, option) \
  ErrCode fn(EngineContext*, int32_t, int32_t, uintptr_t);
#include "numerics/lapack/lapack_natives.def"
#undef VKE_LAPACK_RECORD

}  // namespace vke
