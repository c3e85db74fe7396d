#include "builtins/random.hpp"

#include <cmath>

namespace vke {

double NextUniform(uint32_t* state) {
  uint32_t a = state[0] * 1664525u + 1013904223u;
  uint32_t b = state[1];
  b ^= b << 13;
  b ^= b >> 17;
  b ^= b << 5;
  state[0] = a;
  state[1] = b;
  return static_cast<double>(a ^ b) * 0x1p-32;
}

double NextNormal(uint32_t* state) {
  double u1 = NextUniform(state);
  while (u1 == 0) u1 = NextUniform(state);
  const double u2 = NextUniform(state);
  return std::sqrt(-2 * std::log(u1)) * std::sin(6.283185307179586 * u2);
}

double RandomNumber(EngineContext* ctx, int32_t kind) {
  return kind == 'n' ? NextNormal(ctx->rng + kNormalState) : NextUniform(ctx->rng + kUniformState);
}

}  // namespace vke
