#include "tests/host/numeric_arrays.hpp"

#include <gtest/gtest.h>

#include <cstring>

#include "builtins/builtin.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke::test {

namespace {

struct ClassName {
  const char* name;
  uint32_t code;
  int32_t kind;
};

constexpr ClassName kClassNames[] = {
    {"int8", kCodeInt8, kKindArray},     {"int16", kCodeInt16, kKindArray},
    {"int32", kCodeInt32, kKindArray},   {"int64", kCodeInt64, kKindArray},
    {"uint8", kCodeUInt8, kKindArray},   {"uint16", kCodeUInt16, kKindArray},
    {"uint32", kCodeUInt32, kKindArray}, {"uint64", kCodeUInt64, kKindArray},
    {"char", kCodeUInt16, kKindChar},    {"logical", kCodeUInt8, kKindLogical},
};

const ClassName* FindClass(const std::string& cls) {
  for (const ClassName& c : kClassNames)
    if (cls == c.name) return &c;
  return nullptr;
}

template <typename T>
void CopyIn(T* to, const std::vector<double>& from) {
  for (size_t i = 0; i < from.size(); i++) to[i] = static_cast<T>(from[i]);
}

ErrCode PushNewFloats(EngineContext* ctx, int32_t ndims, const int32_t* dims, double** re,
                      double** im) {
  return PushNewArray(ctx, ndims, dims, re, im);
}

ErrCode PushNewFloats(EngineContext* ctx, int32_t ndims, const int32_t* dims, float** re,
                      float** im) {
  return PushNewSingleArray(ctx, ndims, dims, re, im);
}

template <typename T>
void PushFloats(EngineContext* ctx, const std::vector<int32_t>& dims, const std::vector<double>& re,
                const std::vector<double>& im) {
  T *r, *i = nullptr;
  ASSERT_EQ(PushNewFloats(ctx, static_cast<int32_t>(dims.size()), dims.data(), &r,
                          im.empty() ? nullptr : &i),
            kOk);
  CopyIn(r, re);
  if (i) CopyIn(i, im);
}

}  // namespace

void PushArray(EngineContext* ctx, const std::string& cls, const std::vector<int32_t>& dims,
               const std::vector<double>& re, const std::vector<double>& im) {
  if (cls == "double") return PushFloats<double>(ctx, dims, re, im);
  if (cls == "single") return PushFloats<float>(ctx, dims, re, im);
  const ClassName* c = FindClass(cls);
  ASSERT_NE(c, nullptr) << cls;
  void* data;
  const int es = ElementBytesOfCode(c->code);
  ASSERT_EQ(PushNewTypedArray(ctx, static_cast<int32_t>(dims.size()), dims.data(), es,
                              (c->code & kCodeUnsigned) != 0, &data),
            kOk);
  DescAt(ctx, 0)->word = c->kind;
  for (size_t k = 0; k < re.size(); k++) {
    uint64_t bits = re[k] < 0 ? static_cast<uint64_t>(static_cast<int64_t>(re[k]))
                              : static_cast<uint64_t>(re[k]);
    std::memcpy(static_cast<uint8_t*>(data) + es * k, &bits, es);
  }
}

void PushRow(EngineContext* ctx, const std::string& cls, const std::vector<double>& re,
             const std::vector<double>& im) {
  const auto n = static_cast<int32_t>(re.size());
  PushArray(ctx, cls, {n ? 1 : 0, n}, re, im);
}

void PushScalar(EngineContext* ctx, const std::string& cls, double value) {
  PushArray(ctx, cls, {1, 1}, {value});
}

void PushComplex(EngineContext* ctx, double re, double im) {
  PushArray(ctx, "double", {1, 1}, {re}, {im});
}

ArrayValue ReadArray(EngineContext* ctx, int32_t depth) {
  ArrayValue out;
  NumericView v = ViewNumeric(ctx, depth);
  out.plain = IsPlain(*DescAt(ctx, depth));
  out.dims.assign(v.shape.dims, v.shape.dims + v.shape.ndims);
  const int64_t n = v.shape.count;
  switch (v.cls) {
    case ValueClass::kDouble:
    case ValueClass::kSingle: {
      const bool single = v.cls == ValueClass::kSingle;
      out.cls = single ? "single" : "double";
      for (int64_t i = 0; i < n * (v.complex ? 2 : 1); i++) {
        double x = single ? Load<float>(v.elements + 4 * i) : Load<double>(v.elements + 8 * i);
        (i < n ? out.re : out.im).push_back(x);
      }
      return out;
    }
    case ValueClass::kOther:
      out.cls = "other";
      return out;
    default:
      out.cls = v.cls == ValueClass::kChar      ? "char"
                : v.cls == ValueClass::kLogical ? "logical"
                                                : "";
      for (const ClassName& c : kClassNames)
        if (out.cls.empty() && c.kind == kKindArray && c.code == v.code) out.cls = c.name;
      for (int64_t i = 0; i < n; i++) {
        out.re.push_back(ReadIntegerElement(v.elements, v.code, i));
        out.bits.push_back(static_cast<int64_t>(ReadIntegerBits(v.elements, v.code, i)));
      }
      return out;
  }
}

ErrCode CallByName(EngineContext* ctx, const std::string& name) {
  const BuiltinRecord* r = FindBuiltinRecord(name.data(), static_cast<int32_t>(name.size()));
  EXPECT_NE(r, nullptr) << name;
  if (!r) return kErrIllegal;
  const int16_t code[1] = {static_cast<int16_t>(r->id)};
  return CallBuiltin(ctx, code);
}

}  // namespace vke::test
