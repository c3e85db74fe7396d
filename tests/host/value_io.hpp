// Test helpers that push numeric rows and read results back: rows of
// doubles and of integer classes, and the top value's elements as doubles.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "engine/context.hpp"

namespace vke::test {

// A 1 x n double row.
void PushDoubles(EngineContext* ctx, std::initializer_list<double> values);
// A 1 x n row of an integer class of the given element size.
void PushIntegers(EngineContext* ctx, int32_t bytes, bool isUnsigned,
                  std::initializer_list<int64_t> values);
// The elements of the numeric value on top as doubles, and the value dropped.
std::vector<double> PopNumbers(EngineContext* ctx);
// The char array on top (low bytes), and the value dropped.
std::string PopText(EngineContext* ctx);

}  // namespace vke::test
