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

// Option 's' gives SHA-1, any other MD5. A number is a descriptor.
ErrCode DigestNative(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  DigestState digest;
  DigestInit(&digest, option == 's' ? kSHA1Digest : kMD5Digest);
  ErrCode e;
  if (ViewNumeric(ctx, 0).cls == ValueClass::kDouble) {
    int32_t fd;
    if ((e = GetIntegerArg(ctx, 0, &fd))) return AllowOverload(e);
    if ((e = DigestDescriptor(ctx, fd, &digest))) return e;
  } else {
    const uint8_t* bytes;
    int32_t count;
    if ((e = GetValueBytes(ctx, 0, &bytes, &count))) return e;
    DigestUpdate(&digest, bytes, count);
  }
  DigestFinal(&digest);
  char hex[kMaxDigestHexLength];
  const int32_t length = DigestToHex(&digest, hex);
  if ((e = PushCString(ctx, length, hex))) return e;
  return ReplaceEntryWithTop(ctx, 0);
}

}  // namespace vke
