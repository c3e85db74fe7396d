// The option tables of the system's option-setting natives, one per native,
// each ending with its end-of-table record.
#pragma once

#include "engine/registry/options.hpp"

namespace vke {

extern const OptionRecord kOptimsetTable[];      // optimset: fminbnd, fminsearch, fzero
extern const OptionRecord kOdesetTable[];        // odeset: ode45, ode23
extern const OptionRecord kSerialdevsetTable[];  // serialdevset: serial-port settings
extern const OptionRecord kThreadsetTable[];     // threadset: threadnew
extern const OptionRecord kResponsesetTable[];   // responseset: frequency and time responses
extern const OptionRecord kDialogsetTable[];     // dialogset: dialog
extern const OptionRecord kFontsetTable[];       // fontset: text

}  // namespace vke
