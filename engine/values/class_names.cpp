// The class names of the numeric type codes.
#include "engine/values/class_names.hpp"

#include "engine/values/value.hpp"

namespace vke {

namespace {

// Class names of numeric arrays by their type code.
struct CodeName {
  uint32_t code;
  const char* name;
};
constexpr CodeName kCodeNames[] = {
    {kCodeInt8, "int8"},     {kCodeInt16, "int16"},
    {kCodeInt32, "int32"},   {kCodeInt64, "int64"},
    {kCodeUInt8, "uint8"},   {kCodeUInt16, "uint16"},
    {kCodeUInt32, "uint32"}, {kCodeUInt64, "uint64"},
    {kCodeDouble, "double"}, {kCodeDoubleComplex, "double"},
    {kCodeSingle, "single"}, {kCodeSingleComplex, "single"},
};

}  // namespace

const char* ClassNameOfCode(uint32_t code) {
  for (const CodeName& c : kCodeNames)
    if (c.code == code) return c.name;
  return nullptr;
}

}  // namespace vke
