// Linked from the engine and platform libraries alone: an engine call into a
// layer above fails to link here. The engine it creates has no hooks, so the
// calls the compiler and the builtins answer are refused, never made through
// a null pointer.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/builtin_hooks.hpp"
#include "engine/code/names.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/engine.hpp"
#include "engine/frames/calls.hpp"
#include "engine/values/values.hpp"

namespace {

int Fail(const char* what) {
  std::fprintf(stderr, "link_guard: %s\n", what);
  return 1;
}

}  // namespace

int main() {
  using namespace vke;
  constexpr uint32_t kAreaBytes = 1u << 20;
  void* area = std::aligned_alloc(16, kAreaBytes);
  if (!area) return Fail("no memory");
  std::memset(area, 0, kAreaBytes);
  EngineContext* ctx = nullptr;
  int failures = 0;
  if (CreateEngine(area, kAreaBytes, &ctx) != kOk || !ctx) {
    std::free(area);
    return Fail("the engine was not created");
  }
  if (CallFunctionByName(ctx, "f", 1, 0, 0, 0) != kErrNotSupported)
    failures += Fail("a call by name without the compiler was not refused");
  int32_t in = 0, out = 0;
  if (ResolveFunctionName(ctx, "f", 1, nullptr, 0, &in, &out, nullptr, nullptr) != kErrNotSupported)
    failures += Fail("a name resolved without the compiler");
  if (PushRealScalar(ctx, 1) == kOk &&
      ResolveFunctionValue(ctx, 0, 0, &in, &out) != kErrNotSupported)
    failures += Fail("a function value resolved without the compiler");
  if (IsAtHaltInstruction(ctx)) failures += Fail("a halt seen without the compiler");
  char name[32];
  if (GetOpcodeName(ctx, kOpPlus, false, name) != kOk || name[0])
    failures += Fail("a builtin named without the builtin table");
  if (CallBuiltinOf(ctx, kOpPlus, 2, 1) != kErrNotSupported)
    failures += Fail("a builtin called without the builtin table");
  ResetEngineState(ctx);
  std::free(area);
  return failures;
}
