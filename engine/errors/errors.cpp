// The engine's own error table, generated from error_table.def.
#include "engine/errors/errors.hpp"

namespace vke {

const ErrorTableRecord kEngineErrorTable[] = {
#define VKE_ERROR(name, code, id, msg) {code, id, msg},
#define VKE_ERROR_TEMPLATE(code, id, msg) {code, id, msg},
#define VKE_ERROR_NOTE(name, note)
#include "engine/errors/error_table.def"
#undef VKE_ERROR
#undef VKE_ERROR_TEMPLATE
#undef VKE_ERROR_NOTE
    {0, nullptr, nullptr},
};

bool IsEngineMemoryCode(ErrCode code) {
  switch (code) {
    case kErrStackOverflow:
    case kErrStackOverflowVar:
    case kErrDataOverflow:
    case kErrDataOverflowVar:
    case kErrVarOverflow:
    case kErrCodeOverflow:
    case kErrCompOutOfMemory:
    case kErrTooManyUserFun:
    case kErrPlotOverflow:
    case kErrUndoOverflow:
      return true;
    default:
      return false;
  }
}

}  // namespace vke
