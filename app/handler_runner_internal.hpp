// Shared by the files of the handler runner: the inputs it pushes and the
// outputs it stores.
#pragma once

#include <functional>

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

// Runs the engine's code on to its end from the result `e` of the call or
// run that started it: in slices with the block's break test between them
// (refreshing the busy indicator when asked), or at once. An
// instruction that stopped for room (with the engine's memory retry on)
// waits while the block grows and goes on; the failure of a worker thread,
// which the engine printed with its place, ends that thread alone. A quit
// without a window ends the code as cancel does: kStatusNoPrint.
ErrCode RunEngineCode(KVContextBlock** slot, ErrCode e, bool sliced, bool showBusy);

// Runs attempt(&final) and, with growth allowed, again in a grown block
// while it fails for lack of room that the engine could not wait out in
// place, until an attempt says it is final (what it did from then on is
// not made again). Each attempt made again starts afresh: the text,
// threads and files of the failed one are gone and the instance's figure is
// as the first found it; an attempt that wrote to a file, asked the user or
// had text sent on is not made again (its shortage is the result). The
// attempts' text is held until the last has ended.
ErrCode RunAttemptsGrowing(KVContextBlock** slot, int32_t instance, bool allowGrowth,
                           const std::function<ErrCode(bool* final)>& attempt);

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

// The version the outputs of the request go to, counted back from the
// current one: one back for a nested run that reads the previous version.
int32_t OutputVersion(const HandlerRequest& r);

// Makes room in the undo buffer for all the values the outputs on the
// stack will leave there, so that storing them cannot run short part-way;
// kKvVarTooLargeForUndo when the buffer has to grow first.
ErrCode ReserveOutputRoom(KVContextBlock* block, const HandlerRequest& r,
                          const DescriptorCodes& codes);

// Stores the outputs in descriptor order from output *next on, each taking
// the value on top of the stack and dropping it, and counting *next on. A
// failure ends the storing with the value of output *next on top and those
// of the outputs after it below.
ErrCode StoreHandlerOutputs(KVContextBlock* block, const HandlerRequest& r,
                            const DescriptorCodes& codes, uint32_t* next);

// Stores the outputs of a handler whose function has run: room for all of
// them is made first, so that none is stored when room runs out; the block
// grows in place when the request allows it, and the storing goes on from
// the output it stopped at. `start` is the instance start, where `codes`
// are read again after the block moved.
ErrCode StoreOutputsGrowing(KVContextBlock** slot, const HandlerRequest& r, uint32_t start,
                            DescriptorCodes* codes);

}  // namespace vke
