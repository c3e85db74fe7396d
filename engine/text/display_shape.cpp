// One-line summaries of an array's size and class: "2x3 int8 array",
// "1x1 struct array (2 fields)", "3x4x2 array".
#include "engine/text/display.hpp"
#include "engine/text/number_text.hpp"
#include "engine/text/text.hpp"

namespace vke {

namespace {

// Room the summary needs to start, and to add one more dimension.
constexpr int32_t kSummaryRoom = 20;
constexpr int32_t kDimensionRoom = 10;

const char* ClassWord(ShapeClass cls, int32_t elementBytes) {
  switch (cls) {
    case ShapeClass::kChar:
      return "char ";
    case ShapeClass::kLogical:
      return "logical ";
    case ShapeClass::kSingle:
      return "single ";
    case ShapeClass::kCell:
      return "cell ";
    case ShapeClass::kStruct:
      return "struct ";
    case ShapeClass::kInteger:
      switch (elementBytes) {
        case 1:
          return "int8 ";
        case 2:
          return "int16 ";
        case 4:
          return "int32 ";
        case 8:
          return "int64 ";
        default:
          return "??? ";
      }
    default:
      return "";
  }
}

}  // namespace

void DescribeValueShape(char* buffer, int32_t size, int32_t* position, ShapeClass cls,
                        int32_t elementBytes, bool isUnsigned, int32_t ndims, const int32_t* dims,
                        int32_t fieldCount) {
  if (size - *position < kSummaryRoom) return;
  const bool container = cls == ShapeClass::kCell || cls == ShapeClass::kStruct;
  const bool scalar = ndims == 2 && dims[0] == 1 && dims[1] == 1 && !container;
  if (!scalar) {
    for (int32_t i = 0; i < ndims; i++) {
      if (size - *position < kDimensionRoom) {
        AppendCString(buffer, position, "x...", size);
        return;
      }
      if (i > 0) AppendCString(buffer, position, "x", size);
      AppendFormattedInt(buffer, position, dims[i], false, 0, false, false, false, 1, size);
    }
    AppendCString(buffer, position, " ", size);
  }
  if (cls == ShapeClass::kInteger && isUnsigned) AppendCString(buffer, position, "u", size);
  AppendCString(buffer, position, ClassWord(cls, elementBytes), size);
  const char* noun = !scalar ? "array" : cls == ShapeClass::kLogical ? "value" : "number";
  AppendCString(buffer, position, noun, size);
  if (fieldCount >= 0) {
    AppendCString(buffer, position, " (", size);
    AppendFormattedInt(buffer, position, fieldCount, false, 0, false, false, false, 1, size);
    AppendCString(buffer, position, fieldCount < 2 ? " field)" : " fields)", size);
  }
}

}  // namespace vke
