// The one kept failure text of the process.
#include "app/kept_failure.hpp"

#include "app/error_place.hpp"

namespace vke {

KeptFailure& Kept() {
  static KeptFailure kept;
  return kept;
}

void ForgetFailureText() {
  Kept().serial = 0;
}

}  // namespace vke
