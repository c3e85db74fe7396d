// The one switch of the engine's fast forms, for the tests that compare them
// with the general paths: the decoded runs and rounds of scalar
// instructions, the frameless calls of leaf functions, the table of
// functions located before and the exchange of pages for large values.
// Switched off, each of them steps aside and the general path does the
// work. It is switched only while no engine runs; the switch ends the code
// generation, so that no form kept from before is trusted again, and each
// form looks at the switch where it would decode or keep something, so
// that its quick path, which trusts what was kept, tests nothing for it.
#pragma once

#include <atomic>

#include "engine/code/code_generation.hpp"

namespace vke {

inline std::atomic<bool> gFastForms{true};

// Whether the fast forms may stand in for the general paths.
inline bool FastFormsOn() {
  return gFastForms.load(std::memory_order_relaxed);
}

inline void SetFastForms(bool on) {
  gFastForms.store(on, std::memory_order_relaxed);
  NoteCodeChanged();
}

}  // namespace vke
