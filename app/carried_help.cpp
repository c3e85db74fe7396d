// Serving the carried help files by their file names.
#include "app/carried_help.hpp"

#include <cstring>

namespace vke {

ErrCode ReadCarriedText(std::span<const CarriedText> texts, const char* name, char* buffer,
                        int32_t capacity, int32_t* length) {
  for (const CarriedText& t : texts) {
    if (std::strcmp(t.name, name) != 0) continue;
    if (t.length > capacity) return kErrDataOverflow;
    std::memcpy(buffer, t.bytes, static_cast<size_t>(t.length));
    *length = t.length;
    return kOk;
  }
  return kErrFileNotFound;
}

ErrCode ReadCarriedHelp(EngineContext*, const char* name, const char*, uintptr_t, char* buffer,
                        int32_t capacity, int32_t* length) {
  return ReadCarriedText(CarriedHelpFiles(), name, buffer, capacity, length);
}

}  // namespace vke
