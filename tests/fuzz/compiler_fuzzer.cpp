// Fuzzes the compiler and the execution loop with libFuzzer: the input's
// first byte picks the optimisation level, the rest is VKE source run as one
// command line in a fresh engine, its output discarded, within a budget of
// abort polls. Whatever the text, compiling and running end with a code.
#include <cstdlib>
#include <string>

#include "app/runtime_tables.hpp"
#include "compiler/compile.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/registry/native_record.hpp"
#include "engine/registry/registry.hpp"

namespace vke {
namespace {

constexpr uint32_t kAreaBytes = 4u << 20;
constexpr int32_t kMaxLevel = 4;
constexpr int32_t kAbortPolls = 64;  // the step budget, in abort polls
constexpr int32_t kMaxSlices = 4096;

int32_t g_polls = 0;

ErrCode DiscardWrite(EngineContext*, int32_t fd, const char*, int32_t, uintptr_t) {
  return fd == 1 || fd == 2 ? kOk : kErrBadFileID;
}

bool BudgetSpent(uintptr_t) {
  return ++g_polls > kAbortPolls;
}

void RunText(int32_t level, const std::string& text) {
  void* area = std::aligned_alloc(16, kAreaBytes);
  EngineContext* ctx = nullptr;
  if (!area || CreateEngine(area, kAreaBytes, &ctx) != kOk) std::abort();
  static const NativeFunctionRecord table[] = {
      MakeRecord("@fuzz"),
      MakeRecord("+write", &DiscardWrite),
      MakeRecord(""),
  };
  PrepareRuntimeEngine(ctx);
  SetContextFlag(ctx, 1);
  SetCompileOptions(ctx, level, 0);
  ResetEngine(ctx);
  RegisterLibrary(ctx, table, true);
  SetHostCallbackPair(ctx, &BudgetSpent, 0);
  g_polls = 0;
  ErrCode e = CompileCommandLine(ctx, text.data(), static_cast<int32_t>(text.size()));
  for (int32_t slice = 0; slice < kMaxSlices && (e == kOk || e == kStatusSuspended); slice++) {
    e = ExecuteBytecode(ctx, 1);
    if (e != kStatusSuspended) break;
    if (g_polls > kAbortPolls) break;
  }
  std::free(area);
}

}  // namespace
}  // namespace vke

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int32_t level = data[0] % (vke::kMaxLevel + 1);
  vke::RunText(level, std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  return 0;
}
