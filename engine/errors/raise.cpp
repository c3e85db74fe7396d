// The pending and the last error: raising by code or identifier, storing a
// message in its block, reading error texts back, and printing them.
#include "engine/errors/raise.hpp"

#include <algorithm>

#include "engine/engine.hpp"
#include "engine/files/fd.hpp"
#include "engine/frames/frames.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr int32_t kLocationBytes = 67;       // 66 characters and the NUL
constexpr int32_t kErrorNameBytes = 33;      // 32 characters and the NUL
constexpr int32_t kSuffixRoom = 71;          // GetErrorText adds the location only with this room
constexpr int32_t kPrintBytes = 124;         // PrintError's text
constexpr int32_t kLocalMessageBytes = 256;  // when the data stack has less to spare

// True when p points into the free part of the data stack, where the scratch
// of RaiseErrorWithDetails would lie.
bool InFreeDataStack(EngineContext* ctx, const char* p) {
  const auto* b = reinterpret_cast<const uint8_t*>(p);
  return b && b >= ctx->DataBytes() + 8ull * ctx->dataTop &&
         b < ctx->DataBytes() + 8ull * ctx->dataCap;
}

}  // namespace

ErrCode RaiseErrorWithDetails(EngineContext* ctx, ErrCode code, const ErrorDetails& details) {
  if (code == 0) return kOk;
  // Scratch: half of the free data stack, or a local buffer when that is
  // smaller or would overlap the details' texts.
  // The message's room is no request the host could grow for: without it
  // the message is cut, or keeps its plain text.
  const RoomRequestsPaused paused;
  char local[kLocalMessageBytes];
  char* buffer = local;
  int32_t size = kLocalMessageBytes;
  uint32_t freeBytes = 0;
  GetDataStackFree(ctx, &freeBytes, nullptr);
  const uint32_t units = freeBytes / 16;
  void* scratch;
  if (8ull * units > kLocalMessageBytes && !InFreeDataStack(ctx, details.name) &&
      !InFreeDataStack(ctx, details.variable) && ReserveDataStack(ctx, units, &scratch) == kOk) {
    buffer = static_cast<char*>(scratch);
    size = static_cast<int32_t>(std::min<uint64_t>(8ull * units, INT32_MAX));
  }
  int32_t length = 0;
  if (const ErrorTableRecord* t = FindErrorMessage(ctx, code, true)) {
    length = ExpandErrorTemplate(ctx, t->message, details, buffer, size);
  } else {
    AppendPlainErrorText(ctx, code, buffer, &length, size);
    buffer[length] = 0;
  }
  ErrCode e = FormatErrorMessage(ctx, code, buffer, length, true);
  return e ? e : code;
}

ErrCode RaiseError(EngineContext* ctx, ErrCode code, int32_t variable, int32_t fieldId,
                   int32_t integer, const char* name) {
  ErrorDetails details;
  details.variable = variable >= 0 ? GetVariableName(ctx, variable) : nullptr;
  details.fieldId = fieldId;
  details.integer = integer;
  details.name = name;
  return RaiseErrorWithDetails(ctx, code, details);
}

ErrCode FormatErrorMessage(EngineContext* ctx, ErrCode code, const char* text, int32_t length,
                           bool withLocation, int32_t* storedLength) {
  if (storedLength) *storedLength = 0;
  const RoomRequestsPaused paused;
  FreeEngineBlock(ctx, ctx->pendingError);
  ctx->pendingError = -1;
  if (code == 0 && !text) return kOk;
  char plain[kLocalMessageBytes];
  if (!text) {
    length = 0;
    AppendPlainErrorText(ctx, code, plain, &length, sizeof plain);
    text = plain;
  } else if (length < 0) {
    length = CStringLength(text);
  }
  SetErrorLocation(ctx, code, 0);
  char suffix[kLocationBytes + 16];
  int32_t suffixLength = 0;
  if (withLocation) {
    char location[kLocationBytes];
    int32_t position = GetErrorLocationText(ctx, location, sizeof location, nullptr, 0);
    if (!AppendCodePlace(ctx, ctx->errLocFunc, position, suffix, &suffixLength, sizeof suffix) &&
        position > 1)
      AppendLocationSuffix(location, position, suffix, &suffixLength, sizeof suffix);
  }
  // The code's unit, then the text, the suffix and the NUL.
  const uint64_t units = 1 + (uint64_t(length) + suffixLength + 1 + 7) / 8;
  int32_t block;
  if (units > kBlockSizeMask || AllocEngineBlock(ctx, static_cast<uint32_t>(units), &block))
    return kErrVarOverflow;
  uint8_t* data = BlockData(ctx, block);
  std::memmove(data + 8, text, length);
  std::memcpy(data + 8 + length, suffix, suffixLength);
  data[8 + length + suffixLength] = 0;
  Store<double>(data, code);
  ctx->pendingError = block;
  if (storedLength) *storedLength = length + suffixLength;
  return kOk;
}

void ClearPendingError(EngineContext* ctx) {
  FreeEngineBlock(ctx, ctx->lastError);
  ctx->lastError = ctx->pendingError;
  ctx->pendingError = -1;
}

bool ReadErrorBlock(EngineContext* ctx, int32_t block, ErrCode* code, const char** text,
                    int32_t* length) {
  if (block == -1) return false;
  const uint8_t* data = BlockData(ctx, block);
  const uint32_t units = BlockUnits(ctx, block);
  const uint32_t room = units > 1 ? 8 * (units - 1) : 0;
  const auto* chars = reinterpret_cast<const char*>(data + 8);
  uint32_t n = 0;
  while (n < room && chars[n]) n++;
  if (code) *code = TruncToInt32(Load<double>(data));
  if (text) *text = chars;
  if (length) *length = static_cast<int32_t>(n);
  return true;
}

int32_t GetErrorText(EngineContext* ctx, ErrCode code, bool fromPending, char* buffer, int32_t size,
                     int32_t* length) {
  if (length) *length = 0;
  if (!buffer || size <= 0) return 0;
  int32_t pos = 0;
  const char* text = "";
  int32_t n = 0;
  if (fromPending && code != 0 && ctx->pendingError != -1) {
    ClearPendingError(ctx);
    ReadErrorBlock(ctx, ctx->lastError, nullptr, &text, &n);
    AppendBytes(buffer, &pos, text, n, size);
  } else if ((code == kErrUser || code < 0 || !FindErrorMessage(ctx, code, false)) &&
             ReadErrorBlock(ctx, ctx->lastError, nullptr, &text, &n)) {
    AppendBytes(buffer, &pos, text, n, size);
  } else if (AppendPlainErrorText(ctx, code, buffer, &pos, size) && size - pos >= kSuffixRoom) {
    char location[kLocationBytes];
    char name[kErrorNameBytes];
    int32_t position = GetErrorLocationText(ctx, location, sizeof location, name, sizeof name);
    if (!AppendCodePlace(ctx, ctx->errLocFunc, position, buffer, &pos, size) &&
        (location[0] || position > 1))
      AppendLocationSuffix(location, position, buffer, &pos, size);
    if (name[0]) {
      AppendBytes(buffer, &pos, " '", 2, size);
      AppendCString(buffer, &pos, name, size);
      AppendBytes(buffer, &pos, "'", 1, size);
    }
  }
  buffer[pos] = 0;
  if (length) *length = pos;
  return pos;
}

ErrCode PrintError(EngineContext* ctx, ErrCode code, bool keep) {
  char text[kPrintBytes];
  int32_t n;
  GetErrorText(ctx, code, true, text, sizeof text, &n);
  if (keep && FormatErrorMessage(ctx, code, text, n, false) == kOk) ClearPendingError(ctx);
  ErrCode e = WriteToFd(ctx, kFdErr, text, n);
  return e ? e : WriteNewlineToFd(ctx, kFdErr);
}

ErrCode RaiseErrorById(EngineContext* ctx, const char* id, int32_t idLength, const char* message,
                       int32_t messageLength) {
  ErrCode code = kErrUser;
  if (id && idLength < 0) idLength = CStringLength(id);
  if (id && idLength > 0) {
    ErrCode e = ErrorCodeOfIdentifier(ctx, id, idLength, &code);
    if (e) return e;
  }
  if (message && messageLength < 0) messageLength = CStringLength(message);
  if (message && messageLength > 0) {
    ErrCode e = FormatErrorMessage(ctx, code, message, messageLength, true);
    if (e) return e;
  }
  return code;
}

}  // namespace vke
