// A function value for the natives that call one through the call-and-
// resume cycle: "calllog", a native of a small table registered in front,
// records the arguments of every call and answers it, by default with exp of
// its last argument (a scalar, real or complex). The log gives the exact
// sequence of calls a native made.
#pragma once

#include <functional>
#include <vector>

#include "engine/registry/native_record.hpp"
#include "tests/host/numeric_arrays.hpp"

namespace vke::test {

class CallLog {
 public:
  // Pushes the result of a call given its arguments, the first first (they
  // are already off the stack); its code is the call's.
  using Answer = std::function<ErrCode(EngineContext* ctx, const std::vector<ArrayValue>& args)>;

  explicit CallLog(EngineContext* ctx, Answer answer = ExpOfLast);
  CallLog(const CallLog&) = delete;
  CallLog& operator=(const CallLog&) = delete;

  const std::vector<std::vector<ArrayValue>>& calls() const { return calls_; }
  void SetAnswer(Answer answer) { answer_ = std::move(answer); }

  static ErrCode ExpOfLast(EngineContext* ctx, const std::vector<ArrayValue>& args);

 private:
  static ErrCode Native(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t self);

  Answer answer_;
  std::vector<std::vector<ArrayValue>> calls_;
  std::vector<NativeFunctionRecord> table_;
};

}  // namespace vke::test
