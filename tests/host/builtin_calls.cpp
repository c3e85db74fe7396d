#include "tests/host/builtin_calls.hpp"

#include <gtest/gtest.h>

#include "builtins/array_support.hpp"
#include "builtins/builtin.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"

namespace vke::test {

ErrCode CallOp(EngineContext* ctx, int32_t opcode, int32_t nargin, int32_t nargout) {
  const BuiltinRecord* r = FindBuiltinById(opcode);
  EXPECT_NE(r, nullptr) << opcode;
  if (!r) return kErrIllegal;
  std::vector<int16_t> code = {static_cast<int16_t>(opcode)};
  if (IsVariableCount(r->inputCode)) code.push_back(static_cast<int16_t>(nargin));
  if (IsVariableCount(r->outputCode)) code.push_back(static_cast<int16_t>(nargout));
  return CallBuiltin(ctx, code.data());
}

void PushEmptyArray(EngineContext* ctx, const std::string& cls, const Dims& dims) {
  // The class's code and kind, read from a one-element array of the class.
  PushArray(ctx, cls, {1, 1}, {0});
  const NumericView v = ViewNumeric(ctx, 0);
  const ArrayClass arrayClass = ClassOfView(v);
  Drop(ctx);
  Shape s;
  s.ndims = static_cast<int32_t>(dims.size());
  for (int32_t k = 0; k < s.ndims; k++) s.dims[k] = dims[k];
  uint32_t at;
  ASSERT_EQ(PushArrayWithShape(ctx, arrayClass, false, s, &at), kOk);
}

void PushText(EngineContext* ctx, const std::string& text) {
  ASSERT_EQ(PushCString(ctx, static_cast<int32_t>(text.size()), text.data()), kOk);
}

Dims DimsAt(EngineContext* ctx, int32_t depth) {
  return ReadArray(ctx, depth).dims;
}

Values ValuesAt(EngineContext* ctx, int32_t depth) {
  return ReadArray(ctx, depth).re;
}

}  // namespace vke::test
