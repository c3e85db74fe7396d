// Test helpers for builtins that build and take apart values: calling a
// builtin by name as compiled code does, pushing values compactly, and the
// top value as source text (the dumper's buffer mode) for assertions.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "engine/values/value.hpp"
#include "tests/host/builtin_calls.hpp"

namespace vke::test {

// Calls the builtin of that name with its instruction's operand words
// (CallOp by name).
ErrCode CallNamed(EngineContext* ctx, const std::string& name, int32_t nargin, int32_t nargout = 1);

// Calls the builtin on the top nargin entries. On failure: "error N", after
// checking that the inputs stayed, which are then dropped. Otherwise the
// outputs as text, the first first, " | " between them; they are dropped.
std::string CallForText(EngineContext* ctx, const std::string& name, int32_t nargin,
                        int32_t nargout = 1);

// The value at depth 0 as the dumper writes it (it stays on the stack);
// "<error N>" when the dump fails.
std::string DumpTop(EngineContext* ctx, int32_t precision = 15);

// An integer array of the type code (1, 2, 4, 8, plus 128 for unsigned)
// from exact 64-bit values.
void PushIntegers(EngineContext* ctx, uint32_t code, std::vector<int32_t> dims,
                  std::initializer_list<int64_t> v);
// A list of the top n entries.
void MakeList(EngineContext* ctx, int32_t n);
// A structure whose fields, in order, are the top names.size() entries.
void MakeStruct(EngineContext* ctx, std::initializer_list<const char*> names);

// Evaluates source text in the scope of the innermost frame with variables,
// as eval does, leaving the value of an expression text on top.
ErrCode EvaluateText(EngineContext* ctx, const std::string& text);

// The same, the value given as DumpTop writes it and dropped; "error N"
// when the evaluation fails.
std::string EvaluateToText(EngineContext* ctx, const std::string& text);

}  // namespace vke::test
