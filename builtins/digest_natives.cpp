// The natives md5 and sha1: the digest of a string, of a byte array, or of
// what remains of an open descriptor, as lowercase hex text.
#include <algorithm>

#include "builtins/builtin.hpp"
#include "builtins/digests.hpp"
#include "builtins/value_bytes.hpp"
#include "engine/files/fd.hpp"
#include "engine/frames/frames.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// Reads stay below the largest count a read takes, in whole 8-byte units.
constexpr int32_t kLargestRead = INT32_MAX & ~7;

// Adds what remains of fd to the digest, read in blocks as large as the
// free data stack. A descriptor with no data yet is asked again; a break
// between blocks ends the reading with 501.
ErrCode DigestDescriptor(EngineContext* ctx, int32_t fd, DigestState* digest) {
  IoControlFd(ctx, fd, kIoBeforeRead, 0, nullptr, nullptr);
  uint32_t freeBytes;
  GetDataStackFree(ctx, &freeBytes, nullptr);
  if (freeBytes < 8) return kErrStackOverflow;
  const int32_t size = static_cast<int32_t>(std::min<uint32_t>(freeBytes & ~7u, kLargestRead));
  void* buffer;
  ErrCode e = ReserveDataStack(ctx, static_cast<uint32_t>(size) / 8, &buffer);
  if (e) return e;
  for (;;) {
    int32_t n = 0;
    e = ReadFromFd(ctx, fd, static_cast<char*>(buffer), size, false, &n);
    if (e && e != kErrEof && e != kStatusRetry) return e;
    DigestUpdate(digest, static_cast<const uint8_t*>(buffer), std::clamp(n, 0, size));
    if (e == kErrEof) return kOk;
    if (PollAbortRequest(ctx)) return kStatusHalted;
  }
}

}  // namespace

// Option 's' gives SHA-1, any other MD5. A number is a descriptor. The
// text's row comes first, so that a failure for lack of room leaves the
// argument as given and the descriptor unread.
ErrCode DigestNative(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  const DigestKind& kind = option == 's' ? kSHA1Digest : kMD5Digest;
  DigestState digest;
  DigestInit(&digest, kind);
  uint16_t* text;
  ErrCode e = PushNewCharRow(ctx, 8 * kind.words, &text);
  if (e) return e;
  DataScratch scratch(ctx);
  if (ViewNumeric(ctx, 1).cls == ValueClass::kDouble) {
    int32_t fd;
    e = GetIntegerArg(ctx, 1, &fd);
    if (e) e = AllowOverload(e);
    if (!e) e = DigestDescriptor(ctx, fd, &digest);
  } else {
    const uint8_t* bytes;
    int32_t count;
    e = GetValueBytes(ctx, 1, &scratch, &bytes, &count);
    if (!e) DigestUpdate(&digest, bytes, count);
  }
  if (e) {
    Drop(ctx);
    return e;
  }
  DigestFinal(&digest);
  char hex[kMaxDigestHexLength];
  const int32_t length = DigestToHex(&digest, hex);
  for (int32_t i = 0; i < length; i++) text[i] = static_cast<uint8_t>(hex[i]);
  return ReplaceEntryWithTop(ctx, 0);
}

}  // namespace vke
