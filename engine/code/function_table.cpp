// Function-table entries: defining functions and libraries, growing the
// table, and giving code space back.
#include "engine/code/function_table.hpp"

#include "engine/code/code_pointers.hpp"
#include "engine/code/names.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/text/name_chars.hpp"

namespace vke {

namespace {

uint32_t RoundUpToBlock(uint32_t words) {
  return (words + kCodeBlockAlign - 1) / kCodeBlockAlign * kCodeBlockAlign;
}

// Appends an entry, growing the table when it is full; 198 when it cannot.
ErrCode AddEntry(EngineContext* ctx, const FunctionTableEntry& entry, int32_t* index) {
  if (ctx->funcCount >= ctx->funcCap) GrowFunctionTable(ctx);
  if (ctx->funcCount >= ctx->funcCap) return kErrTooManyUserFun;
  *index = static_cast<int32_t>(ctx->funcCount++);
  FunctionEntries(ctx)[*index] = entry;
  return kOk;
}

// The end of the block at `position`: the nearest later block or the fill
// position.
int32_t BlockEnd(EngineContext* ctx, int32_t position) {
  int32_t end = static_cast<int32_t>(ctx->codeEnd);
  FunctionTableEntry* entries = FunctionEntries(ctx);
  for (uint32_t i = 0; i < ctx->funcCount; i++)
    if (HoldsCodePosition(entries[i]) && entries[i].code > position && entries[i].code < end)
      end = entries[i].code;
  return end;
}

// Adds delta to every stored position at or above `from`.
void ShiftPositions(EngineContext* ctx, int32_t from, int32_t delta) {
  FunctionTableEntry* entries = FunctionEntries(ctx);
  for (uint32_t i = 0; i < ctx->funcCount; i++)
    if (HoldsCodePosition(entries[i]) && entries[i].code >= from) entries[i].code += delta;
}

}  // namespace

FunctionTableEntry* GetFunctionEntry(EngineContext* ctx, int32_t index) {
  if (index < 0 || static_cast<uint32_t>(index) >= ctx->funcCount) return nullptr;
  return FunctionEntries(ctx) + index;
}

FunctionTableEntry* GetLibraryEntry(EngineContext* ctx, int32_t index) {
  FunctionTableEntry* e = GetFunctionEntry(ctx, index);
  return e && IsLibraryEntry(*e) ? e : nullptr;
}

ErrCode ReserveCodeBlock(EngineContext* ctx, int32_t words, int32_t* position) {
  NoteCodeChanged();
  uint32_t start = RoundUpToBlock(ctx->codeEnd);
  uint32_t end = RoundUpToBlock(start + static_cast<uint32_t>(words));
  if (words < 0 || int64_t{end} * 2 > int64_t{ctx->codeSize} * 2 + ctx->nameStart)
    return kErrCodeOverflow;
  ctx->codeEnd = end;
  *position = static_cast<int32_t>(start);
  return kOk;
}

ErrCode DefineFunctionEntry(EngineContext* ctx, const char* name, int32_t length,
                            const char* library, int32_t libraryLength, int32_t sourceLibrary,
                            bool isPrivate, bool restricted, int32_t* index) {
  if (sourceLibrary != 0 && !GetLibraryEntry(ctx, sourceLibrary)) return kErrBadArg;
  int32_t nameId, libraryId = 0;
  ErrCode e = InternName(ctx, name, length, kMaxIdentifierLength, &nameId);
  if (!e && libraryLength > 0)
    e = InternName(ctx, library, libraryLength, kMaxIdentifierLength, &libraryId);
  if (e) return e;
  FunctionTableEntry* entries = FunctionEntries(ctx);
  for (uint32_t i = 1; i < ctx->funcCount; i++) {
    FunctionTableEntry& f = entries[i];
    if (f.nameId != nameId || f.libraryId != libraryId) continue;
    if (static_cast<int32_t>(f.info & kEntrySourceMask) != sourceLibrary) continue;
    f.info = isPrivate ? f.info | kEntryPrivate : f.info & ~kEntryPrivate;
    *index = static_cast<int32_t>(i);
    return kOk;
  }
  uint32_t info = static_cast<uint32_t>(sourceLibrary) | (isPrivate ? kEntryPrivate : 0) |
                  (restricted ? kEntryRestricted : 0);
  return AddEntry(ctx, {nameId, info, kCodeNotCompiled, libraryId}, index);
}

ErrCode GrowFunctionTable(EngineContext* ctx) {
  int64_t freeWords = FreeCodeBytes(ctx) / 2;
  int64_t k = (freeWords - 1) / 256;
  if (k < 2 && freeWords >= 2 * kEntryWords) k = 2;
  return ExtendFunctionTable(ctx, k);
}

ErrCode ExtendFunctionTable(EngineContext* ctx, int64_t k) {
  NoteCodeChanged();
  if (IsCompiling(ctx) || !CodePointersReachable(ctx)) return kErrBadContext;
  if (k > FreeCodeBytes(ctx) / (2 * kEntryWords)) k = FreeCodeBytes(ctx) / (2 * kEntryWords);
  // A table made larger than indices reach (a large area at creation) grows
  // no further.
  const int64_t indexRoom = int64_t{kMaxFunctionEntries} - ctx->funcCap;
  if (k > indexRoom) k = indexRoom;
  if (k <= 0) return kErrCodeOverflow;
  uint32_t shift = static_cast<uint32_t>(k) * kEntryWords;
  uint32_t tableEnd = ctx->funcCap * kEntryWords;
  uint8_t* code = ctx->CodeBytes();
  std::memmove(code + 2ull * (tableEnd + shift), code + 2ull * tableEnd,
               2ull * (ctx->codeEnd - tableEnd));
  std::memset(code + 2ull * tableEnd, 0, 2ull * shift);
  ShiftPositions(ctx, static_cast<int32_t>(tableEnd), static_cast<int32_t>(shift));
  ShiftCodePointers(ctx, 2 * tableEnd, static_cast<int32_t>(2 * shift));
  ctx->funcCap += static_cast<uint32_t>(k);
  ctx->codeEnd += shift;
  return kOk;
}

ErrCode FindLibraryEntry(EngineContext* ctx, const char* name, int32_t length, bool create,
                         int32_t* index) {
  if (length > 0 && (!IsNameStart(name[0]) || NameSpan(name, length, 0) != length))
    return kErrBadLibName;
  int32_t id;
  if (ErrCode e = InternName(ctx, name, length, kMaxIdentifierLength, &id)) return e;
  *index = FindLibraryEntryById(ctx, id);
  if (*index >= 0) return kOk;
  int32_t code = create ? kCodeNotCompiled : kCodeKnown;
  return AddEntry(ctx, {0, static_cast<uint32_t>(id), code, 0}, index);
}

int32_t FindLibraryEntryById(EngineContext* ctx, int32_t nameId) {
  if (nameId >= 0) return -1;
  FunctionTableEntry* entries = FunctionEntries(ctx);
  for (uint32_t i = 1; i < ctx->funcCount; i++)
    if (IsLibraryEntry(entries[i]) && static_cast<int32_t>(entries[i].info) == nameId)
      return static_cast<int32_t>(i);
  return -1;
}

ErrCode GetFunctionName(EngineContext* ctx, int32_t index, const char** name, int32_t* length) {
  FunctionTableEntry* e = GetFunctionEntry(ctx, index);
  FunctionTableEntry* library =
      e && IsFunctionEntry(*e)
          ? GetLibraryEntry(ctx, static_cast<int32_t>(e->info & kEntrySourceMask))
          : nullptr;
  const char* text = library ? NameText(ctx, static_cast<int32_t>(library->info), length) : nullptr;
  if (!text) return kErrSrcNotFound;
  *name = text;
  return kOk;
}

void ResetFunctionTable(EngineContext* ctx) {
  NoteCodeChanged();
  FunctionTableEntry* entries = FunctionEntries(ctx);
  for (uint32_t i = 0; i < ctx->funcCount; i++) entries[i].code = kCodeNotCompiled;
  entries[0] = {};
  ctx->funcCount = 1;
  ctx->codeEnd = ctx->funcCap * kEntryWords;
}

void PopFunctionScope(EngineContext* ctx) {
  if (ctx->funcCount < 2) return;
  FunctionTableEntry* last = FunctionEntries(ctx) + ctx->funcCount - 1;
  if (!IsFunctionEntry(*last)) return;
  int32_t position = last->code;
  *last = {};
  ctx->funcCount--;
  // Give the space back only when nothing lies or runs behind the position.
  if (position <= 0 || BlockEnd(ctx, position) != static_cast<int32_t>(ctx->codeEnd)) return;
  if (!CodePointersReachable(ctx) || HasCodePointerIn(ctx, 2u * position, 2u * ctx->codeEnd))
    return;
  ctx->codeEnd = static_cast<uint32_t>(position);
}

void RemoveFunctionsOfEntry(EngineContext* ctx, int32_t index) {
  NoteCodeChanged();
  FunctionTableEntry* e = GetFunctionEntry(ctx, index);
  if (!e || !HoldsCodePosition(*e)) return;
  int32_t position = e->code;
  e->code = kCodeKnown;
  int32_t end = BlockEnd(ctx, position);
  if (!CodePointersReachable(ctx) || HasCodePointerIn(ctx, 2u * position, 2u * end)) return;
  int32_t words = end - position;
  uint8_t* code = ctx->CodeBytes();
  std::memmove(code + 2ull * position, code + 2ull * end, 2ull * (ctx->codeEnd - end));
  ShiftPositions(ctx, end, -words);
  ShiftCodePointers(ctx, 2u * end, -2 * words);
  ctx->codeEnd -= static_cast<uint32_t>(words);
}

int32_t CurrentFrameFunction(EngineContext* ctx) {
  if (ctx->curFrame < 0) return 0;
  int32_t function = static_cast<int32_t>(FrameWords(ctx, ctx->curFrame)[kFwFunction]);
  return function > 0 ? function : 0;
}

}  // namespace vke
