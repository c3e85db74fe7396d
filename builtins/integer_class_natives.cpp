// The natives intmax and intmin (the limits of an integer class named by
// text) and map2int (real numbers of an interval mapped linearly onto the
// whole range of an integer class).
#include <cmath>
#include <cstring>
#include <string_view>

#include "builtins/builtin.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr std::string_view kDefaultLimitClass = "int32";
constexpr std::string_view kDefaultMapClass = "uint8";
constexpr double kTwoTo64 = 18446744073709551616.0;
constexpr uint64_t kSignBit = uint64_t{1} << 63;
// Scales of the classes of up to 32 bits stay just below 2^n, so that the
// top of the interval lands on the largest value.
constexpr double kBelowPowerOfTwo = 0.001;

struct IntegerClass {
  int32_t bytes = 0;
  bool isUnsigned = false;
};

// The sizes a class name ends with.
struct SizeSuffix {
  std::string_view digits;
  int32_t bytes;
};
constexpr SizeSuffix kSizeSuffixes[] = {
    {"8", 1},   // int8, uint8
    {"16", 2},  // int16, uint16
    {"32", 4},  // int32, uint32
    {"64", 8},  // int64, uint64
};

// "int8" ... "int64", with a leading "u" for the unsigned classes; the
// comparison is case-sensitive. 108 for any other name.
ErrCode ParseIntegerClass(std::string_view name, IntegerClass* out) {
  out->isUnsigned = !name.empty() && name[0] == 'u';
  if (out->isUnsigned) name.remove_prefix(1);
  if (!name.starts_with("int")) return kErrUnknownOpt;
  name.remove_prefix(3);
  for (const SizeSuffix& s : kSizeSuffixes) {
    if (name != s.digits) continue;
    out->bytes = s.bytes;
    return kOk;
  }
  return kErrUnknownOpt;
}

// The longest class name ("uint64").
constexpr int32_t kMaxClassNameLength = 6;

// The class named by the char array at the depth, read where it lies.
ErrCode GetIntegerClassArg(EngineContext* ctx, int32_t depth, IntegerClass* out) {
  const NumericView v = ViewNumeric(ctx, depth);
  if (v.cls != ValueClass::kChar) return AllowOverload(kErrWrongType);
  if (v.shape.count > kMaxClassNameLength) return kErrUnknownOpt;
  char name[kMaxClassNameLength];
  for (int32_t i = 0; i < v.shape.count; i++) name[i] = static_cast<char>(v.elements[2 * i]);
  return ParseIntegerClass(std::string_view(name, static_cast<size_t>(v.shape.count)), out);
}

// The bits of the scaled value s (0 to 1) in a class; s = 1 at the top of
// the interval. Values beyond the class saturate.
uint64_t MapToClass(double s, bool atTop, const IntegerClass& c) {
  const int bits = 8 * c.bytes;
  if (bits == 64) {
    if (atTop) return c.isUnsigned ? ~uint64_t{0} : ~kSignBit;
    const double scaled = std::floor(s * kTwoTo64);
    const uint64_t u = scaled >= kTwoTo64 ? ~uint64_t{0} : static_cast<uint64_t>(scaled);
    // Less 2^63 for the signed class: the sign bit flipped.
    return c.isUnsigned ? u : u ^ kSignBit;
  }
  const double range = std::ldexp(1.0, bits);
  const auto u = static_cast<uint64_t>(std::floor(s * (range - kBelowPowerOfTwo)));
  if (c.isUnsigned) return u;
  return u - (uint64_t{1} << (bits - 1));  // the low bytes hold the signed value
}

}  // namespace

// intmax and intmin (option 'a', 'i') [class name].
ErrCode IntegerLimitNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t option) {
  IntegerClass c;
  ErrCode e =
      nargin == 1 ? GetIntegerClassArg(ctx, 0, &c) : ParseIntegerClass(kDefaultLimitClass, &c);
  if (e) return e;
  const int32_t dims[2] = {1, 1};
  void* data;
  e = PushInPlaceOfTop(
      ctx, nargin, [&] { return PushNewTypedArray(ctx, 2, dims, c.bytes, c.isUnsigned, &data); });
  if (e) return e;
  auto* bytes = static_cast<uint8_t*>(data);
  std::memset(bytes, option == 'a' ? 0xFF : 0, static_cast<size_t>(c.bytes));
  if (!c.isUnsigned) bytes[c.bytes - 1] = option == 'a' ? 0x7F : 0x80;
  return kOk;
}

// map2int(x [, lo, hi [, class]]): x clamped to [lo, hi] and mapped onto
// the class (uint8 by default; the interval defaults to [0, 1]).
ErrCode Map2intNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  if (nargin == 2) return kErrTooFewArgin;
  ErrCode e = CheckArgumentTypes(ctx, nargin, "a[rrS");
  if (e) return e;
  IntegerClass c;
  e = nargin == 4 ? GetIntegerClassArg(ctx, 0, &c) : ParseIntegerClass(kDefaultMapClass, &c);
  if (e) return e;
  double lo = 0, hi = 1;
  if (nargin >= 3) {
    lo = Load<double>(DataAt(ctx, nargin - 2));
    hi = Load<double>(DataAt(ctx, nargin - 3));
  }
  if (!(lo < hi)) return kErrOutOfRangeArg;
  NumericView x = ViewNumeric(ctx, nargin - 1);
  const int64_t n = x.shape.count;
  void* data;
  if ((e = PushNewTypedArray(ctx, x.shape.ndims, x.shape.dims, c.bytes, c.isUnsigned, &data)))
    return e;
  x = ViewNumeric(ctx, nargin);
  auto* out = static_cast<uint8_t*>(data);
  for (int64_t i = 0; i < n; i++) {
    double v = Load<double>(x.elements + 8 * i);
    v = v > hi ? hi : (v >= lo ? v : lo);  // NaN becomes lo
    // An interval wider than the largest double is measured in halves, so
    // that its ends still map to the ends of the class.
    double s = std::isinf(hi - lo) ? (v / 2 - lo / 2) / (hi / 2 - lo / 2) : (v - lo) / (hi - lo);
    s = s > 1 ? 1 : (s >= 0 ? s : 0);
    const uint64_t bits = MapToClass(s, v == hi, c);
    CopyElement(out + c.bytes * i, &bits, static_cast<uint64_t>(c.bytes));
  }
  return DropStackEntries(ctx, 1, nargin);
}

}  // namespace vke
