// Test helpers for builtins that build and take apart values.
#include "tests/host/value_text.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "builtins/builtin.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/text/dump.hpp"
#include "engine/values/values.hpp"

namespace vke::test {

ErrCode CallNamed(EngineContext* ctx, const std::string& name, int32_t nargin, int32_t nargout) {
  const BuiltinRecord* r = FindBuiltinRecord(name.data(), static_cast<int32_t>(name.size()));
  EXPECT_NE(r, nullptr) << name;
  return r ? CallOp(ctx, static_cast<int32_t>(r->id), nargin, nargout) : kErrNotSupported;
}

std::string CallForText(EngineContext* ctx, const std::string& name, int32_t nargin,
                        int32_t nargout) {
  const int32_t below = GetFrameEntryCount(ctx) - nargin;
  ErrCode e = CallNamed(ctx, name, nargin, nargout);
  if (e) {
    EXPECT_EQ(GetFrameEntryCount(ctx), below + nargin) << name << ": the inputs stay";
    Drop(ctx, GetFrameEntryCount(ctx) - below);
    return "error " + std::to_string(e);
  }
  std::string text;
  for (int32_t i = 0; i < std::max(nargout, 1); i++) {
    text += (i ? " | " : "") + DumpTop(ctx);
    Drop(ctx);
  }
  EXPECT_EQ(GetFrameEntryCount(ctx), below) << name;
  return text;
}

std::string DumpTop(EngineContext* ctx, int32_t precision) {
  std::vector<uint16_t> buffer(1 << 16);
  int32_t position = 0;
  ErrCode e = DumpValue(ctx, buffer.data(), static_cast<int32_t>(buffer.size()), &position, -1,
                        nullptr, 0, precision);
  if (e) return "<error " + std::to_string(e) + ">";
  std::string text;
  for (int32_t i = 0; i < position; i++) text += static_cast<char>(buffer[i]);
  return text;
}

void PushIntegers(EngineContext* ctx, uint32_t code, std::vector<int32_t> dims,
                  std::initializer_list<int64_t> v) {
  void* data = nullptr;
  const int bytes = static_cast<int>(code & 127);
  ASSERT_EQ(PushNewTypedArray(ctx, static_cast<int32_t>(dims.size()), dims.data(), bytes,
                              (code & kCodeUnsigned) != 0, &data),
            kOk);
  int i = 0;
  for (int64_t x : v) std::memcpy(static_cast<uint8_t*>(data) + bytes * i++, &x, bytes);
}

void MakeList(EngineContext* ctx, int32_t n) {
  ASSERT_EQ(PushListFromEntries(ctx, n, false, nullptr, 0), kOk);
}

void MakeStruct(EngineContext* ctx, std::initializer_list<const char*> names) {
  const auto n = static_cast<int32_t>(names.size());
  ASSERT_EQ(PushEntry(ctx, kFlagStructured, 0, kKindStruct, false, nullptr), kOk);
  int32_t left = n;
  for (const char* name : names) {
    // The deepest value left goes on top, right above the structure.
    ASSERT_EQ(RollStackEntries(ctx, left + 1, 1), kOk);
    ASSERT_EQ(PushListFromEntries(ctx, 1, true, name, -1), kOk);
    left--;
  }
}

ErrCode EvaluateText(EngineContext* ctx, const std::string& text) {
  int32_t results = 1;
  ErrCode e = RunTextInFunctionScope(ctx, text.data(), static_cast<int32_t>(text.size()), &results);
  if (e) return e;
  do e = ExecuteBytecode(ctx, 0);
  while (e == kStatusSuspended);
  return e;
}

std::string EvaluateToText(EngineContext* ctx, const std::string& text) {
  ErrCode e = EvaluateText(ctx, text);
  if (e) return "error " + std::to_string(e);
  std::string value = DumpTop(ctx);
  Drop(ctx);
  return value;
}

}  // namespace vke::test
