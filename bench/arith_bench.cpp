// Speed of the element-wise arithmetic: two real double scalars combined in
// place, and a long double row against a scalar and against a row.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "builtins/builtin.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"

namespace {

using vke::EngineContext;

template <typename F>
double NanosecondsPerCall(int64_t calls, F f) {
  auto start = std::chrono::steady_clock::now();
  for (int64_t i = 0; i < calls; i++) f();
  std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
  return spent.count() / static_cast<double>(calls);
}

void PushRow(EngineContext* ctx, int32_t n, double value) {
  double* re;
  if (vke::PushNewMatrix(ctx, 1, n, &re, nullptr)) std::abort();
  for (int32_t i = 0; i < n; i++) re[i] = value + i;
}

void Check(vke::ErrCode e) {
  if (e) {
    std::fprintf(stderr, "error %d\n", e);
    std::exit(1);
  }
}

}  // namespace

int main() {
  constexpr uint32_t kBytes = 64u << 20;
  std::unique_ptr<void, decltype(&std::free)> area(std::aligned_alloc(16, kBytes), &std::free);
  EngineContext* ctx;
  Check(vke::CreateEngine(area.get(), kBytes, &ctx));
  Check(vke::ResetEngine(ctx));

  Check(vke::PushRealScalar(ctx, 1));
  double scalar = NanosecondsPerCall(20000000, [&] {
    Check(vke::PushRealScalar(ctx, 1.5));
    Check(vke::ElementwiseArith(ctx, 2, 1, '*'));
  });
  Check(vke::Drop(ctx));
  std::printf("scalar * scalar, in place:   %8.1f ns per call\n", scalar);

  constexpr int32_t kN = 1 << 18;
  PushRow(ctx, kN, 0);
  double rowScalar = NanosecondsPerCall(200, [&] {
    Check(vke::PushRealScalar(ctx, 2));
    Check(vke::ElementwiseArith(ctx, 2, 1, '+'));
  });
  std::printf("row of 2^18 + scalar:        %8.2f ns per element\n", rowScalar / kN);
  double rowRow = NanosecondsPerCall(200, [&] {
    PushRow(ctx, kN, 1);
    Check(vke::ElementwiseArith(ctx, 2, 1, '*'));
  });
  std::printf("row of 2^18 .* row:          %8.2f ns per element (with the push)\n", rowRow / kN);
  return 0;
}
