// Shared by the files of the handler runner: the inputs it pushes and the
// outputs it stores.
#pragma once

#include "app/handler_runner.hpp"
#include "engine/frames/frames.hpp"

namespace vke {

// The first line of clipboard text that carries a type: the type follows up
// to the next double quote.
inline constexpr char kXDataLine[] = "%KV xdata \"";
inline constexpr int32_t kXDataLineLength = sizeof kXDataLine - 1;

// Leaves a run that failed or was stopped: its frames are unwound to the
// debugger's stop frame (all of them after a stop for the debugger) and the
// code pointer is what it was before the run, so that no later call returns
// into the abandoned code.
void AbandonRun(EngineContext* ctx, ErrCode code, const SavedCodePointer& before);

// Names no running handler any more: instance 0, no object, no kind; the
// flags word of the native-call context is kept.
void ClearRunningHandler(KVContextBlock* block);

// Pushes the value of one input code for the request's instance, event and
// buffers. kKvNonexistentUndoSet and kKvVarNotFound come from the undo buffer; stack codes from the
// push.
ErrCode PushHandlerInput(KVContextBlock* block, const HandlerRequest& r, int32_t code);

// The _xdata (36) and _xdatatype (37) inputs from pasted bytes: an empty
// string without data; bytes that do not start with the "%KV xdata" line as a
// string of type "text"; otherwise the type of that line, and the value of
// the source text behind it, which must give exactly one value (kErrTooManyArgin).
ErrCode GetXDataArgument(KVContextBlock* block, int32_t code, const char* data, int32_t length);

// Stores the outputs in descriptor order, each taking the value on top of the
// stack and dropping it. A failure ends the storing; the values of the
// remaining outputs stay on the stack.
ErrCode StoreHandlerOutputs(KVContextBlock* block, const HandlerRequest& r,
                            const DescriptorCodes& codes);

}  // namespace vke
