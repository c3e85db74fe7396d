// A first look at the engine without a window: creates an engine, builds a
// few values through the value API, converts and transposes them, and prints
// what the stacks hold.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "engine/engine.hpp"
#include "engine/errors.hpp"
#include "engine/fd.hpp"
#include "engine/registry.hpp"
#include "engine/text.hpp"
#include "engine/values.hpp"

namespace {

vke::ErrCode StdoutWrite(vke::EngineContext*, int32_t fd, const char* bytes, int32_t length,
                         uintptr_t) {
  if (fd != 1 && fd != 2) return vke::kErrBadFileID;
  std::fwrite(bytes, 1, length, fd == 1 ? stdout : stderr);
  return vke::kOk;
}

void PrintTopMatrix(vke::EngineContext* ctx, const char* title) {
  int32_t m, n;
  double *re, *im;
  vke::GetNumericArg(ctx, 0, &m, &n, &re, &im);
  char line[128];
  std::snprintf(line, sizeof line, "%s (%d x %d)", title, m, n);
  vke::WriteToFd(ctx, 1, line, -1);
  vke::WriteNewlineToFd(ctx, 1);
  for (int32_t i = 0; i < m; i++) {
    for (int32_t j = 0; j < n; j++) {
      std::snprintf(line, sizeof line, "  %8.4g", re[i * n + j]);
      vke::WriteToFd(ctx, 1, line, -1);
    }
    vke::WriteNewlineToFd(ctx, 1);
  }
}

}  // namespace

int main() {
  constexpr uint32_t kArea = 1u << 20;
  std::unique_ptr<void, decltype(&std::free)> area(std::aligned_alloc(16, kArea), &std::free);
  vke::EngineContext* ctx;
  if (vke::CreateEngine(area.get(), kArea, &ctx) != vke::kOk) return 1;
  static vke::NativeFunctionRecord table[] = {
      vke::MakeRecord("@demo"),
      vke::MakeRecord("+write", &StdoutWrite, vke::kLineEndLF),
      vke::MakeRecord(""),
  };
  vke::RegisterLibrary(ctx, table, true);
  vke::ResetEngine(ctx);

  char line[160];
  std::snprintf(line, sizeof line,
                "%s: data stack %u units, heap %u units, descriptor stack %u words",
                vke::GetEngineVersion(), ctx->dataCap, ctx->heapSize, ctx->descCap);
  vke::WriteToFd(ctx, 1, line, -1);
  vke::WriteNewlineToFd(ctx, 1);

  double* re;
  vke::PushNewMatrix(ctx, 2, 3, &re, nullptr);
  for (int i = 0; i < 6; i++) re[i] = i + 1;
  PrintTopMatrix(ctx, "A");
  vke::TransposeTopValue(ctx);
  PrintTopMatrix(ctx, "A'");

  // int8 wraps in its own class: 200 does not fit, -56 is what it reads back as.
  vke::PushRealScalar(ctx, 200);
  vke::ConvertToInteger(ctx, 0, 1, true, true);
  int32_t v;
  vke::GetIntegerArg(ctx, 0, &v);
  std::snprintf(line, sizeof line, "uint8(200) read as a signed byte: %d", v);
  vke::WriteToFd(ctx, 1, line, -1);
  vke::WriteNewlineToFd(ctx, 1);
  return 0;
}
