// Inline function values: the builtin inline that builds and compiles one
// from an expression text, reading function values off the stack, and
// calling an inline function.
#include "builtins/builtin.hpp"
#include "compiler/compile_calls.hpp"
#include "compiler/compile_memory.hpp"
#include "compiler/lexer_helpers.hpp"
#include "engine/code/function_ref.hpp"
#include "engine/frames/frames.hpp"
#include "engine/room_requests.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr int32_t kInlineFunction = -2;  // function index of inline code
constexpr int32_t kMaxParameters = 64;

// The parts of the inline value at the depth.
struct InlineParts {
  const uint16_t* text;
  int32_t textLength;
  const uint8_t* second;
  int32_t secondLength;
  const uint8_t* block;
  int32_t blockUnits;
  int32_t namesLength;      // the parameter names before the 0 byte
  const uint8_t* captured;  // the captured list item, null when none
};

ErrCode ReadInlineParts(EngineContext* ctx, int32_t depth, InlineParts* p) {
  ErrCode e = GetInlineFunctionParts(ctx, depth, &p->text, &p->textLength, &p->second,
                                     &p->secondLength, &p->block, &p->blockUnits);
  if (e || !p->block) return kErrWrongTypeOverload;
  const auto* nul =
      static_cast<const uint8_t*>(std::memchr(p->second, 0, static_cast<size_t>(p->secondLength)));
  p->namesLength = nul ? static_cast<int32_t>(nul - p->second) : p->secondLength;
  p->captured = nul && nul + 1 + 16 <= p->second + p->secondLength ? nul + 1 : nullptr;
  return kOk;
}

// Appends text to the source being built.
struct SourceBuilder {
  char* out;
  int32_t capacity;
  int32_t length = 0;
  void Add(const char* s, int32_t n) {
    if (length + n <= capacity) std::memcpy(out + length, s, n);
    length += n;
  }
  void Add(const char* s) { Add(s, static_cast<int32_t>(std::strlen(s))); }
};

// "name(args)" at the whole expression: its name and argument text.
bool SplitCall(const char* s, int32_t n, int32_t* nameEnd, int32_t* argsStart, int32_t* argsEnd) {
  int32_t p = 0;
  while (p < n && s[p] == ' ') p++;
  if (p >= n || !IsNameStart(s[p])) return false;
  p += NameSpan(s, n, p);
  if (p + 1 < n && s[p] == ':' && s[p + 1] == ':') p += 2 + NameSpan(s, n, p + 2);
  *nameEnd = p;
  int32_t end = n;
  while (end > p && s[end - 1] == ' ') end--;
  while (p < end && s[p] == ' ') p++;
  if (p == end) {
    *argsStart = *argsEnd = end;
    return true;
  }
  if (s[p] != '(' || s[end - 1] != ')') return false;
  *argsStart = p + 1;
  *argsEnd = end - 1;
  return true;
}

// Moves the function value that lies right under the current frame into the
// frame, as its first entry.
void MoveValueIntoFrame(EngineContext* ctx) {
  const int32_t f = ctx->curFrame;
  uint32_t* words = ctx->DescWords();
  const uint32_t fixed = FrameFixedWords(words + f);
  uint32_t descriptor[3];
  std::memcpy(descriptor, words + f - 3, 12);
  std::memmove(words + f - 3, words + f, 4ull * fixed);
  std::memcpy(words + f - 3 + fixed, descriptor, 12);
  ctx->curFrame = f - 3;
  uint32_t* w = FrameWords(ctx, ctx->curFrame);
  if (static_cast<int32_t>(w[kFwBackLink]) > 0) w[kFwBackLink] -= 3;
}

}  // namespace

ErrCode ReadFunctionValue(EngineContext* ctx, int32_t depth, int32_t scope, FunctionValue* out) {
  *out = FunctionValue{};
  const ValueDescriptor* d = DescAt(ctx, depth);
  if (IsTypedKind(*d, kKindInline) && !IsStructured(*d)) {
    InlineParts p;
    if (ErrCode e = ReadInlineParts(ctx, depth, &p)) return e;
    out->isInline = true;
    out->header = ReadFunctionHeader(p.block);
    out->captured = p.captured != nullptr;
    return kOk;
  }
  if (IsTypedKind(*d, kKindFuncRef) && !IsStructured(*d)) {
    const uint8_t* data = DataAt(ctx, depth);
    const char* bytes;
    int32_t length;
    GetStringData(data, &bytes, &length);
    if (length > kMaxNameWithLibrary) return kErrUndefFun;
    if (length == 0) return kErrNullName;
    std::memcpy(out->buffer, bytes, length);
    out->isReference = true;
    out->name = out->buffer;
    out->length = length;
    out->scope = static_cast<int16_t>(Load<uint16_t>(data + 2));
    if (out->scope < 0) out->scope = 0;
    return kOk;
  }
  int32_t length;
  ErrCode e = GetStringArgToBuffer(ctx, depth, out->buffer, sizeof out->buffer, &length);
  if (e == kErrObjTooLarge) return kErrNameTooLong;
  if (e) return kErrWrongTypeOverload;
  if (length == 0) return kErrNullName;
  out->name = out->buffer;
  out->length = length;
  out->scope = scope;
  return kOk;
}

ErrCode CallInlineFunction(EngineContext* ctx, int32_t inputs, int32_t outputs, bool callBack) {
  InlineParts p;
  if (ErrCode e = ReadInlineParts(ctx, inputs, &p)) return e;
  if (p.captured) {
    // The captured values go in as the first input.
    const ValueDescriptor item = Load<ValueDescriptor>(p.captured);
    const size_t offset = static_cast<size_t>(p.captured - ctx->DataBytes());
    uint8_t* data;
    if (ErrCode e = PushEntry(ctx, item.flags, item.size, item.word, false, &data)) return e;
    std::memmove(data, ctx->DataBytes() + offset + 16, 8ull * item.size);
    if (ErrCode e = RollStackEntries(ctx, inputs + 1, inputs)) return e;
    inputs++;
  }
  CallInfo info;
  info.returnTo = {ctx->cpKind, ctx->cpOffset};
  info.scope = CurrentScope(ctx);
  info.callBack = callBack;
  if (ErrCode e = CallCompiledFunction(ctx, info, kCallInline, inputs, outputs)) {
    if (p.captured) DropStackEntries(ctx, inputs - 1, 1);
    return e;
  }
  MoveValueIntoFrame(ctx);
  return kOk;
}

ErrCode InlineBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  if (nargin < 1) return kErrTooFewArgin;
  // The arguments: the expression, parameter names, the captured list, true.
  int32_t names[kMaxParameters];
  int32_t nameCount = 0, captured = -1;
  bool multiOutput = false;
  if (!IsCharArray(ctx, nargin - 1)) return kErrWrongTypeOverload;
  for (int32_t depth = nargin - 2; depth >= 0; depth--) {
    const ValueDescriptor* d = DescAt(ctx, depth);
    if (IsCharArray(ctx, depth)) {
      if (nameCount >= kMaxParameters) return kErrTooManyArgin;
      names[nameCount++] = depth;
    } else if (IsStructured(*d) && d->word == kKindList && captured < 0) {
      captured = depth;
    } else {
      uint8_t truth;
      if (GetBooleanArg(ctx, depth, &truth)) return kErrWrongTypeOverload;
      multiOutput = truth != 0;
    }
  }
  WithheldSpace withheld(ctx);
  Scratch scratch;
  if (ErrCode e = withheld.TakeScratch(&scratch)) return e;
  // The value's image: expression text, names and captured item, block.
  const NumericView expr = ViewNumeric(ctx, nargin - 1);
  const int32_t textLength = expr.shape.count;
  uint32_t capturedBytes = 0;
  if (captured >= 0) capturedBytes = 16 + 8 * DescAt(ctx, captured)->size;
  char nameText[kMaxParameters * 34 + 2];
  int32_t namesLength = 0;
  for (int32_t i = 0; i < nameCount; i++) {
    char name[kMaxIdentifierLength + 1];
    int32_t length;
    if (GetStringArgToBuffer(ctx, names[i], name, sizeof name, &length) || length == 0 ||
        NameSpan(name, length, 0) != length || !IsNameStart(name[0]))
      return kErrBadArg;
    if (i) nameText[namesLength++] = ',';
    std::memcpy(nameText + namesLength, name, length);
    namesLength += length;
  }
  if (nameCount == 0) nameText[namesLength++] = 'x';
  const uint32_t secondLength = static_cast<uint32_t>(namesLength) + 1 + capturedBytes;
  const uint32_t l2Offset = 2 + 2u * static_cast<uint32_t>(textLength);
  const uint32_t restAt = (l2Offset + secondLength + 9) & ~7u;
  auto* image = static_cast<uint8_t*>(scratch.Take(restAt));
  char* source = static_cast<char*>(
      scratch.Take(static_cast<uint32_t>(3 * textLength + 400 + 2 * namesLength)));
  if (!image || !source || textLength > 0xFFFF || secondLength > 0xFFFF) return kErrCompOutOfMemory;
  std::memset(image, 0, restAt);
  Store<uint16_t>(image, static_cast<uint16_t>(textLength));
  std::memcpy(image + 2, expr.elements, 2ull * textLength);
  Store<uint16_t>(image + l2Offset, static_cast<uint16_t>(secondLength));
  std::memcpy(image + l2Offset + 2, nameText, namesLength);
  if (captured >= 0) {
    uint8_t* item = image + l2Offset + 2 + namesLength + 1;
    Store(item, *DescAt(ctx, captured));
    std::memcpy(item + 16, DataAt(ctx, captured), capturedBytes - 16);
  }

  // The expression as bytes (characters above 255 cannot be source text).
  char* flat = static_cast<char*>(scratch.Take(static_cast<uint32_t>(textLength) + 1));
  if (!flat) return kErrCompOutOfMemory;
  for (int32_t i = 0; i < textLength; i++) {
    const uint16_t ch = Load<uint16_t>(expr.elements + 2 * i);
    flat[i] = ch < 256 ? static_cast<char>(ch) : '?';
  }
  int32_t nameEnd, argsStart, argsEnd;
  const bool call = SplitCall(flat, textLength, &nameEnd, &argsStart, &argsEnd);
  // The function's source text: one output; several, taken from a call
  // (asked for one when called as a statement, so that a callee without
  // outputs gives nothing); or only through apply, for a call that cannot
  // give a value.
  enum class Form { kOne, kSeveral, kApply };
  const int32_t sourceCapacity = static_cast<int32_t>(3 * textLength + 400 + 2 * namesLength);
  auto build = [&](Form form, int32_t* length) -> ErrCode {
    SourceBuilder b{source, sourceCapacity};
    b.Add(form == Form::kOne ? "function y=f(" : "function varargout=f(");
    if (captured >= 0) b.Add(nameCount ? "_," : "_,x");
    if (captured < 0 || nameCount) b.Add(nameText, namesLength);
    b.Add(")\n");
    if (captured >= 0) {
      // Each captured name k is item 2k - 1 of the list, its value item 2k.
      StructuredParts parts;
      if (GetListParts(ctx, captured, &parts)) return kErrBadArg;
      const uint8_t* item = parts.first;
      for (int32_t k = 0; k + 1 < parts.elements; k += 2) {
        const ValueDescriptor nd = Load<ValueDescriptor>(item);
        const uint8_t* nameData = item + 16;
        if (!IsTyped(nd) || nd.word != kKindChar) return kErrBadArg;
        const int32_t length = static_cast<int32_t>(HeaderDim(nameData, 1)) *
                               static_cast<int32_t>(HeaderDim(nameData, 0));
        const uint8_t* chars = HeaderElements(const_cast<uint8_t*>(nameData));
        for (int32_t i = 0; i < length && i < kMaxIdentifierLength; i++) {
          char c = static_cast<char>(chars[2 * i]);
          b.Add(&c, 1);
        }
        char index[32];
        b.Add(index, std::snprintf(index, sizeof index, "=_{%d};\n", k + 2));
        item += ItemBytes(item);
        item += ItemBytes(item);
      }
    }
    auto applyCall = [&](const char* outputs) {
      b.Add("varargout=apply(@");
      b.Add(flat, nameEnd);
      b.Add(",{");
      b.Add(flat + argsStart, argsEnd - argsStart);
      b.Add("},");
      b.Add(outputs);
      b.Add(");");
    };
    if (form == Form::kOne) {
      b.Add("y=");
      b.Add(flat, textLength);
      b.Add(";\n");
    } else if (form == Form::kApply) {
      applyCall("nargout");
      b.Add("\n");
    } else if (call) {
      // One output without the call by name; none or several through apply.
      b.Add("if nargout<1,");
      applyCall("1");
      b.Add("elseif nargout<2,varargout={");
      b.Add(flat, textLength);
      b.Add("};else,");
      applyCall("nargout");
      b.Add("end\n");
    } else {
      b.Add("varargout={");
      b.Add(flat, textLength);
      b.Add("};\n");
    }
    *length = b.length;
    return b.length > b.capacity ? kErrCompOutOfMemory : kOk;
  };

  // Compiled behind the image, on the boundary the value's layout gives it.
  const uint32_t blockRoom = scratch.Free() / 2 & ~7u;
  auto* block = static_cast<int16_t*>(scratch.Take(blockRoom));
  if (!block) return kErrCompOutOfMemory;
  CompileRequest request;
  request.text = source;
  request.function = kInlineFunction;
  request.scope = CurrentScope(ctx);
  request.baseEntries = 1;
  CompiledBlock compiled;
  const uint32_t mark = scratch.Used();
  auto compile = [&](Form form) {
    ErrCode e = build(form, &request.length);
    if (!e) scratch.Release(mark);
    return e ? e
             : CompileFunction(ctx, request, block, static_cast<int32_t>(blockRoom / 2), false,
                               &scratch, &compiled);
  };
  ErrCode e = compile(multiOutput ? Form::kSeveral : Form::kOne);
  // A call that gives no value (disp(x)) still makes a function, one that
  // gives what its callee gives.
  if (e == kErrIncorrectNargout && call) e = compile(Form::kApply);
  if (e) return e;
  const uint32_t blockBytes = 2u * static_cast<uint32_t>(compiled.words);
  const uint32_t total = restAt + ((blockBytes + 7) & ~7u);
  // The image and the block are joined where the value is pushed. Its room
  // is tested while the arguments still stand: a shortage then leaves them
  // as they were and the call runs again once the area has grown; behind
  // the test the push cannot run short, the arguments' room freed first.
  withheld.Release();
  if (ErrCode e = CheckRoomToPush(ctx, (total + 7) / 8, false)) return e;
  const RoomRequestsPaused tested;
  if (ErrCode e = Drop(ctx, nargin)) return e;
  void* data;
  if (ErrCode e = PushTypedEntry(ctx, kKindInline, total, &data)) return e;
  auto* out = static_cast<uint8_t*>(data);
  std::memmove(out, image, restAt);
  std::memmove(out + restAt, block, blockBytes);
  return kOk;
}

}  // namespace vke
