// Whether the whole-array kernels of vector_math.hpp may run here.
#include "builtins/vector_math.hpp"

namespace vke {

bool VectorMathAvailable() {
  static const bool available = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return available;
}

}  // namespace vke
