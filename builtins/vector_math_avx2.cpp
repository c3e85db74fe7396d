// The AVX2 loop of the whole-array kernels (vector_math.hpp). This file
// alone is built for AVX2 and FMA and is entered only after the processor
// was checked, so it keeps to a plain loop: no inline code of a shared
// header that another file could take from here.
#include <immintrin.h>

#include <cstdint>

#include "builtins/vector_math.hpp"

namespace vke {

void ApplyVectorRoutineAvx2(const void* routine, double* x, int64_t n) {
  const auto fn = reinterpret_cast<__m256d (*)(__m256d)>(const_cast<void*>(routine));
  int64_t i = 0;
  for (; i + 4 <= n; i += 4) _mm256_storeu_pd(x + i, fn(_mm256_loadu_pd(x + i)));
  if (i < n) {
    alignas(32) double pad[4] = {0, 0, 0, 0};
    for (int64_t k = i; k < n; k++) pad[k - i] = x[k];
    _mm256_store_pd(pad, fn(_mm256_load_pd(pad)));
    for (int64_t k = i; k < n; k++) x[k] = pad[k - i];
  }
}

}  // namespace vke
