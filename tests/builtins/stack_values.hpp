// Test helpers of the builtin tests: pushing arrays of every class, strings
// and lists, and reading any numeric value back with its class, dimensions
// and elements (as doubles, in storage order).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/errors.hpp"
#include "engine/value_read.hpp"
#include "engine/values.hpp"

namespace vke::test {
namespace {

using Elems = std::vector<double>;
using Dims = std::vector<int32_t>;

// A plain double matrix given row by row (im empty: real).
inline void PushMatrix(EngineContext* ctx, int32_t rows, int32_t cols, const Elems& re,
                       const Elems& im = {}) {
  double *r, *i;
  ASSERT_EQ(PushNewMatrix(ctx, rows, cols, &r, im.empty() ? nullptr : &i), kOk);
  ASSERT_EQ(re.size(), size_t(rows) * size_t(cols));
  std::copy(re.begin(), re.end(), r);
  if (!im.empty()) std::copy(im.begin(), im.end(), i);
}

inline void PushRow(EngineContext* ctx, const Elems& re, const Elems& im = {}) {
  PushMatrix(ctx, re.empty() ? 0 : 1, static_cast<int32_t>(re.size()), re, im);
}

inline void PushColumn(EngineContext* ctx, const Elems& re, const Elems& im = {}) {
  PushMatrix(ctx, static_cast<int32_t>(re.size()), re.empty() ? 0 : 1, re, im);
}

// An array of an integer class (type code), char (kKindChar) or logical.
inline void PushTyped(EngineContext* ctx, uint32_t code, const Dims& dims, const Elems& values,
                      int32_t kind = kKindArray) {
  int es = ElementBytesOfCode(code);
  void* data;
  ASSERT_EQ(PushNewTypedArray(ctx, static_cast<int32_t>(dims.size()), dims.data(), es,
                              (code & kCodeUnsigned) != 0, &data),
            kOk);
  DescAt(ctx, 0)->word = kind;
  for (size_t k = 0; k < values.size(); k++) {
    int64_t v = static_cast<int64_t>(values[k]);
    std::memcpy(static_cast<uint8_t*>(data) + es * k, &v, es);
  }
}

inline void PushSingle(EngineContext* ctx, const Dims& dims, const Elems& re,
                       const Elems& im = {}) {
  float *r, *i;
  ASSERT_EQ(PushNewSingleArray(ctx, static_cast<int32_t>(dims.size()), dims.data(), &r,
                               im.empty() ? nullptr : &i),
            kOk);
  for (size_t k = 0; k < re.size(); k++) r[k] = static_cast<float>(re[k]);
  for (size_t k = 0; k < im.size(); k++) i[k] = static_cast<float>(im[k]);
}

inline void PushString(EngineContext* ctx, const std::string& s) {
  ASSERT_EQ(PushCString(ctx, static_cast<int32_t>(s.size()), s.data()), kOk);
}

// A list of strings.
inline void PushStringList(EngineContext* ctx, const std::vector<std::string>& items) {
  for (const std::string& s : items) PushString(ctx, s);
  ASSERT_EQ(PushListFromEntries(ctx, static_cast<int32_t>(items.size()), false, nullptr, 0), kOk);
}

// A numeric value read back.
struct Value {
  ValueClass cls = ValueClass::kOther;
  uint32_t code = 0;
  bool complex = false;
  Dims dims;
  Elems re, im;
};

inline double ElementAt(const NumericView& v, int64_t i, bool imag) {
  int64_t at = i + (imag ? v.shape.count : 0);
  switch (v.cls) {
    case ValueClass::kDouble:
      return Load<double>(v.elements + 8 * at);
    case ValueClass::kSingle:
      return Load<float>(v.elements + 4 * at);
    default:
      return ReadIntegerElement(v.elements, v.code, i);
  }
}

inline Value Read(EngineContext* ctx, int32_t depth = 0) {
  NumericView v = ViewNumeric(ctx, depth);
  Value out;
  out.cls = v.cls;
  out.code = v.code;
  out.complex = v.complex;
  if (v.cls == ValueClass::kOther) return out;
  out.dims.assign(v.shape.dims, v.shape.dims + v.shape.ndims);
  for (int64_t i = 0; i < v.shape.count; i++) {
    out.re.push_back(ElementAt(v, i, false));
    if (v.complex) out.im.push_back(ElementAt(v, i, true));
  }
  return out;
}

// The strings of a list at the depth.
inline std::vector<std::string> ReadStringList(EngineContext* ctx, int32_t depth = 0) {
  std::vector<std::string> out;
  StructuredParts parts;
  EXPECT_EQ(GetListParts(ctx, depth, &parts), kOk);
  const uint8_t* item = parts.first;
  for (int32_t i = 0; i < parts.elements; i++, item += ItemBytes(item)) {
    ValueDescriptor d = Load<ValueDescriptor>(item);
    NumericView v = ViewNumericData(d, const_cast<uint8_t*>(item) + 16);
    std::string s;
    for (int32_t k = 0; k < v.shape.count; k++)
      s.push_back(static_cast<char>(Load<uint16_t>(v.elements + 2 * k)));
    out.push_back(s);
  }
  return out;
}

// Elements compared within a tolerance.
inline void ExpectNear(const Elems& actual, const Elems& expected, double tol = 1e-12) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); i++) EXPECT_NEAR(actual[i], expected[i], tol) << i;
}

}  // namespace
}  // namespace vke::test
