#include "tests/host/call_log.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "engine/errors/errors.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/values.hpp"

namespace vke::test {

CallLog::CallLog(EngineContext* ctx, Answer answer) : answer_(std::move(answer)) {
  table_ = {
      MakeRecord("@calllog"),
      MakeRecord("calllog", &Native, 0, 8, 0, 1, reinterpret_cast<uintptr_t>(this)),
      MakeRecord(""),
  };
  EXPECT_EQ(RegisterLibrary(ctx, table_.data(), true), kOk);
}

ErrCode CallLog::ExpOfLast(EngineContext* ctx, const std::vector<ArrayValue>& args) {
  if (args.empty() || args.back().re.empty()) return kErrBadArg;
  const ArrayValue& x = args.back();
  const std::complex<double> y =
      std::exp(std::complex<double>(x.re[0], x.im.empty() ? 0 : x.im[0]));
  return PushComplexScalar(ctx, y.real(), y.imag());
}

ErrCode CallLog::Native(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t self) {
  auto* log = reinterpret_cast<CallLog*>(self);
  std::vector<ArrayValue> args;
  for (int32_t d = nargin - 1; d >= 0; d--) args.push_back(ReadArray(ctx, d));
  log->calls_.push_back(args);
  if (ErrCode e = Drop(ctx, nargin)) return e;
  return log->answer_(ctx, args);
}

}  // namespace vke::test
