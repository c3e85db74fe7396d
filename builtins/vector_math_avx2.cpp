// The AVX2 bodies of the whole-array kernels (vector_math.hpp). This file
// alone is built for AVX2 and FMA and is entered only after the processor
// was checked, so it keeps to plain loops and C functions: no inline code
// of a shared header that another file could take from here.
#include <immintrin.h>
#include <sleef.h>

#include <cstdint>

#include "builtins/vector_math.hpp"

namespace vke {

namespace {

// Four at a time, then the rest through the same vector function on a
// padded block, so every element gets the one kernel's rounding.
#define VKE_VECTOR_LOOP(name, fn)                                                   \
  void name(double* x, int64_t n) {                                                 \
    int64_t i = 0;                                                                  \
    for (; i + 4 <= n; i += 4) _mm256_storeu_pd(x + i, fn(_mm256_loadu_pd(x + i))); \
    if (i < n) {                                                                    \
      alignas(32) double pad[4] = {0, 0, 0, 0};                                     \
      for (int64_t k = i; k < n; k++) pad[k - i] = x[k];                            \
      _mm256_store_pd(pad, fn(_mm256_load_pd(pad)));                                \
      for (int64_t k = i; k < n; k++) x[k] = pad[k - i];                            \
    }                                                                               \
  }

VKE_VECTOR_LOOP(VectorExpAvx2, Sleef_expd4_u10avx2)
VKE_VECTOR_LOOP(VectorExpm1Avx2, Sleef_expm1d4_u10avx2)
VKE_VECTOR_LOOP(VectorLogAvx2, Sleef_logd4_u10avx2)
VKE_VECTOR_LOOP(VectorLog10Avx2, Sleef_log10d4_u10avx2)
VKE_VECTOR_LOOP(VectorLog2Avx2, Sleef_log2d4_u10avx2)
VKE_VECTOR_LOOP(VectorLog1pAvx2, Sleef_log1pd4_u10avx2)
VKE_VECTOR_LOOP(VectorSinAvx2, Sleef_sind4_u10avx2)
VKE_VECTOR_LOOP(VectorCosAvx2, Sleef_cosd4_u10avx2)
VKE_VECTOR_LOOP(VectorTanAvx2, Sleef_tand4_u10avx2)
VKE_VECTOR_LOOP(VectorAtanAvx2, Sleef_atand4_u10avx2)
VKE_VECTOR_LOOP(VectorAsinAvx2, Sleef_asind4_u10avx2)
VKE_VECTOR_LOOP(VectorAcosAvx2, Sleef_acosd4_u10avx2)
VKE_VECTOR_LOOP(VectorTanhAvx2, Sleef_tanhd4_u10avx2)

#undef VKE_VECTOR_LOOP

}  // namespace

// In the order of VectorFunction.
extern const VectorKernel kVectorKernelsAvx2[] = {
    VectorExpAvx2,   VectorExpm1Avx2, VectorLogAvx2,  VectorLog10Avx2, VectorLog2Avx2,
    VectorLog1pAvx2, VectorSinAvx2,   VectorCosAvx2,  VectorTanAvx2,   VectorAtanAvx2,
    VectorAsinAvx2,  VectorAcosAvx2,  VectorTanhAvx2,
};
static_assert(sizeof(kVectorKernelsAvx2) / sizeof(VectorKernel) ==
              static_cast<int>(VectorFunction::kCount));

}  // namespace vke
