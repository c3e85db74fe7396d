// The instance operations that run the init and terminate families: "Reset
// Data", closing an instance, and the instance-wide code that an instance
// whose first element holds it runs in place of its draw handlers.
// Operations that run handlers take the block slot: the block may move.
#pragma once

#include "app/block.hpp"

namespace vke {

// "Reset Data": the terminate handlers of an initialised instance, then the
// variables emptied to one version, the layout reset (the subplots set up
// from the first figure, the layout word from kElemUiOptions), the init handlers in
// order, the figure's drawing deleted and the start-up script run. Success
// leaves the instance initialised with idle processing on when it has an
// idle handler; a failure leaves it uninitialised with idle processing off
// and is returned. An instance with instance-wide code only gets its layout
// reset and its first-run byte set. kKvNonexistentInstance.
ErrCode ResetInstanceData(KVContextBlock** slot, int32_t id);

// The terminate handlers of an initialised instance in order, which leaves
// it uninitialised with idle processing off; 0 for one not initialised.
// The first failure is returned. kKvNonexistentInstance.
ErrCode RunInstanceCloseHandlers(KVContextBlock** slot, int32_t id);

// The terminate handlers, then the instance's elements and record removed;
// the terminate handlers' result. kKvNonexistentInstance.
ErrCode CloseInstance(KVContextBlock** slot, int32_t id);

// Compiles and runs the instance-wide code (kElemInstanceCode right after the instance
// start) as a command line with the instance current, in slices when the
// host installed a break test. A break prints kStatusSuspended and unwinds the code, so
// that nothing resumes it later. A memory failure grows the block and runs
// the code again. kStatusNoPrint while a handler runs; kKvUndefElement without such code.
ErrCode RunInitHandler(KVContextBlock** slot, int32_t id);

}  // namespace vke
