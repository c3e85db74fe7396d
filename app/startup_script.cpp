// The wrapper function of an older KV file's start-up script, and its run.
#include "app/startup_script.hpp"

#include <cstring>
#include <string>

#include "app/element_list.hpp"
#include "app/handler_elements.hpp"
#include "app/handler_runner_internal.hpp"
#include "app/instances.hpp"
#include "app/name_buffer.hpp"
#include "app/undo_buffer.hpp"
#include "app/undo_values.hpp"
#include "compiler/compile.hpp"
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/engine.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/loop/loop.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr const char* kWrapperName = kStartupWrapperName;
constexpr int32_t kWrapperNameLength = sizeof kStartupWrapperName - 1;
constexpr char kUndefined[] = "_undef";    // the value of an output the script left alone
constexpr int32_t kWrapperReserve = 1024;  // bytes beyond the script the wrapper may need
constexpr int32_t kFirstAppVariable = 106;
constexpr int32_t kMaxWrapperOutputs = 512;

// The figure and title settings of a script without a start-up output
// element: the output's name, the value it starts with, and the native its
// value goes to (null: the previous row's native takes it as its next
// argument).
struct Setting {
  const char* name;
  const char* initial;
  const char* native;
};
constexpr Setting kSettings[] = {
    {"_plots", "''", "subplots"},            // the subplot list as text
    {"_plotprops", "[]", "subplotprops"},    // scales and options,
    {"_plot3d", "[]", nullptr},              // and the 3-D views
    {"_plotpos", "[]", "subplotpos"},        // free-layout positions
    {"_plotsize", "[]", "subplotsize"},      // figure size
    {"_plotspring", "[]", "subplotspring"},  // free-layout springs
    {"_plotparam", "{}", "subplotparam"},    // plot properties
    {"_title", "[]", "kvtitle"},             // instance title
    {"_version", "[]", "kvversion"},         // version text
    {"_help", "[]", "kvhelp"},               // help text
};
constexpr int32_t kSettingCount = sizeof kSettings / sizeof kSettings[0];

// Appends to a fixed buffer; once something does not fit, nothing more is
// taken and Full() tells.
class TextBuffer {
 public:
  TextBuffer(char* buffer, int64_t capacity) : buffer_(buffer), capacity_(capacity) {}
  void Add(const char* text, int64_t length = -1) {
    if (length < 0) length = static_cast<int64_t>(std::strlen(text));
    if (full_ || length > capacity_ - used_) {
      full_ = true;
      return;
    }
    std::memcpy(buffer_ + used_, text, static_cast<size_t>(length));
    used_ += length;
  }
  bool Full() const { return full_; }
  const char* Text() const { return buffer_; }
  int32_t Length() const { return static_cast<int32_t>(used_); }

 private:
  char* buffer_;
  int64_t capacity_;
  int64_t used_ = 0;
  bool full_ = false;
};

// The wrapper's outputs that are variables: the inputs of the start-up
// output element (kind 9) in reverse order, or the instance's variables
// above 105 followed by the settings.
struct WrapperOutputs {
  DescriptorCodes startOutputs;
  bool hasStartOutputs = false;
  uint32_t start = 0;       // the instance start, where startOutputs are read from
  int32_t startOffset = 0;  // and their offset from it
  int32_t codes[kMaxWrapperOutputs];
  int32_t count = 0;

  const DescriptorCodes* StartOutputs() const { return hasStartOutputs ? &startOutputs : nullptr; }
  int32_t Outputs() const { return count + (hasStartOutputs ? 0 : kSettingCount); }
};

ErrCode CollectOutputs(KVContextBlock* block, int32_t id, WrapperOutputs* out) {
  uint32_t start;
  if (FindInstanceStart(block, id, &start)) return kKvNonexistentInstance;
  int32_t at = -1;
  out->start = start;
  out->hasStartOutputs = FindElement(block, id, &at, kElemStartOutputs) == kOk;
  out->startOffset = at + 2 - static_cast<int32_t>(start);
  out->hasStartOutputs =
      out->hasStartOutputs && out->startOutputs.Read(block, start, out->startOffset);
  const int32_t capacity = kMaxWrapperOutputs - kSettingCount;
  out->count = 0;
  if (out->hasStartOutputs) {
    const DescriptorCodes& d = out->startOutputs;
    if (d.Inputs() > static_cast<uint32_t>(capacity)) return kKvExhaustedRsrc;
    for (uint32_t i = d.Inputs(); i-- > 0;) out->codes[out->count++] = d.Input(i);
    return kOk;
  }
  int32_t variable;
  for (int32_t n = 0; GetUndoSetVariableId(block->UndoArea(), id, n, false, &variable) == kOk;
       n++) {
    if (variable < kFirstAppVariable) continue;
    if (out->count == capacity) return kKvExhaustedRsrc;
    out->codes[out->count++] = variable;
  }
  return kOk;
}

void AddName(KVContextBlock* block, TextBuffer* text, int32_t code, ErrCode* e) {
  const char* name;
  int32_t length;
  if (*e || (*e = FindVariableSlot(block->NameArea(), code, &name, &length))) return;
  text->Add(name, length);
}

// "function (a,b,...)=_d_; a='_undef'; ... " followed by the script.
ErrCode BuildWrapper(KVContextBlock* block, const WrapperOutputs& outputs, const char* script,
                     int32_t length, TextBuffer* text) {
  const bool startOutputs = outputs.hasStartOutputs;
  const int32_t* codes = outputs.codes;
  const int32_t count = outputs.count;
  ErrCode e = kOk;
  text->Add("function (");
  for (int32_t i = 0; i < count; i++) {
    if (i) text->Add(",");
    AddName(block, text, codes[i], &e);
  }
  if (!startOutputs) {
    for (const Setting& s : kSettings) {
      if (count || &s != kSettings) text->Add(",");
      text->Add(s.name);
    }
  }
  text->Add(")=");
  text->Add(kWrapperName);
  text->Add("; ");
  for (int32_t i = 0; i < count; i++) {
    AddName(block, text, codes[i], &e);
    text->Add("='");
    text->Add(kUndefined);
    text->Add("'; ");
  }
  if (!startOutputs) {
    for (const Setting& s : kSettings) {
      text->Add(s.name);
      text->Add("=");
      text->Add(s.initial);
      text->Add(";");
    }
    text->Add(" ");
  }
  text->Add(script, length);
  text->Add("\n");
  if (e) return e;
  return text->Full() ? ErrCode{kKvExhaustedRsrc} : ErrCode{kOk};
}

// Read without changing the value (GetStringArg narrows it in place).
bool IsUndefinedMarker(EngineContext* ctx, int32_t depth) {
  char text[sizeof kUndefined];
  int32_t length;
  return IsCharArray(ctx, depth) &&
         GetStringArgToBuffer(ctx, depth, text, sizeof text, &length) == kOk &&
         length == static_cast<int32_t>(sizeof kUndefined - 1) &&
         std::memcmp(text, kUndefined, sizeof kUndefined - 1) == 0;
}

bool IsEmptyValue(EngineContext* ctx, int32_t depth) {
  if (IsListValue(ctx, depth)) {
    StructuredParts parts;
    return GetListParts(ctx, depth, &parts) == kOk && parts.elements == 0;
  }
  Shape shape;
  return GetValueShape(ctx, depth, &shape) == kOk && shape.count == 0;
}

// Makes room in the undo buffer for the top `count` results that the script
// did not leave alone.
ErrCode ReserveResultRoom(KVContextBlock* block, int32_t id, int32_t count) {
  EngineContext* ctx = block->Engine();
  uint64_t units = 0;
  for (int32_t i = 0; i < count; i++)
    if (!IsUndefinedMarker(ctx, i)) units += static_cast<uint32_t>(GetEntryWordCount(ctx, i)) + 1;
  return ReserveUndoRoom(block->UndoArea(), id, 0, units);
}

// Stores the top `count` results in the variables, output 1 (on top) in the
// first; results the script left alone are dropped. Room for all of them is
// made first; a store that finds none all the same grows the block and the
// storing goes on from the result it stopped at.
ErrCode StoreResults(KVContextBlock** slot, int32_t id, const int32_t* codes, int32_t count) {
  int32_t next = 0;
  for (;;) {
    ErrCode e = next == 0 ? ReserveResultRoom(*slot, id, count) : kOk;
    while (!e && next < count) {
      EngineContext* ctx = (*slot)->Engine();
      e = IsUndefinedMarker(ctx, 0) ? Drop(ctx) : StoreUndoValue(*slot, id, 0, codes[next]);
      if (!e) next++;
    }
    if (!e || !IsMemoryCode(e) || !ExpandMemory(slot, e)) return e;
  }
}

// Calls a native (or function) by name on the top `inputs` entries for its
// effect; whatever it leaves is dropped. It is called on a copy of them: a
// call short of room, whatever it took of its copy, runs again on the
// inputs as given once the block has grown (the settings come after the
// script's run, which is not made again).
ErrCode CallForEffect(KVContextBlock** slot, const char* name, int32_t scope, int32_t inputs) {
  const int32_t base = GetFrameEntryCount((*slot)->Engine()) - inputs;
  ErrCode e;
  for (;;) {
    EngineContext* ctx = (*slot)->Engine();
    e = DuplicateStackEntries(ctx, 0, inputs);
    if (!e) {
      e = CallFunctionByName(ctx, name, static_cast<int32_t>(std::strlen(name)), scope, inputs, 0);
      if (e == kStatusSuspended) e = RunEngineCode(slot, ExecuteBytecode(ctx, 0), false, false);
    }
    ctx = (*slot)->Engine();
    const int32_t left = GetFrameEntryCount(ctx) - base - inputs;
    if (left > 0) Drop(ctx, left);
    if (!IsMemoryCode(e) || !ExpandMemory(slot, e)) break;
  }
  EngineContext* ctx = (*slot)->Engine();
  const int32_t left = GetFrameEntryCount(ctx) - base;
  if (left > 0) Drop(ctx, left);
  return e;
}

// The settings on top (_plots topmost) handed to their natives in order;
// settings the script left empty are dropped.
ErrCode ApplySettings(KVContextBlock** slot, int32_t scope) {
  ErrCode first = kOk;
  for (int32_t i = 0; i < kSettingCount;) {
    EngineContext* ctx = (*slot)->Engine();
    int32_t values = 1;
    while (i + values < kSettingCount && !kSettings[i + values].native) values++;
    bool empty = true;
    for (int32_t k = 0; k < values; k++) empty = empty && IsEmptyValue(ctx, k);
    // Arguments in order: the first value deepest.
    if (values > 1) ReverseStackEntries(ctx, values);
    ErrCode e = empty ? Drop(ctx, values) : CallForEffect(slot, kSettings[i].native, scope, values);
    if (e && !first) first = e;
    i += values;
  }
  return first;
}

// Runs the kind-9 function on the wrapper's results ("_undef" given as [])
// and stores its outputs as a handler's.
ErrCode RunStartOutputs(KVContextBlock** slot, int32_t id, const WrapperOutputs& outputs,
                        int32_t scope, uint8_t entry, bool* final) {
  KVContextBlock* block = *slot;
  EngineContext* ctx = block->Engine();
  DescriptorCodes codes = outputs.startOutputs;
  const auto inputs = static_cast<int32_t>(codes.Inputs());
  for (int32_t d = 0; d < inputs; d++) {
    if (!IsUndefinedMarker(ctx, d)) continue;
    if (ErrCode e = PushEmptyMatrix(ctx)) return e;
    if (ErrCode e = ReplaceEntryWithTop(ctx, d + 1)) return e;
  }
  if (codes.Function() >= 0) {
    const char* slotName;
    int32_t length;
    if (ErrCode e = FindVariableSlot(block->NameArea(), codes.Function(), &slotName, &length))
      return e;
    char name[kNameSlotChars + 1] = {};
    std::memcpy(name, slotName, static_cast<size_t>(length));
    const auto results = static_cast<int32_t>(codes.Outputs());
    if (ErrCode e = RunEngineCode(
            slot, RunCompiledFunction(ctx, name, scope, inputs, results, entry, 0), false, false))
      return e;
    if (!codes.Read(*slot, outputs.start, outputs.startOffset)) return kKvUndefElement;
  } else if (codes.Outputs() > codes.Inputs()) {
    return kErrTooManyArgout;
  }
  *final = true;
  HandlerRequest r;
  r.instance = id;
  r.descriptor = outputs.startOffset;
  r.kind = kElemStartOutputs;
  return StoreOutputsGrowing(slot, r, outputs.start, &codes);
}

// The wrapper's run and the storing of its results; *final once its code
// (and that of the start-up output element) has run to its end: what comes
// after is not made again.
ErrCode RunWrapper(KVContextBlock** slot, int32_t id, bool* final) {
  KVContextBlock* block = *slot;
  EngineContext* ctx = block->Engine();
  const InstanceRecord* record = FindInstance(block, id);
  if (!record) return kKvNonexistentInstance;
  const auto scope = static_cast<int32_t>(GetInstanceHeaderWord(block, id));
  if (FindFunction(ctx, kWrapperName, kWrapperNameLength, nullptr, 0, scope, true, nullptr) < 0)
    return kOk;
  WrapperOutputs outputs;
  if (ErrCode e = CollectOutputs(block, id, &outputs)) return e;
  const uint8_t entry = record->entryOption;
  if (ErrCode e = RunEngineCode(
          slot, RunCompiledFunction(ctx, kWrapperName, scope, 0, outputs.Outputs(), entry, 0),
          false, false))
    return e;
  if (outputs.hasStartOutputs) return RunStartOutputs(slot, id, outputs, scope, entry, final);
  *final = true;
  if (ErrCode e = StoreResults(slot, id, outputs.codes, outputs.count)) return e;
  return ApplySettings(slot, scope);
}

}  // namespace

ErrCode CompileHandlerWrapper(KVContextBlock** slot, int32_t id, const char* text, int32_t length) {
  KVContextBlock* block = *slot;
  // An earlier Reset Data compiled the wrapper of the same script.
  const auto scope = static_cast<int32_t>(GetInstanceHeaderWord(block, id));
  const int32_t compiled = FindFunction(block->Engine(), kWrapperName, kWrapperNameLength, nullptr,
                                        0, scope, false, nullptr);
  if (compiled >= 0 && GetFunctionEntry(block->Engine(), compiled)->code > 0)
    return CompileStartupScript(slot, id);
  if (length < 0) return kKvExhaustedRsrc;
  // The text may lie in the element list, which moves when the block grows
  // for the wrapper or its code.
  const std::string script(text, static_cast<size_t>(length));
  const ErrCode e = RunWithGrowth(slot, [&](KVContextBlock* b) -> ErrCode {
    const int64_t used = 4 * int64_t{b->elementWords};
    const int64_t free = int64_t{b->elementBytes} - used;
    WrapperOutputs outputs;
    if (ErrCode c = CollectOutputs(b, id, &outputs)) return c;
    if (free < int64_t{length} + kWrapperReserve) return kKvExhaustedRsrc;
    TextBuffer source(reinterpret_cast<char*>(b->ElementArea() + used), free);
    if (ErrCode c = BuildWrapper(b, outputs, script.data(), length, &source)) return c;
    int32_t index;
    return CompileSourceText(b->Engine(), source.Text(), source.Length(), scope, &index);
  });
  return e ? e : CompileStartupScript(slot, id);
}

ErrCode CompileStartupScript(KVContextBlock** slot, int32_t id) {
  if ((*slot)->handlerBusy) return kStatusNoPrint;
  const int32_t base = GetFrameEntryCount((*slot)->Engine());
  (*slot)->handlerBusy = 1;
  // An instruction short of room waits while the block grows, as in a
  // handler. A run whose call found no room for its frame, or whose
  // instruction could not wait, is made again in the grown block, its
  // message dropped, until its code has run to its end.
  const ErrCode e = RunAttemptsGrowing(slot, id, true, [&](bool* final) {
    EngineContext* ctx = (*slot)->Engine();
    SavedCodePointer before;
    SaveCodePointer(ctx, &before);
    SetCurrentInstanceContext(&(*slot)->nativeCall, static_cast<uint32_t>(id), 0);
    const bool retry = ctx->memoryRetry != 0;
    SetMemoryRetry(ctx, true);
    const ErrCode rc = RunWrapper(slot, id, final);
    ctx = (*slot)->Engine();
    SetMemoryRetry(ctx, retry);
    if (rc) AbandonRun(ctx, rc, before);
    const int32_t left = GetFrameEntryCount(ctx) - base;
    if (left > 0) Drop(ctx, left);
    return rc;
  });
  (*slot)->nativeCall.instanceId = 0;
  (*slot)->handlerBusy = 0;
  return e;
}

}  // namespace vke
