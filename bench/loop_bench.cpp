// Times the execution loop on hand-assembled code: a scalar loop
// (s = s + i over a range), the same loop with line markers run in slices,
// the sliced loop again with an abort callback to ask at every slice end,
// a loop of variable reads and indexed assignments x(i) = i, and a loop of
// calls of a small compiled function. Prints nanoseconds per iteration.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "app/runtime_tables.hpp"
#include "engine/code/code_generation.hpp"
#include "engine/code/names.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/frames/function_block.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/variables.hpp"

namespace {

using namespace vke;

constexpr uint32_t kAreaBytes = 32u << 20;
// Iterations of the scalar and call loops (a second argument sets them); the
// indexed loop fills an array of a tenth of that length.
int32_t gIterations = 2000000;
int32_t gElements = gIterations / 10;

struct Engine {
  std::unique_ptr<void, decltype(&std::free)> area{std::aligned_alloc(16, kAreaBytes), &std::free};
  EngineContext* ctx = nullptr;
  Engine() {
    if (CreateEngine(area.get(), kAreaBytes, &ctx) || PrepareRuntimeEngine(ctx) || ResetEngine(ctx))
      std::abort();
    FrameWords(ctx, 0)[kFwVarCount] = 4;
  }
};

// Words behind the fill position; a double operand needs its first word on
// an 8-byte boundary, so the code starts at a word position that is 3 mod 4.
uint32_t Place(EngineContext* ctx, const std::vector<int16_t>& words) {
  NoteCodeChanged();
  uint32_t at = ((ctx->codeEnd + 3) & ~3u) + 3;
  std::memcpy(ctx->CodeBytes() + 2ull * at, words.data(), 2 * words.size());
  ctx->codeEnd = at + static_cast<uint32_t>(words.size());
  return at;
}

// pushdouble x when the code starts at word 3 mod 4: its operand is aligned.
void PushDoubleAt0(std::vector<int16_t>& w, double x) {
  w.push_back(kOpPushDouble);
  int16_t parts[4];
  std::memcpy(parts, &x, 8);
  w.insert(w.end(), parts, parts + 4);
}

double Time(EngineContext* ctx, uint32_t at, int32_t iterations = gIterations) {
  ctx->cpKind = kCodeArea;
  ctx->cpOffset = 2 * at;
  ctx->cpFlag = 0;
  const auto start = std::chrono::steady_clock::now();
  const ErrCode e = ExecuteBytecode(ctx, 0);
  const auto stop = std::chrono::steady_clock::now();
  if (e) {
    std::fprintf(stderr, "run failed with %d\n", e);
    std::exit(1);
  }
  return std::chrono::duration<double, std::nano>(stop - start).count() / iterations;
}

// The run in slices, as a host runs a command line: every backward jump
// ends a slice and the run is resumed at once.
double TimeSliced(EngineContext* ctx, uint32_t at) {
  ctx->cpKind = kCodeArea;
  ctx->cpOffset = 2 * at;
  ctx->cpFlag = 0;
  const auto start = std::chrono::steady_clock::now();
  ErrCode e;
  while ((e = ExecuteBytecode(ctx, 1)) == kStatusSuspended) {
  }
  const auto stop = std::chrono::steady_clock::now();
  if (e) {
    std::fprintf(stderr, "run failed with %d\n", e);
    std::exit(1);
  }
  return std::chrono::duration<double, std::nano>(stop - start).count() / gIterations;
}

// for i = 1:n, followed by the body; the range ends at the pop.
std::vector<int16_t> RangeLoop(const std::vector<int16_t>& prologue,
                               const std::vector<int16_t>& body, int32_t n = gIterations) {
  std::vector<int16_t> w;
  PushDoubleAt0(w, n);
  w.insert(w.end(), {kOpPushOne, kOpRoll, 2, 1});
  w.insert(w.end(), prologue.begin(), prologue.end());
  w.insert(w.end(), {kOpForRangeInit, 2});
  const auto head = static_cast<int16_t>(w.size());
  w.insert(w.end(), {kOpForRangeNext, 0, kOpStoreVar, 2});
  w.insert(w.end(), body.begin(), body.end());
  const auto jump = static_cast<int16_t>(w.size());
  w.insert(w.end(), {kOpJump, static_cast<int16_t>(head - (jump + 2))});
  w[head + 1] = static_cast<int16_t>(w.size() - (head + 2));
  w.insert(w.end(), {kOpPop, kOpHalt});
  return w;
}

// The scalar loop as compiled from two lines.
std::vector<int16_t> LinedLoop() {
  return RangeLoop({kOpPushZero, kOpStoreVar, 1}, {kOpLine, -1, 2, kOpLoadVar, 1, kOpLoadVar, 2,
                                                   kOpPlus, kOpStoreVar, 1, kOpLine, -1, 3});
}

}  // namespace

int main(int argc, char** argv) {
  // A name runs only that benchmark: scalar, sliced, asked, indexed, calls.
  auto wanted = [&](const char* name) { return argc < 2 || std::strcmp(argv[1], name) == 0; };
  if (argc > 2) {
    gIterations = std::atoi(argv[2]);
    gElements = gIterations / 10;
  }
  if (wanted("scalar")) {
    Engine e;
    // s = 0; for i = 1:n, s = s + i; end
    const auto code = RangeLoop({kOpPushZero, kOpStoreVar, 1},
                                {kOpLoadVar, 1, kOpLoadVar, 2, kOpPlus, kOpStoreVar, 1});
    std::printf("scalar loop      %7.1f ns per iteration\n", Time(e.ctx, Place(e.ctx, code)));
  }
  if (wanted("sliced")) {
    Engine e;
    // The scalar loop with lines, run in slices.
    const auto code = LinedLoop();
    std::printf("sliced lines     %7.1f ns per iteration\n", TimeSliced(e.ctx, Place(e.ctx, code)));
  }
  if (wanted("asked")) {
    Engine e;
    // The sliced loop with an abort callback installed, as a host has one:
    // every slice end asks it.
    SetHostCallbackPair(
        e.ctx, [](uintptr_t) { return false; }, 0);
    const auto code = LinedLoop();
    std::printf("sliced, asked    %7.1f ns per iteration\n", TimeSliced(e.ctx, Place(e.ctx, code)));
  }
  if (wanted("indexed")) {
    Engine e;
    // x = zeros(1, n); for i = 1:n, x(i) = i; end
    double* re;
    if (PushNewMatrix(e.ctx, 1, gElements, &re, nullptr) || StoreVariable(e.ctx, 3)) std::abort();
    const auto code = RangeLoop(
        {}, {kOpLoadVar, 2, kOpLoadIndexedFirst, 3, kOpLoadVar, 2, kOpParenAfterBrace, 1, 0},
        gElements);
    std::printf("indexed stores   %7.1f ns per iteration\n",
                Time(e.ctx, Place(e.ctx, code), gElements));
  }
  if (wanted("calls")) {
    Engine e;
    EngineContext* ctx = e.ctx;
    // f(x) returns x; for i = 1:n, s = f(i); end
    FunctionHeader h;
    h.vars = 2;
    h.inputs = 1;
    h.outputs = 1;
    h.flags = kFnNoNames;
    std::vector<int16_t> block(h.CodeAt(), 0);
    std::memcpy(block.data(), &h, 8);
    block.insert(block.end(), {kOpLoadVar, 1, kOpStoreVar, 0, kOpReturn});
    const uint32_t position = (ctx->codeEnd + 3) & ~3u;
    std::memcpy(ctx->CodeBytes() + 2ull * position, block.data(), 2 * block.size());
    ctx->codeEnd = position + static_cast<uint32_t>(block.size());
    int32_t nameId;
    if (InternName(ctx, "f", 1, 32, &nameId)) std::abort();
    const int32_t f = static_cast<int32_t>(ctx->funcCount++);
    const int32_t entry[4] = {nameId, 0, static_cast<int32_t>(position), 0};
    std::memcpy(ctx->CodeBytes() + 16ull * f, entry, 16);
    const auto code =
        RangeLoop({}, {kOpLoadVar, 2, kOpCallFn, static_cast<int16_t>(f), 1, 1, kOpStoreVar, 1});
    std::printf("function calls   %7.1f ns per iteration\n", Time(ctx, Place(ctx, code)));
  }
  return 0;
}
