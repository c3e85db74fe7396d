// The wrapper function of an older KV file's start-up script, and its run.
#include "app/startup_script.hpp"

#include <cstring>

#include "app/element_list.hpp"
#include "app/handler_runner_internal.hpp"
#include "app/instances.hpp"
#include "app/name_buffer.hpp"
#include "app/undo_buffer.hpp"
#include "app/undo_values.hpp"
#include "compiler/compile.hpp"
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/loop/loop.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr char kWrapperName[] = "_d_";
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
  int32_t codes[kMaxWrapperOutputs];
  int32_t count = 0;

  const DescriptorCodes* StartOutputs() const { return hasStartOutputs ? &startOutputs : nullptr; }
  int32_t Outputs() const { return count + (hasStartOutputs ? 0 : kSettingCount); }
};

ErrCode CollectOutputs(KVContextBlock* block, int32_t id, WrapperOutputs* out) {
  uint32_t start;
  if (FindInstanceStart(block, id, &start)) return kKvNonexistentInstance;
  int32_t at = -1;
  out->hasStartOutputs = FindElement(block, id, &at, kElemStartOutputs) == kOk &&
                         out->startOutputs.Read(block, start, at + 2 - static_cast<int32_t>(start));
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

bool IsUndefinedMarker(EngineContext* ctx, int32_t depth) {
  const char* text;
  int32_t length;
  return IsCharArray(ctx, depth) && GetStringArg(ctx, depth, &text, &length) == kOk &&
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

// Stores the top `count` results in the variables, output 1 (on top) in the
// first; results the script left alone are dropped.
ErrCode StoreResults(KVContextBlock* block, int32_t id, const int32_t* codes, int32_t count) {
  EngineContext* ctx = block->Engine();
  for (int32_t i = 0; i < count; i++) {
    if (IsUndefinedMarker(ctx, 0)) {
      Drop(ctx);
    } else if (ErrCode e = StoreUndoValue(block, id, 0, codes[i])) {
      return e;
    }
  }
  return kOk;
}

// Calls a native (or function) by name on the top `inputs` entries for its
// effect; whatever it leaves is dropped.
ErrCode CallForEffect(EngineContext* ctx, const char* name, int32_t scope, int32_t inputs) {
  const int32_t base = GetFrameEntryCount(ctx) - inputs;
  ErrCode e =
      CallFunctionByName(ctx, name, static_cast<int32_t>(std::strlen(name)), scope, inputs, 0);
  if (e == kStatusSuspended) e = ExecuteBytecode(ctx, 0);
  const int32_t left = GetFrameEntryCount(ctx) - base;
  if (left > 0) Drop(ctx, left);
  return e;
}

// The settings on top (_plots topmost) handed to their natives in order;
// settings the script left empty are dropped.
ErrCode ApplySettings(EngineContext* ctx, int32_t scope) {
  ErrCode first = kOk;
  for (int32_t i = 0; i < kSettingCount;) {
    int32_t values = 1;
    while (i + values < kSettingCount && !kSettings[i + values].native) values++;
    bool empty = true;
    for (int32_t k = 0; k < values; k++) empty = empty && IsEmptyValue(ctx, k);
    // Arguments in order: the first value deepest.
    if (values > 1) ReverseStackEntries(ctx, values);
    ErrCode e = empty ? Drop(ctx, values) : CallForEffect(ctx, kSettings[i].native, scope, values);
    if (e && !first) first = e;
    i += values;
  }
  return first;
}

// Runs the kind-9 function on the wrapper's results ("_undef" given as [])
// and stores its outputs as a handler's.
ErrCode RunStartOutputs(KVContextBlock* block, int32_t id, const DescriptorCodes& codes,
                        int32_t scope, uint8_t entry) {
  EngineContext* ctx = block->Engine();
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
    if (ErrCode e = RunCompiledFunction(ctx, name, scope, inputs,
                                        static_cast<int32_t>(codes.Outputs()), entry, 0))
      return e;
  } else if (codes.Outputs() > codes.Inputs()) {
    return kErrTooManyArgout;
  }
  HandlerRequest r;
  r.instance = id;
  r.kind = kElemStartOutputs;
  return StoreHandlerOutputs(block, r, codes);
}

ErrCode RunWrapper(KVContextBlock* block, int32_t id) {
  EngineContext* ctx = block->Engine();
  const InstanceRecord* record = FindInstance(block, id);
  if (!record) return kKvNonexistentInstance;
  const auto scope = static_cast<int32_t>(GetInstanceHeaderWord(block, id));
  if (FindFunction(ctx, kWrapperName, sizeof kWrapperName - 1, nullptr, 0, scope, true, nullptr) <
      0)
    return kOk;
  WrapperOutputs outputs;
  if (ErrCode e = CollectOutputs(block, id, &outputs)) return e;
  if (ErrCode e = RunCompiledFunction(ctx, kWrapperName, scope, 0, outputs.Outputs(),
                                      record->entryOption, 0))
    return e;
  if (outputs.hasStartOutputs)
    return RunStartOutputs(block, id, outputs.startOutputs, scope, record->entryOption);
  if (ErrCode e = StoreResults(block, id, outputs.codes, outputs.count)) return e;
  return ApplySettings(ctx, scope);
}

}  // namespace

ErrCode CompileHandlerWrapper(KVContextBlock** slot, int32_t id, const char* text, int32_t length) {
  KVContextBlock* block = *slot;
  // An earlier Reset Data compiled the wrapper of the same script.
  const auto scope = static_cast<int32_t>(GetInstanceHeaderWord(block, id));
  const int32_t compiled = FindFunction(block->Engine(), kWrapperName, sizeof kWrapperName - 1,
                                        nullptr, 0, scope, false, nullptr);
  if (compiled >= 0 && GetFunctionEntry(block->Engine(), compiled)->code > 0)
    return CompileStartupScript(slot, id);
  const int64_t used = 4 * int64_t{block->elementWords};
  const int64_t free = int64_t{block->elementBytes} - used;
  WrapperOutputs outputs;
  if (ErrCode e = CollectOutputs(block, id, &outputs)) return e;
  if (length < 0 || free < int64_t{length} + kWrapperReserve) return kKvExhaustedRsrc;
  TextBuffer source(reinterpret_cast<char*>(block->ElementArea() + used), free);
  if (ErrCode e = BuildWrapper(block, outputs, text, length, &source)) return e;
  int32_t index;
  if (ErrCode e = CompileSourceText(block->Engine(), source.Text(), source.Length(), scope, &index))
    return e;
  return CompileStartupScript(slot, id);
}

ErrCode CompileStartupScript(KVContextBlock** slot, int32_t id) {
  KVContextBlock* block = *slot;
  if (block->handlerBusy) return kStatusNoPrint;
  EngineContext* ctx = block->Engine();
  const int32_t base = GetFrameEntryCount(ctx);
  SavedCodePointer before;
  SaveCodePointer(ctx, &before);
  block->handlerBusy = 1;
  SetCurrentInstanceContext(&block->nativeCall, static_cast<uint32_t>(id), 0);
  const ErrCode e = RunWrapper(block, id);
  if (e) AbandonRun(ctx, e, before);
  const int32_t left = GetFrameEntryCount(ctx) - base;
  if (left > 0) Drop(ctx, left);
  block->nativeCall.instanceId = 0;
  block->handlerBusy = 0;
  return e;
}

}  // namespace vke
