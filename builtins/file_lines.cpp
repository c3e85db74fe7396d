// Line reads from file descriptors: fgetl and fgets, and the resumable line
// read that fscanf shares.
#include <algorithm>
#include <climits>
#include <cstring>

#include "builtins/builtin.hpp"
#include "builtins/file_io.hpp"
#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

ErrCode GetFileIdArg(EngineContext* ctx, int32_t depth, int32_t* fd) {
  if (ErrCode e = GetIntegerArg(ctx, depth, fd)) return e;
  if (IsPlain(*DescAt(ctx, depth))) return kOk;  // a double, whole as GetIntegerArg found it
  const NumericView v = ViewNumeric(ctx, depth);
  if (v.cls != ValueClass::kInteger || (v.code != kCodeInt64 && v.code != kCodeUInt64)) return kOk;
  const int64_t wide = Load<int64_t>(v.elements);
  return (v.code == kCodeUInt64 && wide < 0) || wide != *fd ? kErrBadFileID : kOk;
}

ErrCode CheckReadableFd(EngineContext* ctx, int32_t fd) {
  char none = 0;
  int32_t count = 0;
  const ErrCode e = ReadFromFd(ctx, fd, &none, 0, false, &count);
  return e == kErrBadFileID ? e : kOk;
}

int32_t CrLfToLineFeeds(char* bytes, int32_t n, bool* lastWasCr) {
  int32_t kept = 0;
  for (int32_t i = 0; i < n; i++) {
    const char c = bytes[i];
    if (c == '\n' && *lastWasCr) {
      *lastWasCr = false;
      continue;
    }
    *lastWasCr = c == '\r';
    bytes[kept++] = *lastWasCr ? '\n' : c;
  }
  return kept;
}

bool TakeResumeMarker(EngineContext* ctx, int32_t* progress) {
  if (GetFrameEntryCount(ctx) < 1 || !GetMarkerAt(ctx, 0, progress)) return false;
  Drop(ctx);
  return true;
}

ErrCode ReadLineBytesFromFd(EngineContext* ctx, int32_t fd, int32_t maxLength, bool resumed,
                            int32_t progress, int32_t* length, const char** line) {
  const int32_t partial = resumed ? 1 : 0;
  int32_t chars = -2;  // half of the free data-stack bytes
  uint16_t* row;
  ErrCode e = PushStringOfLength(ctx, &chars, &row);
  if (e) {
    Drop(ctx, partial);
    return e;
  }
  // One byte per character at most, so that the bytes decode in place.
  auto* bytes = reinterpret_cast<char*>(row);
  const int32_t limit = maxLength >= 0 ? std::min(maxLength, chars) : chars;
  int32_t n = 0;
  if (resumed) {
    n = std::clamp(progress, 0, limit);
    std::memcpy(bytes, ViewNumeric(ctx, 1).elements, n);
  }
  int32_t got = 0;
  e = n < limit ? ReadFromFd(ctx, fd, bytes + n, limit - n, true, &got) : kOk;
  n += std::clamp(got, 0, limit - n);
  if (e == kStatusRetry) {
    // Keep what has arrived: the row shrinks to hold the bytes, the marker
    // above it tells how many they are.
    FinishByteString(ctx, (n + 1) / 2);
    DropStackEntries(ctx, 1, partial);
    ErrCode m = PushMarker(ctx, n);
    return m ? m : kStatusRetry;
  }
  // End of file after some bytes ends the line; before any, the row is empty.
  if (e == kErrEof) e = kOk;
  // A line longer than the room is never cut into two: its bytes, those of
  // a resumed read with them, go back to the stream and the read fails for
  // lack of room, to run again once the area has grown; a stream that can
  // take nothing back fails (kErrIoErr).
  if (!e && n == limit && limit < (maxLength >= 0 ? maxLength : INT32_MAX) &&
      (n == 0 || bytes[n - 1] != '\n')) {
    e = GiveBackToFd(ctx, fd, bytes, n);
    if (!e) e = kErrDataOverflow;
  }
  if (e) {
    Drop(ctx, 1 + partial);
    return e;
  }
  *length = n;
  if (line) *line = bytes;
  return kOk;
}

ErrCode ReadLineFromFd(EngineContext* ctx, int32_t fd, int32_t maxLength, bool resumed,
                       int32_t progress, bool dropLineEnd) {
  const int32_t partial = resumed ? 1 : 0;
  int32_t n;
  const char* line;
  if (ErrCode e = ReadLineBytesFromFd(ctx, fd, maxLength, resumed, progress, &n, &line)) return e;
  if (dropLineEnd && n > 0 && line[n - 1] == '\n') n--;
  if (ErrCode e = DecodeTextBuffer(ctx, n)) {
    Drop(ctx, 1 + partial);
    return e;
  }
  return DropStackEntries(ctx, 1, partial);
}

// fgetl (option 1, without the final LF) and fgets (option 0).
ErrCode ReadLineBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t option) {
  if (nargin < 1) return kErrTooFewArgin;
  if (nargin > 2) return kErrTooManyArgin;
  int32_t progress = 0;
  const bool resumed = TakeResumeMarker(ctx, &progress);
  int32_t fd, maxLength = -1;
  ErrCode e = GetFileIdArg(ctx, resumed + nargin - 1, &fd);
  if (!e && nargin == 2) {
    e = GetIntegerArg(ctx, resumed, &maxLength);
    maxLength = std::max(maxLength, 0);
    if (!e && maxLength == 0) e = CheckReadableFd(ctx, fd);
  }
  if (e) {
    Drop(ctx, resumed);
    return e;
  }
  e = ReadLineFromFd(ctx, fd, maxLength, resumed, progress, option != 0);
  if (e) return e;
  return DropStackEntries(ctx, 1, nargin);
}

}  // namespace vke
