// The handler runner: the one way a handler of the KV application runs. A
// handler is a compiled engine function plus a call descriptor in the element
// list that names its inputs and outputs by code:
//   2-41     standard variables (event values, key, figure size, pasted and
//            copied data, message, cursor, idle pacing);
//   100 and  KV variables, the ids of the instance's undo set;
//   above
//   >= 2^30, < -2^30  input constants, the numbers c - 2^30 and c + 2^30.
// RunHandler guards against re-entry, lets the make elements compute missing
// inputs first, pushes the inputs, calls the function (in slices with the
// host's break test between them) and stores the outputs, normally as new
// values of KV variables. A memory failure grows the block and runs the whole
// attempt again.
#pragma once

#include "app/block.hpp"
#include "app/element_list.hpp"

namespace vke {

// The codes of one handler descriptor as they lie in the element list. Made
// again after anything that can move the block.
class DescriptorCodes {
 public:
  // Reads the descriptor `offset` words after the instance start at word
  // `start`; false when it does not lie within the list.
  bool Read(KVContextBlock* block, uint32_t start, int32_t offset);

  int32_t Function() const { return d_.function; }
  uint32_t Outputs() const { return d_.outputs; }
  uint32_t Inputs() const { return d_.inputs; }
  int32_t Output(uint32_t i) const { return Code(i); }
  int32_t Input(uint32_t i) const { return Code(d_.outputs + i); }
  // Whether an output from position `from` on has the code.
  bool HasOutput(int32_t code, uint32_t from = 0) const;

 private:
  int32_t Code(uint32_t i) const;

  ElementListView list_{};
  HandlerDescriptor d_{};
};

// What RunHandler runs and with which event, key and buffers.
struct HandlerRequest {
  int32_t instance = 0;
  int32_t descriptor = 0;   // offset of the descriptor from the instance start
  bool previous = false;    // inputs are read one version back
  bool allowGrowth = true;  // a memory failure grows the block and runs again
  bool nested = false;      // inside another run: no busy guard, make pass or indicator
  int32_t objectId = -1;    // subplot or object acted on
  uint32_t kind = 0;        // handler kind (element kind), given as _action
  bool event = false;       // the block's event values are valid
  uint32_t key = 0;         // character of a key handler
  int32_t fdValue = 0;      // the number given as _fd
  int32_t linkId = -1;      // element id of the "%KV link" line, -1 none
  // Pasted bytes for the _xdata inputs, or the clipboard buffer the _xdata
  // outputs write; dataLength is the pasted length or the buffer's capacity.
  char* data = nullptr;
  int32_t dataLength = 0;
  int32_t* dataWritten = nullptr;  // clipboard text length, or none
  // The _msg output: its buffer, capacity and length (none: NUL-terminated).
  char* message = nullptr;
  int32_t messageCapacity = 0;
  int32_t* messageLength = nullptr;
};

// Runs the handler. 0, an engine or application code, kStatusNoPrint when a handler
// already runs (nothing else happens then), kStatusSuspended when the user stopped it,
// kKvNonexistentInstance for an unknown instance, kKvUndefElement for a descriptor outside the
// element list, kKvVarNotFound for a function id without a name. The block may have moved: take it
// again from the slot. A handler that made another language current has that language's init
// handlers run after it (a failed one leaves the language as it was); a retry after memory
// growth first ends the threads the failed attempt started.
ErrCode RunHandler(KVContextBlock** slot, const HandlerRequest& request);

// Whether the host reports the failure of a top-level handler run itself
// (the window's error box and its line on standard error): the engine then
// prints none of it, a worker thread's failure aside. Off at start (the
// packing tool shows the engine's own report).
void SetHandlerFailuresReported(bool reported);

// True for kStatusNoPrint when the running handler was cancelled quietly.
bool IsHandlerBusyCode(KVContextBlock* block, ErrCode code);

// The first failure of a handler run (not nested, not refused as busy) since
// the last call, which forgets it; 0 when none failed. Operations that run
// handlers and answer only "redraw" (a key, undo, the idle step) leave
// their handlers' failures here for the host to report.
ErrCode TakeHandlerFailure(KVContextBlock* block);

}  // namespace vke
