// dialog: a prompt the user answers yes or no, or values the
// user edits as the source text that writes them. The window is the host's
// (its AskInput callback); an edited text that does not give as many values
// as were given is shown again, and a cancel ends the handler (402) unless
// the first output asks for the answer. An answer whose values find no room
// is kept for the call, which runs again once the area has grown without
// asking the user again.
#include <cstring>
#include <string>

#include "app/errors.hpp"
#include "app/instances.hpp"
#include "app/natives/app_natives.hpp"
#include "app/natives/host_text.hpp"
#include "app/natives/native_context.hpp"
#include "compiler/compile_memory.hpp"
#include "compiler/value_list.hpp"
#include "engine/memory_retry.hpp"
#include "engine/registry/option_tables.hpp"
#include "engine/text/dump.hpp"
#include "engine/text/text.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// The texts handed to the host: title and prompt in bytes, the values'
// source text in 16-bit characters and then encoded (3 bytes a character).
constexpr int32_t kTitleBytes = 256;
constexpr int32_t kPromptBytes = 2048;
constexpr int32_t kEditChars = 1023;
constexpr int32_t kEditBytes = 3 * kEditChars;
// Values are written while the text is shorter than the first bound; past
// the second, "..." tells that it was cut.
constexpr int32_t kStopWriting = kEditChars - 50;
constexpr int32_t kMarkCut = kEditChars - 30;
constexpr int32_t kDefaultPrecision = 15;
constexpr char kCut[] = "...";
// Free data stack the edited text needs to be compiled and run; checked
// before the dialog shows, so that a block too small grows (and the handler
// runs again) before the user has answered anything.
constexpr uint32_t kRoomToEvaluate = 32768;  // bytes

struct DialogTexts {
  char* title;
  int32_t titleLength = 0;
  char* prompt;
  int32_t promptLength = 0;
  char* edit;
  int32_t precision = kDefaultPrecision;
};

// The named text option of the options structure at the depth.
ErrCode ReadTextOption(EngineContext* ctx, int32_t depth, const char* name, char* out, int32_t size,
                       int32_t* length) {
  if (ErrCode e = GetOptionsArg(ctx, depth, name, kDialogsetTable)) return e;
  ErrCode e = IsCharArray(ctx, 0) ? EncodeTextArg(ctx, 0, out, size, length) : kOk;
  const ErrCode dropped = Drop(ctx);
  return e ? e : dropped;
}

// The prompt text, or the options structure's Prompt, Title and NPrec.
ErrCode ReadFirstArgument(EngineContext* ctx, int32_t depth, DialogTexts* t) {
  if (!IsStructValue(ctx, depth))
    return EncodeTextArg(ctx, depth, t->prompt, kPromptBytes, &t->promptLength);
  double precision;
  if (ErrCode e =
          GetOptionField(ctx, depth, "NPrec", kDialogsetTable, kDefaultPrecision, &precision))
    return e;
  t->precision = static_cast<int32_t>(precision);
  if (ErrCode e = ReadTextOption(ctx, depth, "Title", t->title, kTitleBytes, &t->titleLength))
    return e;
  return ReadTextOption(ctx, depth, "Prompt", t->prompt, kPromptBytes, &t->promptLength);
}

// The m values under the top as their source text, separated by ",", each
// number with NPrec significant digits; encoded into t->edit, its length in
// *length.
ErrCode WriteValues(EngineContext* ctx, int32_t m, DialogTexts* t, int32_t* length) {
  WithheldSpace withheld(ctx);
  auto* values = reinterpret_cast<uint16_t*>(withheld.Data(2 * (kEditChars + 1)));
  if (!values) return kErrDataOverflow;
  int32_t position = 0;
  bool cut = false;
  for (int32_t i = 0; i < m && !cut; i++) {
    if (position >= kStopWriting) {
      cut = true;
      break;
    }
    if (i > 0) values[position++] = ',';
    if (ErrCode e = DuplicateStackEntries(ctx, m - 1 - i, 1)) return e;
    ErrCode e = DumpValueRounded(ctx, values, kMarkCut, &position, t->precision);
    Drop(ctx);
    if (e == kErrDataOverflow) {
      cut = true;
    } else if (e) {
      return e;
    }
  }
  if (cut || position >= kMarkCut)
    for (const char* c = kCut; *c; c++) values[position++] = static_cast<uint16_t>(*c);
  EncodeOutputText(ctx, kLineEndLF, values, position, reinterpret_cast<uint8_t*>(t->edit),
                   kEditBytes, length);
  return kOk;
}

// The outputs of a dialog the user cancelled (or that no host can show):
// with as many outputs as values the handler ends (402); with one more, the
// first is false and the others empty.
ErrCode RefusedOutputs(EngineContext* ctx, int32_t m, int32_t outputs, bool statement) {
  if (outputs == m && m >= 1) return kStatusNoPrint;
  if (statement) return PushNoValue(ctx);
  if (outputs == 0) return kOk;
  for (int32_t i = 1; i < outputs; i++)
    if (ErrCode e = PushEmptyMatrix(ctx)) return e;
  return PushLogicalScalar(ctx, 0);
}

// The current instance's idle processing rests while the dialog is shown.
class IdlePause {
 public:
  explicit IdlePause(uintptr_t user) {
    if (FindCurrentInstance(user, &current_) == kOk && current_.record->idleState == kIdleOn) {
      current_.record->idleState = kIdleOff;
      paused_ = true;
    }
  }
  ~IdlePause() {
    if (!paused_) return;
    InstanceRecord* r = FindInstance(current_.block, current_.id);
    if (r) r->idleState = kIdleOn;
  }
  IdlePause(const IdlePause&) = delete;
  IdlePause& operator=(const IdlePause&) = delete;

 private:
  CurrentInstance current_;
  bool paused_ = false;
};

// The answer the user gave (the edited text) whose values found no room,
// and the mark its call keeps (KeepRerunProgress) to find it: the call, run
// again once the area has grown, evaluates it without asking again.
struct KeptAnswer {
  int64_t mark = 0;
  std::string text;
};
KeptAnswer g_kept;
int64_t g_lastMark = 0;

// An answer accepted and not yet read as the values asked for.
struct PendingAnswer {
  bool given = false;
  std::string text;
};

ErrCode ShowDialog(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t user,
                   PendingAnswer* answer) {
  const int32_t m = nargin - 1;
  const bool statement = nargout < 0;
  const int32_t outputs = statement ? (nargin == 2 ? 1 : 0) : nargout;
  if (nargin >= 2 && outputs < m) return kErrTooFewArgout;
  if (outputs > nargin) return kErrTooManyArgout;
  KVContextBlock* block = BlockOfNativeUser(user);
  if (!block || !block->askInput) {
    if (ErrCode e = Drop(ctx, nargin)) return e;
    return RefusedOutputs(ctx, m, outputs, statement);
  }
  WithheldSpace withheld(ctx);
  auto* area = reinterpret_cast<char*>(withheld.Data(kTitleBytes + kPromptBytes + kEditBytes));
  if (!area) return kErrDataOverflow;
  // The room of the answer and of the values it gives is asked for before
  // the user is: a shortage there runs the call again after growth, before
  // anything is asked.
  if (ErrCode e = MakeRoomForResult(ctx, kRoomToEvaluate / 8)) return e;
  DialogTexts t;
  t.title = area;
  t.prompt = t.title + kTitleBytes;
  t.edit = t.prompt + kPromptBytes;
  t.title[0] = t.prompt[0] = 0;
  if (ErrCode e = ReadFirstArgument(ctx, m, &t)) return e;
  const AskInputFn ask = block->askInput;
  const uintptr_t argument = block->askInputArg;

  if (m == 0) {
    bool yes;
    {
      IdlePause pause(user);
      NoteDialogAsked(ctx);
      yes = ask(t.title, t.titleLength, t.prompt, t.promptLength, nullptr, 0, nullptr, outputs == 1,
                argument);
    }
    if (ErrCode e = Drop(ctx)) return e;
    if (statement) return PushNoValue(ctx);
    return outputs == 1 ? PushLogicalScalar(ctx, yes ? 1 : 0) : kOk;
  }

  int32_t length = 0;
  if (answer->given) {
    length = static_cast<int32_t>(answer->text.size());
    std::memcpy(t.edit, answer->text.data(), answer->text.size());
  } else if (ErrCode e = WriteValues(ctx, m, &t, &length)) {
    return e;
  }
  IdlePause pause(user);
  for (;;) {
    if (!answer->given) {
      NoteDialogAsked(ctx);
      if (!ask(t.title, t.titleLength, t.prompt, t.promptLength, t.edit, kEditBytes, &length, 1,
               argument)) {
        if (ErrCode e = Drop(ctx, nargin)) return e;
        return RefusedOutputs(ctx, m, outputs, false);
      }
      if (length < 0 || length > kEditBytes) length = 0;
      answer->given = true;
      answer->text.assign(t.edit, static_cast<size_t>(length));
      // The arguments stay as they are while the answer is read: without
      // room it is read again when the call runs again.
      MarkOperandsInPlace(ctx);
    }
    int32_t count = 0;
    const ErrCode e = EvaluateValueList(ctx, t.edit, length, &count);
    if (e == kOk && count == m) break;
    if (e == kOk) Drop(ctx, count);
    // More memory, or the user's break, ends the dialog; a text that gives
    // other values, or none, is shown again.
    if (IsMemoryCode(e) || e == kStatusHalted) return e;
    answer->given = false;
  }
  if (ErrCode e = DropStackEntries(ctx, m, nargin)) return e;
  return outputs == m + 1 ? PushLogicalScalar(ctx, 1) : kOk;
}

}  // namespace

ErrCode DialogNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t user) {
  PendingAnswer answer;
  const int64_t mark = TakeRerunProgress(ctx);
  if (mark != 0 && mark == g_kept.mark) answer = {true, std::move(g_kept.text)};
  g_kept = {};
  const ErrCode e = ShowDialog(ctx, nargin, nargout, user, &answer);
  // Failing for room with its arguments as it found them, the call runs
  // again once the area has grown: the answer given waits for it.
  if (answer.given && IsMemoryCode(e) && !OperandsChanged(ctx)) {
    g_kept = {++g_lastMark, std::move(answer.text)};
    KeepRerunProgress(ctx, g_kept.mark);
  }
  return e;
}

}  // namespace vke
