#include "tests/app/handler_test_host.hpp"

#include <gtest/gtest.h>

#include "app/name_buffer.hpp"
#include "app/undo_buffer.hpp"
#include "app/undo_values.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/test_host.hpp"

namespace vke::test {

HandlerTestHost::HandlerTestHost(std::vector<int32_t> variables, uint32_t size, HostTables tables)
    : BlockHost(size, kHostMaxBytes, tables) {
  void* undo = block()->UndoArea();
  RemoveUndoSet(undo, 0);  // a new block has no set for instance 0 yet
  EXPECT_EQ(AddUndoSet(undo, 0), kOk);
  for (int32_t v = kVarPl; v <= kVarHelp; v++)
    EXPECT_EQ(AddUndoSetVariable(undo, 0, v, false), kOk);
  for (int32_t v : variables) EXPECT_EQ(AddUndoSetVariable(undo, 0, v, false), kOk);
  EXPECT_EQ(ResetUndoSet(undo, 0), kOk);
}

ErrCode HandlerTestHost::SetScalar(int32_t variable, double value, int32_t back) {
  if (ErrCode e = PushRealScalar(ctx(), value)) return e;
  return StoreUndoValue(block(), 0, back, variable);
}

ErrCode HandlerTestHost::SetText(int32_t variable, const std::string& text) {
  if (ErrCode e = PushCString(ctx(), static_cast<int32_t>(text.size()), text.data())) return e;
  return StoreUndoValue(block(), 0, 0, variable);
}

bool HandlerTestHost::HasValue(int32_t variable, int32_t back) {
  return HasUndoValue(block()->UndoArea(), 0, back, variable);
}

bool HandlerTestHost::IsStale(int32_t variable) {
  return IsUndoValueStale(block()->UndoArea(), 0, 0, variable);
}

double HandlerTestHost::Scalar(int32_t variable, int32_t back) {
  EXPECT_EQ(PushUndoValue(block(), 0, back, variable), kOk);
  const double v = TopScalar(ctx());
  Drop(ctx());
  return v;
}

std::string HandlerTestHost::Text(int32_t variable) {
  EXPECT_EQ(PushUndoValue(block(), 0, 0, variable), kOk);
  const std::string s = TopString(ctx());
  Drop(ctx());
  return s;
}

int64_t HandlerTestHost::Count(int32_t variable) {
  EXPECT_EQ(PushUndoValue(block(), 0, 0, variable), kOk);
  const NumericView v = ViewNumeric(ctx(), 0);
  Drop(ctx());
  return v.cls == ValueClass::kOther ? -1 : v.shape.count;
}

HandlerRequest RequestFor(const ElementListBuilder& list) {
  HandlerRequest r;
  r.descriptor = static_cast<int32_t>(list.LastDescriptor());
  return r;
}

}  // namespace vke::test
