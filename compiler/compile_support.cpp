// The compiler's working tools: the code writer, the variable table and the
// recording of compile errors with their line.
#include <algorithm>
#include <cstring>
#include <functional>

#include "compiler/compile_internal.hpp"
#include "compiler/lexer_helpers.hpp"
#include "engine/code/names.hpp"
#include "engine/engine.hpp"
#include "engine/errors/raise.hpp"
#include "engine/text/text.hpp"

namespace vke {

int32_t ClosingQuote(const char* text, int32_t n, int32_t p) {
  for (p++; p < n; p++) {
    if (text[p] == '\\') {
      p++;
    } else if (text[p] == '\'') {
      if (p + 1 < n && text[p + 1] == '\'')
        p++;
      else
        return p;
    }
  }
  return n;
}

// ---- Code writer ----

ErrCode CodeWriter::Reserve(int32_t n) const {
  int64_t limit = capacity_;
  if (area_) {
    // Up to the lowest stored name, which interning moves down.
    int64_t end = (int64_t{area_->codeSize} * 2 + area_->nameStart) / 2;
    int64_t start = (reinterpret_cast<uint8_t*>(base_) - area_->CodeBytes()) / 2;
    if (end - start < limit) limit = end - start;
  }
  return n >= 0 && pos_ + int64_t{n} <= limit ? kOk : kErrCodeOverflow;
}

ErrCode CodeWriter::Put(std::initializer_list<int16_t> words) {
  return PutWords(words.begin(), static_cast<int32_t>(words.size()));
}

ErrCode CodeWriter::PutWords(const int16_t* words, int32_t n) {
  if (ErrCode e = Reserve(n)) return e;
  std::memcpy(base_ + pos_, words, 2ull * n);
  pos_ += n;
  return kOk;
}

ErrCode CodeWriter::PutDouble(int16_t opcode, double value) {
  int32_t pad = 0;
  while ((reinterpret_cast<uintptr_t>(base_ + pos_ + pad + 1) & 7) != 0) pad++;
  if (ErrCode e = Reserve(pad + 5)) return e;
  for (int32_t i = 0; i < pad; i++) base_[pos_++] = kOpNop;
  base_[pos_] = opcode;
  StoreOperandDouble(base_ + pos_ + 1, value);
  pos_ += 5;
  return kOk;
}

ErrCode CodeWriter::PutText(const uint16_t* chars, int32_t n, bool wide) {
  if (n > 0x7FFF) return kErrExprTooLarge;
  for (int32_t i = 0; i < n && !wide; i++) wide = chars[i] > 255;
  int32_t words = wide ? 2 + n : 2 + (n + 1) / 2;
  if (ErrCode e = Reserve(words)) return e;
  int16_t* w = base_ + pos_;
  w[0] = wide ? kOpPushStr : kOpPushStr8;
  w[1] = static_cast<int16_t>(n);
  if (wide) {
    std::memcpy(w + 2, chars, 2ull * n);
  } else {
    auto* bytes = reinterpret_cast<uint8_t*>(w + 2);
    for (int32_t i = 0; i < n; i++) bytes[i] = static_cast<uint8_t>(chars[i]);
    if (n & 1) bytes[n] = 0;
  }
  pos_ += words;
  return kOk;
}

// ---- Variable table ----

ErrCode VarTable::Open(Scratch* scratch) {
  const int32_t capacity = static_cast<int32_t>(
      std::min<uint32_t>(scratch->Free() / (4 * kVarNameBytes), kMaxVariables));
  names_ = static_cast<char*>(scratch->Take(static_cast<uint32_t>(capacity) * kVarNameBytes));
  if (!names_) return kErrCompOutOfMemory;
  count_ = 0;
  capacity_ = capacity;
  return kOk;
}

int32_t VarTable::Find(const char* name, int32_t length) const {
  if (length < 1 || length > kVarNameBytes) return -1;
  for (int32_t i = 0; i < count_; i++) {
    const char* n = Name(i);
    if (std::memcmp(n, name, length) == 0 && (length == kVarNameBytes || n[length] == 0)) return i;
  }
  return -1;
}

ErrCode VarTable::AddNew(const char* name, int32_t length, int32_t* index) {
  if (Find(name, length) >= 0) return kErrReusedVarName;
  return AddShadow(name, length, index);
}

ErrCode VarTable::AddShadow(const char* name, int32_t length, int32_t* index) {
  if (length < 1 || !IsNameStart(name[0]) || NameSpan(name, length, 0) != length)
    return kErrBadVarName;
  if (length > kVarNameBytes) return kErrNameTooLong;
  if (count_ >= capacity_) return Full();
  char* n = names_ + static_cast<size_t>(count_) * kVarNameBytes;
  std::memset(n, 0, kVarNameBytes);
  std::memcpy(n, name, length);
  *index = count_++;
  return kOk;
}

ErrCode VarTable::AddRaw(const char* name32, int32_t* index) {
  if (count_ >= capacity_) return Full();
  std::memcpy(names_ + static_cast<size_t>(count_) * kVarNameBytes, name32, kVarNameBytes);
  *index = count_++;
  return kOk;
}

ErrCode VarTable::Add(const char* name, int32_t length, int32_t* index) {
  int32_t found = Find(name, length);
  if (found >= 0) {
    *index = found;
    return kOk;
  }
  return AddNew(name, length, index);
}

// ---- Compile errors ----

namespace {

// The message of the code with its details: its template filled in, or its
// plain message; cut to size - 1 bytes.
int32_t ComposeErrorText(EngineContext* ctx, ErrCode code, const ErrorDetails& details, char* text,
                         int32_t size) {
  if (const ErrorTableRecord* t = FindErrorMessage(ctx, code, true))
    return ExpandErrorTemplate(ctx, t->message, details, text, size);
  int32_t n = 0;
  AppendPlainErrorText(ctx, code, text, &n, size - 1);
  return n;
}

}  // namespace

ErrCode CompileErrorWith(CompileUnit& u, ErrCode code, const ErrorDetails& details,
                         const char* note) {
  char text[400];
  int32_t n = ComposeErrorText(u.ctx, code, details, text, sizeof text);
  if (note) {
    AppendCString(text, &n, ": ", sizeof text - 1);
    AppendCString(text, &n, note, sizeof text - 1);
  }
  text[n] = 0;
  return CompileErrorText(u, code, text);
}

ErrCode UnrecognizedToken(CompileUnit& u, char c) {
  ErrorDetails d;
  d.integer = static_cast<uint8_t>(c);
  return CompileErrorWith(u, kErrUnrecognizedToken, d, c == '"' ? kNoteDoubleQuotes : nullptr);
}

void SetSourceFile(EngineContext* ctx, const char* name, const char* text, int32_t length,
                   int32_t firstLine, bool placeRuns) {
  ctx->sourceFileName = name;
  ctx->sourceFileText = name ? text : nullptr;
  ctx->sourceFileLength = name ? length : 0;
  ctx->sourceFileFirstLine = name ? firstLine : 0;
  ctx->sourceFilePlacesRuns = name && placeRuns;
}

namespace {

bool WithinSourceFile(EngineContext* ctx, const char* text) {
  const char* start = ctx->sourceFileText;
  return ctx->sourceFileName && text && std::less_equal<const char*>()(start, text) &&
         std::less<const char*>()(text, start + ctx->sourceFileLength);
}

}  // namespace

int32_t SourceFileLineOffset(EngineContext* ctx, const char* text) {
  return WithinSourceFile(ctx, text) ? std::max(ctx->sourceFileFirstLine, 1) - 1 : 0;
}

bool AppendSourceFilePlace(EngineContext* ctx, const char* text, int32_t line, char* buffer,
                           int32_t* position, int32_t size) {
  if (!WithinSourceFile(ctx, text)) return false;
  AppendSourcePlace(ctx->sourceFileName, std::max(line, 1), buffer, position, size);
  return true;
}

void PlaceTextError(EngineContext* ctx, ErrCode code, const char* text, int32_t line,
                    const ErrorDetails& details) {
  char message[400];
  int32_t n = ComposeErrorText(ctx, code, details, message, sizeof message);
  line += SourceFileLineOffset(ctx, text);
  if (!AppendSourceFilePlace(ctx, text, line, message, &n, sizeof message - 1)) return;
  message[n] = 0;
  // The message moves the recorded place; it stays the scan's.
  const int32_t function = ctx->errLocFunc;
  FormatErrorMessage(ctx, code, message, n, false);
  ctx->errLocCode = code;
  ctx->errLocFunc = function;
  ctx->errLocPos = line;
}

ErrCode CompileErrorText(CompileUnit& u, ErrCode code, const char* message) {
  EngineContext* ctx = u.ctx;
  char text[400];
  int32_t n = std::min<int32_t>(CStringLength(message), sizeof text - 1);
  std::memcpy(text, message, n);
  text[n] = 0;
  const int32_t function = u.request ? u.request->function : -1;
  ctx->errLocFunc = function;
  ctx->errLocPos = u.line;
  char location[160];
  int32_t position = GetErrorLocationText(ctx, location, sizeof location, nullptr, 0);
  // The user's file and line where the text came from one, else the
  // engine's function and line.
  if (!AppendSourceFilePlace(ctx, u.request ? u.request->text : nullptr, u.line, text, &n,
                             sizeof text - 1) &&
      (location[0] || position > 1))
    AppendLocationSuffix(location, position, text, &n, sizeof text - 1);
  text[n] = 0;
  FormatErrorMessage(ctx, code, text, n, false);
  ctx->errLocCode = code;
  ctx->errLocFunc = function;
  ctx->errLocPos = u.line;
  ctx->errLocName[0] = 0;
  u.raised = true;
  return code;
}

ErrCode CompileError(CompileUnit& u, ErrCode code) {
  if (u.raised || code == kOk) return code;
  return CompileErrorWith(u, code, ErrorDetails{});
}

}  // namespace vke
