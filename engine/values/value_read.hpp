// Reading elements of any numeric layout as doubles, and classifying the
// value at a stack depth.
#pragma once

#include "engine/values/value.hpp"

namespace vke {

// Reads element i of an integer-class, char or logical array with the given
// type code as a double (unsigned codes read as unsigned).
inline double ReadIntegerElement(const uint8_t* el, uint32_t code, int64_t i) {
  switch (code) {
    case kCodeInt8:
      return static_cast<int8_t>(el[i]);
    case kCodeUInt8:
      return el[i];
    case kCodeInt16:
      return Load<int16_t>(el + 2 * i);
    case kCodeUInt16:
      return Load<uint16_t>(el + 2 * i);
    case kCodeInt32:
      return Load<int32_t>(el + 4 * i);
    case kCodeUInt32:
      return Load<uint32_t>(el + 4 * i);
    case kCodeInt64:
      return static_cast<double>(Load<int64_t>(el + 8 * i));
    case kCodeUInt64:
      return static_cast<double>(Load<uint64_t>(el + 8 * i));
    default:
      return 0;
  }
}

// Raw 64-bit integer value of element i (sign-extended for signed codes).
inline uint64_t ReadIntegerBits(const uint8_t* el, uint32_t code, int64_t i) {
  switch (code) {
    case kCodeInt8:
      return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int8_t>(el[i])));
    case kCodeUInt8:
      return el[i];
    case kCodeInt16:
      return static_cast<uint64_t>(static_cast<int64_t>(Load<int16_t>(el + 2 * i)));
    case kCodeUInt16:
      return Load<uint16_t>(el + 2 * i);
    case kCodeInt32:
      return static_cast<uint64_t>(static_cast<int64_t>(Load<int32_t>(el + 4 * i)));
    case kCodeUInt32:
      return Load<uint32_t>(el + 4 * i);
    case kCodeInt64:
    case kCodeUInt64:
      return Load<uint64_t>(el + 8 * i);
    default:
      return 0;
  }
}

inline bool IsIntegerCode(uint32_t code) {
  switch (code) {
    case kCodeInt8:
    case kCodeInt16:
    case kCodeInt32:
    case kCodeInt64:
    case kCodeUInt8:
    case kCodeUInt16:
    case kCodeUInt32:
    case kCodeUInt64:
      return true;
    default:
      return false;
  }
}

// The numeric classes a value can have.
enum class ValueClass : uint8_t {
  kDouble,   // plain matrix or N-D double (kCodeDouble, kCodeDoubleComplex)
  kSingle,   // kCodeSingle, kCodeSingleComplex
  kInteger,  // integer-class typed array
  kChar,
  kLogical,
  kOther,  // structured, functions, library values, markers
};

struct NumericView {
  ValueClass cls = ValueClass::kOther;
  bool complex = false;
  uint32_t code = 0;  // header code for typed arrays
  uint8_t* elements = nullptr;
  Shape shape;
};

// Describes the value at the depth; cls kOther for non-numeric values.
NumericView ViewNumeric(EngineContext* ctx, int32_t depth);
// The same for a value given by its descriptor and data, wherever it lies.
NumericView ViewNumericData(const ValueDescriptor& d, uint8_t* data);

// Element i of a numeric view as a double: its real part, or its imaginary
// part when imag is set (0 for a real value).
inline double ViewElement(const NumericView& v, int64_t i, bool imag) {
  switch (v.cls) {
    case ValueClass::kDouble:
      if (imag && !v.complex) return 0;
      return Load<double>(v.elements + 8 * (i + (imag ? v.shape.count : 0)));
    case ValueClass::kSingle:
      if (imag && !v.complex) return 0;
      return Load<float>(v.elements + 4 * (i + (imag ? v.shape.count : 0)));
    default:
      return imag ? 0 : ReadIntegerElement(v.elements, v.code, i);
  }
}

// Replaces the entry at the depth by the value on top (which is removed from
// the top).
ErrCode ReplaceEntryWithTop(EngineContext* ctx, int32_t depth);

}  // namespace vke
