// Reading the values behind a format template element by element.
#include "engine/text/printf_args.hpp"

#include "engine/errors/errors.hpp"

namespace vke {

uint16_t ElementCharCode(const TemplateElement& element) {
  if (element.is64) return static_cast<uint16_t>(element.bits);
  return static_cast<uint16_t>(TruncToInt32(element.value));
}

ErrCode TemplateArguments::AdvanceToNextArgument() {
  while (argument_ < 0 || RemainingArgumentElements() <= 0) {
    if (argument_ + 1 >= count_) return kErrIndexOutOfRange;
    argument_++;
    index_ = 0;
    view_ = ViewNumeric(ctx_, deepest_ - argument_);
    if (view_.cls == ValueClass::kOther) {
      view_ = NumericView();
      return kErrWrongType;
    }
  }
  return kOk;
}

ErrCode TemplateArguments::FetchNextElement(TemplateElement* out) {
  ErrCode e = AdvanceToNextArgument();
  if (e) return e;
  const int32_t i = index_++;
  consumed_++;
  *out = TemplateElement();
  switch (view_.cls) {
    case ValueClass::kDouble:
      out->value = Load<double>(view_.elements + 8ll * i);
      break;
    case ValueClass::kSingle:
      out->value = Load<float>(view_.elements + 4ll * i);
      break;
    default:
      out->value = ReadIntegerElement(view_.elements, view_.code, i);
      if (view_.code == kCodeInt64 || view_.code == kCodeUInt64) {
        out->is64 = true;
        out->isUnsigned = view_.code == kCodeUInt64;
        out->bits = ReadIntegerBits(view_.elements, view_.code, i);
      }
      break;
  }
  return kOk;
}

}  // namespace vke
