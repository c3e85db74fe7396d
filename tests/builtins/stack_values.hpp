// Helpers of the builtin tests beside the shared ones: operands written in
// one expression, a builtin applied to them with its outputs read back, and
// elements compared within a tolerance.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builtins/builtin.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/string_lists.hpp"
#include "tests/host/test_host.hpp"

namespace vke::test {

using Elems = std::vector<double>;
using Dims = std::vector<int32_t>;
using Strings = std::vector<std::string>;

// One operand: an array of a class, a char row, or a list of strings.
struct Arg {
  std::string cls = "double";
  Dims dims;
  Elems re, im;
  Strings strings;  // cls "list"
};

inline Arg Mat(int32_t rows, int32_t cols, Elems re, Elems im = {}) {
  return {"double", {rows, cols}, std::move(re), std::move(im), {}};
}
inline Arg Row(Elems re, Elems im = {}) {
  const auto n = static_cast<int32_t>(re.size());
  return Mat(n ? 1 : 0, n, std::move(re), std::move(im));
}
inline Arg Col(Elems re, Elems im = {}) {
  const auto n = static_cast<int32_t>(re.size());
  return Mat(n, n ? 1 : 0, std::move(re), std::move(im));
}
inline Arg Of(std::string cls, Dims dims, Elems re, Elems im = {}) {
  return {std::move(cls), std::move(dims), std::move(re), std::move(im), {}};
}
inline Arg Text(const std::string& s) {
  Elems units(s.begin(), s.end());
  return Of("char", {s.empty() ? 0 : 1, static_cast<int32_t>(s.size())}, units);
}
inline Arg List(Strings items) {
  return {"list", {}, {}, {}, std::move(items)};
}

inline void Push(EngineContext* ctx, const Arg& a) {
  if (a.cls == "list") return PushStringList(ctx, a.strings);
  PushArray(ctx, a.cls, a.dims, a.re, a.im);
}

// Pushes the operands and calls the builtin with nargout; expects the code.
// On success the outputs stay on the stack, first on top.
inline void Apply(EngineContext* ctx, BuiltinFn fn, const std::vector<Arg>& args, int32_t nargout,
                  ErrCode expected = kOk) {
  for (const Arg& a : args) Push(ctx, a);
  const auto nargin = static_cast<int32_t>(args.size());
  ASSERT_EQ(fn(ctx, nargin, nargout, 0), expected);
  if (expected == kOk) {
    EXPECT_EQ(EntryCount(ctx), nargout > 0 ? nargout : 1);
  }
}

// The same, reading the outputs (first first) and clearing the stack.
inline std::vector<ArrayValue> Outputs(EngineContext* ctx, BuiltinFn fn,
                                       const std::vector<Arg>& args, int32_t nargout = 1,
                                       ErrCode expected = kOk) {
  std::vector<ArrayValue> out;
  Apply(ctx, fn, args, nargout, expected);
  for (int32_t k = 0; k < nargout && expected == kOk && k < EntryCount(ctx); k++)
    out.push_back(ReadArray(ctx, k));
  Drop(ctx, EntryCount(ctx));
  return out;
}

// The first output alone.
inline ArrayValue Result(EngineContext* ctx, BuiltinFn fn, const std::vector<Arg>& args) {
  std::vector<ArrayValue> out = Outputs(ctx, fn, args);
  return out.empty() ? ArrayValue{} : out[0];
}

// Only the error code.
inline ErrCode Failure(EngineContext* ctx, BuiltinFn fn, const std::vector<Arg>& args,
                       int32_t nargout = 1) {
  for (const Arg& a : args) Push(ctx, a);
  ErrCode e = fn(ctx, static_cast<int32_t>(args.size()), nargout, 0);
  Drop(ctx, EntryCount(ctx));
  return e;
}

inline void ExpectNear(const Elems& actual, const Elems& expected, double tol = 1e-12) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); i++) EXPECT_NEAR(actual[i], expected[i], tol) << i;
}

}  // namespace vke::test
