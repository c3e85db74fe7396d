// The array builtins against arguments of every kind: whatever the
// arguments, a builtin answers with a result or an error code, leaves the
// stacks within their bounds, and never crashes (the test build runs under
// the address and undefined-behaviour sanitizers).
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "builtins/builtin.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/builtin_calls.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using namespace test;

// Values of every kind, each pushed by one function.
std::vector<std::function<void(EngineContext*)>> ValueZoo() {
  auto structure = [](EngineContext* ctx) {
    PushRow(ctx, "double", {1});
    PushListFromEntries(ctx, 1, false, "a", -1);
    PushRow(ctx, "double", {2, 3});
    PushListFromEntries(ctx, 1, true, "b", -1);
  };
  return {
      [](EngineContext* ctx) {
        PushArray(ctx, "double", {0, 0}, {});
      },
      [](EngineContext* ctx) {
        PushEmptyArray(ctx, "double", {0, 3});
      },
      [](EngineContext* ctx) {
        PushEmptyArray(ctx, "double", {3, 0});
      },
      [](EngineContext* ctx) { PushRow(ctx, "double", {2}); },
      [](EngineContext* ctx) { PushRow(ctx, "double", {-1}); },
      [](EngineContext* ctx) { PushRow(ctx, "double", {NAN}); },
      [](EngineContext* ctx) { PushRow(ctx, "double", {INFINITY}); },
      [](EngineContext* ctx) { PushRow(ctx, "double", {3e9}); },
      [](EngineContext* ctx) {
        PushRow(ctx, "double", {1, 2, 3});
      },
      [](EngineContext* ctx) {
        PushArray(ctx, "double", {3, 1}, {3, 1, 2});
      },
      [](EngineContext* ctx) {
        PushArray(ctx, "double", {2, 3}, {1, 2, 3, 4, 5, 6});
      },
      [](EngineContext* ctx) {
        PushArray(ctx, "double", {1, 2}, {1, 2}, {-1, 1});
      },
      [](EngineContext* ctx) {
        PushArray(ctx, "double", {2, 1, 3}, {1, 2, 3, 4, 5, 6});
      },
      [](EngineContext* ctx) {
        PushArray(ctx, "int8", {1, 3}, {-5, 0, 7});
      },
      [](EngineContext* ctx) {
        PushArray(ctx, "uint64", {1, 1}, {3});
      },
      [](EngineContext* ctx) {
        PushArray(ctx, "single", {2, 2}, {1, 2, 3, 4}, {0, 1, 0, 1});
      },
      [](EngineContext* ctx) { PushText(ctx, "abc"); },
      [](EngineContext* ctx) { PushText(ctx, ""); },
      [](EngineContext* ctx) { PushText(ctx, "int8"); },
      [](EngineContext* ctx) {
        PushArray(ctx, "logical", {2, 2}, {1, 0, 0, 1});
      },
      [](EngineContext* ctx) {
        PushRow(ctx, "double", {1});
        PushText(ctx, "a");
        PushListFromEntries(ctx, 2, false, nullptr, 0);
      },
      [](EngineContext* ctx) { PushListFromEntries(ctx, 0, false, nullptr, 0); },
      [](EngineContext* ctx) {
        const int32_t dims[2] = {2, 1};
        PushNewCellArray(ctx, 2, dims);
      },
      structure,
      [structure](EngineContext* ctx) {
        structure(ctx);
        structure(ctx);
        PushListFromEntries(ctx, 2, false, nullptr, 0);
        StructListToArray(ctx);
      },
      [](EngineContext* ctx) { PushTypedEntry(ctx, kKindFuncRef, 8, nullptr); },
      [structure](EngineContext* ctx) {
        structure(ctx);
        DescAt(ctx, 0)->word = 9;  // an object
      },
  };
}

// The builtins of this family, with the output counts to try.
struct Subject {
  int32_t opcode;
  std::vector<int32_t> outputs;
};
const Subject kSubjects[] = {
    {kOpZeros, {1}},   {kOpOnes, {1}},       {kOpEye, {1}},        {kOpRand, {1}},
    {kOpRandn, {1}},   {kOpCell, {1}},       {kOpTrue, {1}},       {kOpInf, {1}},
    {kOpRealmin, {1}}, {kOpEps, {1}},        {kOpNdims, {1}},      {kOpSize, {1, 3}},
    {kOpLength, {1}},  {kOpNumel, {1}},      {kOpIsempty, {1}},    {kOpComplex, {1}},
    {kOpImag, {1}},    {kOpAny, {1}},        {kOpAll, {1}},        {kOpJoin, {1}},
    {kOpColon, {1}},   {kOpTranspose, {1}},  {kOpCtranspose, {1}}, {kOpFliplr, {1}},
    {kOpFlipud, {1}},  {kOpFlipdim, {1}},    {kOpRot90, {1}},      {kOpTril, {1}},
    {kOpTriu, {1}},    {kOpDiag, {1}},       {kOpTrace, {1}},      {kOpKron, {1}},
    {kOpDiff, {1}},    {kOpCross, {1}},      {kOpDot, {1}},        {kOpCov, {1}},
    {kOpMagic, {1}},   {kOpAbs, {1}},        {kOpSign, {1}},       {kOpRound, {1}},
    {kOpLog, {1}},     {kOpSqrt, {1}},       {kOpAcosh, {1}},      {kOpAsec, {1}},
    {kOpReallog, {1}}, {kOpAtan2, {1}},      {kOpSum, {1}},        {kOpVar, {1}},
    {kOpMoment, {1}},  {kOpKurtosis, {1}},   {kOpCumprod, {1}},    {kOpMin, {1, 2}},
    {kOpMax, {1, 2}},  {kOpRepmat, {1}},     {kOpNdgrid, {1, 3}},  {kOpMeshgrid, {2}},
    {kOpReshape, {1}}, {kOpSqueeze, {1}},    {kOpPermute, {1}},    {kOpIpermute, {1}},
    {kOpSub2ind, {1}}, {kOpInd2sub, {1, 2}}, {kOpHorzcat, {1}},    {kOpVertcat, {1}},
    {kOpCat, {1}},
};

TEST(ArrayBuiltins, AnyArgumentsGiveAResultOrAnErrorCode) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const auto zoo = ValueZoo();
  const int32_t n = static_cast<int32_t>(zoo.size());
  std::mt19937 random(7);
  int64_t calls = 0, successes = 0;
  auto run = [&](const Subject& s, const std::vector<int32_t>& args) {
    const BuiltinRecord* r = FindBuiltinById(s.opcode);
    const CountLimits in = DecodeCountCode(r->inputCode);
    const int32_t nargin = static_cast<int32_t>(args.size());
    if (nargin < in.min || nargin > in.max) return;
    for (int32_t nargout : s.outputs) {
      const uint32_t descTop = ctx->descTop, dataTop = ctx->dataTop;
      for (int32_t a : args) zoo[a](ctx);
      const ErrCode e = CallOp(ctx, s.opcode, nargin, nargout);
      calls++;
      successes += e == kOk;
      ASSERT_LE(ctx->descTop, ctx->descCap) << s.opcode;
      ASSERT_LE(ctx->dataTop, ctx->dataCap) << s.opcode;
      if (e == kOk) {
        ASSERT_GE(EntryCount(ctx), nargout) << s.opcode;
        for (int32_t k = 0; k < nargout; k++) {
          Shape shape;
          const ValueDescriptor* d = DescAt(ctx, k);
          if (!(d->flags & (kFlagNoValue | kFlagMarker)) && !IsTypedKind(*d, kKindFuncRef))
            GetValueShape(ctx, k, &shape);
        }
      }
      ASSERT_GE(ctx->descTop, descTop) << s.opcode;
      DropStackEntries(ctx, 0, static_cast<int32_t>((ctx->descTop - descTop) / 3));
      ASSERT_EQ(ctx->dataTop, dataTop) << s.opcode;
    }
  };
  for (const Subject& s : kSubjects) {
    run(s, {});
    for (int32_t a = 0; a < n; a++) run(s, {a});
    for (int32_t a = 0; a < n; a++)
      for (int32_t b = 0; b < n; b++) run(s, {a, b});
    for (int k = 0; k < 300; k++)
      run(s, {int32_t(random() % n), int32_t(random() % n), int32_t(random() % n)});
  }
  EXPECT_GT(calls, 30000);
  EXPECT_GT(successes, calls / 10);
}

}  // namespace
}  // namespace vke
