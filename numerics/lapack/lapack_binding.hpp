// The LAPACK and BLAS routines the "!lapack" natives call, and the f2c
// run-time's complex helpers. The routines come from the libraries opened at
// their first use (lapack_loader.hpp): each name of lapack_routines.def is a
// function pointer of vke with the routine's prototype, which calls through
// the loaded address. Reference calling conventions of the LP64 builds:
// every argument by pointer, INTEGER as 32 bits, arrays in column order, a
// complex array as interleaved (real, imaginary) pairs of doubles, and after
// the ordinary arguments one hidden length (size_t) for every CHARACTER
// argument, in order; calls pass 1 for each.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vke {

using LapackInt = int32_t;
// A double complex number as the f2c run-time lays it out.
struct F2cDoubleComplex {
  double r;
  double i;
};
// The selection function of the sorting Schur routines; null here, as no
// eigenvalues are sorted.
using LapackSelect = LapackInt (*)(...);

// The routines of the table, by name.
enum class LapackRoutine : int32_t {
#define VKE_LAPACK_ROUTINE(name, result, parameters) name,
#include "numerics/lapack/lapack_routines.def"
#undef VKE_LAPACK_ROUTINE
};
inline constexpr int32_t kLapackRoutineCount = 0
#define VKE_LAPACK_ROUTINE(name, result, parameters) +1
#include "numerics/lapack/lapack_routines.def"
#undef VKE_LAPACK_ROUTINE
    ;

// The loaded address of a routine, opening the libraries at the first call;
// null when they cannot be loaded (LoadLapack, which every "!lapack" native
// passes first, reports why).
void* LapackRoutineAddress(LapackRoutine routine);

// Calls a routine of the table through its loaded address.
template <LapackRoutine routine, typename Signature>
struct LapackCall;
template <LapackRoutine routine, typename Result, typename... Parameters>
struct LapackCall<routine, Result(Parameters...)> {
  static Result Invoke(Parameters... arguments) {
    return reinterpret_cast<Result (*)(Parameters...)>(LapackRoutineAddress(routine))(arguments...);
  }
};

#define VKE_LAPACK_ROUTINE(name, result, parameters) \
  inline constexpr auto name = &LapackCall<LapackRoutine::name, result parameters>::Invoke;
#include "numerics/lapack/lapack_routines.def"
#undef VKE_LAPACK_ROUTINE

}  // namespace vke
