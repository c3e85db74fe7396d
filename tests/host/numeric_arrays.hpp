// Test helpers: numeric arrays of every class pushed and read back by class
// name ("double", "single", "int8" ... "uint64", "char", "logical"), and
// builtins called by name through the dispatch.
#pragma once

#include <string>
#include <vector>

#include "engine/values/value.hpp"

namespace vke::test {

// Pushes an array with the given dimensions and elements (row by row, as the
// engine stores them). A non-empty im makes a double or single array complex.
void PushArray(EngineContext* ctx, const std::string& cls, const std::vector<int32_t>& dims,
               const std::vector<double>& re, const std::vector<double>& im = {});
// A 1 x n row (0 x 0 when re is empty).
void PushRow(EngineContext* ctx, const std::string& cls, const std::vector<double>& re,
             const std::vector<double>& im = {});
void PushScalar(EngineContext* ctx, const std::string& cls, double value);
// A complex double scalar, complex even when im is 0.
void PushComplex(EngineContext* ctx, double re, double im);

struct ArrayValue {
  std::string cls;  // "other" for values that are not numeric arrays
  bool plain = false;
  std::vector<int32_t> dims;
  std::vector<double> re;
  std::vector<double> im;     // empty for real values
  std::vector<int64_t> bits;  // integer classes: the elements, sign-extended
};
ArrayValue ReadArray(EngineContext* ctx, int32_t depth = 0);

// Calls the builtin of that name with its fixed counts through the dispatch.
ErrCode CallByName(EngineContext* ctx, const std::string& name);

}  // namespace vke::test
