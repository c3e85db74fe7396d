// Binary reading: fread from a file descriptor and sread from the bytes of a
// string, with a size and a precision.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "builtins/builtin.hpp"
#include "builtins/file_io.hpp"
#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr int64_t kUnlimited = -1;
// Room left free below the bytes read for the headers of the outputs.
constexpr uint32_t kResultHeaderBytes = 64;

// What the size argument asks for.
struct SizeRequest {
  int64_t rows = kUnlimited;         // [m n]: m; else a column
  int64_t maxElements = kUnlimited;  // kUnlimited: as many as there are
};

ErrCode GetSizeArg(EngineContext* ctx, int32_t depth, SizeRequest* size) {
  const NumericView v = ViewNumeric(ctx, depth);
  if (v.cls != ValueClass::kDouble || v.complex) return kErrBadSize;
  if (v.shape.count > 2) return kErrBadSize;
  auto element = [&](int32_t i) { return Load<double>(v.elements + 8 * i); };
  auto count = [](double x) -> int64_t {
    if (!std::isfinite(x)) return kUnlimited;
    return static_cast<int64_t>(std::clamp(x, 0.0, double{INT32_MAX}));
  };
  if (v.shape.count == 0) {
    size->maxElements = 0;
  } else if (v.shape.count == 1) {
    size->maxElements = count(element(0));
  } else {
    const double m = element(0);
    if (!std::isfinite(m)) return kErrBadSize;
    size->rows = count(m);
    const int64_t n = count(element(1));
    size->maxElements = n == kUnlimited && size->rows > 0
                            ? kUnlimited
                            : std::min(size->rows * std::max<int64_t>(n, 0), int64_t{INT32_MAX});
  }
  return kOk;
}

// Assembles element i of the bytes (stride apart) into its bits, sign-
// extended for signed integers.
uint64_t ElementBits(const uint8_t* bytes, int32_t stride, int64_t i, const Precision& p) {
  uint64_t bits = 0;
  for (int32_t k = 0; k < p.size; k++) {
    const int32_t shift = 8 * (p.bigEndian ? p.size - 1 - k : k);
    bits |= uint64_t{bytes[(i * p.size + k) * stride]} << shift;
  }
  if (!p.isUnsigned && !p.floating && p.size < 8) {
    const uint64_t sign = uint64_t{1} << (8 * p.size - 1);
    bits = (bits ^ sign) - sign;
  }
  return bits;
}

double ElementValue(uint64_t bits, const Precision& p) {
  if (p.floating)
    return p.size == 4 ? double{std::bit_cast<float>(static_cast<uint32_t>(bits))}
                       : std::bit_cast<double>(bits);
  return p.isUnsigned ? static_cast<double>(bits) : static_cast<double>(static_cast<int64_t>(bits));
}

// Whether the values are doubles: always but where "*" keeps another class.
bool ValuesAreDoubles(const Precision& p) {
  return !p.keepClass || (p.floating && p.size == 8);
}

// The bytes of an element of the values.
int32_t ResultElementBytes(const Precision& p) {
  if (ValuesAreDoubles(p)) return 8;
  return p.character ? 2 : p.size;
}

// Whether [a, a + an) and [b, b + bn) share a byte.
bool Overlap(const void* a, int64_t an, const void* b, int64_t bn) {
  const auto x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
  return x < y + static_cast<uint64_t>(bn) && y < x + static_cast<uint64_t>(an);
}

// Bytes as doubles, the most common read, without assembling bits. The
// doubles may lie over the bytes (a file's bytes read into the result's own
// room): they are made from the last down, each block's bytes taken before
// its doubles are stored, and the few at the head whose doubles would reach
// bytes still to be read are first moved to the doubles' start.
void BytesToDoubles(const uint8_t* bytes, int32_t stride, int32_t count, bool isUnsigned,
                    double* out) {
  constexpr int32_t kBlock = 16;
  const auto value = [isUnsigned](uint8_t b) {
    return isUnsigned ? static_cast<double>(b) : static_cast<double>(static_cast<int8_t>(b));
  };
  int32_t n = count;  // the elements [0, n) are left
  if (stride == 1) {
    for (; n >= kBlock; n -= kBlock) {
      const int32_t start = n - kBlock;
      if (Overlap(out + start, 8 * kBlock, bytes, start)) break;
      uint8_t block[kBlock];
      std::memcpy(block, bytes + start, kBlock);
      for (int32_t k = 0; k < kBlock; k++) out[start + k] = value(block[k]);
    }
    if (Overlap(out, 8ull * n, bytes, n)) {
      std::memmove(out, bytes, static_cast<size_t>(n));
      bytes = reinterpret_cast<const uint8_t*>(out);
    }
  }
  for (int32_t i = n - 1; i >= 0; i--) out[i] = value(bytes[int64_t{i} * stride]);
}

// Pushes count elements of the bytes as a column, or as m rows filled in
// storage order (the last row padded with zeros), in the precision's class
// with "*" and as doubles otherwise. The bytes may lie in the room of the
// values (a read into it): no element is wider than its bytes, and the
// elements are made from the last down, so that each is read before it is
// overwritten.
ErrCode PushElements(EngineContext* ctx, const uint8_t* bytes, int32_t stride, int32_t count,
                     const SizeRequest& size, const Precision& p) {
  int32_t dims[2] = {count, count > 0 ? 1 : 0};
  if (size.rows != kUnlimited) {
    dims[0] = count > 0 ? static_cast<int32_t>(size.rows) : 0;
    dims[1] = count > 0 ? static_cast<int32_t>((count + size.rows - 1) / size.rows) : 0;
  }
  const int64_t total = int64_t{dims[0]} * dims[1];
  void* data;
  ErrCode e;
  const int32_t elementBytes = ResultElementBytes(p);
  if (ValuesAreDoubles(p)) {
    e = PushNewArray(ctx, 2, dims, reinterpret_cast<double**>(&data), nullptr);
  } else if (p.floating) {
    e = PushNewSingleArray(ctx, 2, dims, reinterpret_cast<float**>(&data), nullptr);
  } else if (p.character) {
    e = PushNewCharArray(ctx, 2, dims, reinterpret_cast<uint16_t**>(&data));
  } else {
    e = PushNewTypedArray(ctx, 2, dims, p.size, p.isUnsigned, &data);
  }
  if (e) return e;
  auto* out = static_cast<uint8_t*>(data);
  if (!p.keepClass && p.size == 1) {
    BytesToDoubles(bytes, stride, count, p.isUnsigned, reinterpret_cast<double*>(out));
  } else {
    if (Overlap(out, int64_t{elementBytes} * count, bytes, int64_t{p.size} * count)) {
      std::memmove(out, bytes, static_cast<size_t>(p.size) * count);
      bytes = out;
    }
    for (int32_t i = count - 1; i >= 0; i--) {
      const uint64_t bits = ElementBits(bytes, stride, i, p);
      uint8_t* el = out + int64_t{i} * elementBytes;
      if (!p.keepClass || p.floating) {
        const double value = ElementValue(bits, p);
        if (elementBytes == 4)
          Store<float>(el, static_cast<float>(value));
        else
          Store<double>(el, value);
      } else {
        const uint64_t stored = p.character ? bits & 0xFF : bits;  // characters are unsigned
        std::memcpy(el, &stored, elementBytes);
      }
    }
  }
  // The padding of the last row, after the elements: the bytes read may
  // reach into it.
  std::memset(out + int64_t{count} * elementBytes, 0,
              static_cast<size_t>((total - count) * elementBytes));
  return kOk;
}

// The bytes of fd from its position to its end, as its length tells them;
// -1 for a stream without a position. The position stays where it was.
int64_t BytesLeftInFd(EngineContext* ctx, int32_t fd) {
  intptr_t at = -1, end = -1;
  if (IoControlFd(ctx, fd, kIoTell, 0, &at, nullptr) != kOk || at < 0) return -1;
  if (IoControlFd(ctx, fd, kIoSeekEnd, 0, nullptr, nullptr) != kOk) return -1;
  const ErrCode e = IoControlFd(ctx, fd, kIoTell, 0, &end, nullptr);
  if (IoControlFd(ctx, fd, kIoSeekBegin, at, nullptr, nullptr) != kOk || e != kOk || end < at)
    return -1;
  return end - at;
}

// Reads up to the size's bytes of fd: until the size is met, the end of the
// stream (after something was read), or a read that brought nothing new
// (502 or no bytes: what has arrived so far). A read whose values are
// doubles goes into their own room just above the top (their first elements
// stand where the arguments are now); any other into the far end of the
// free data stack. Either way as much is read as the values fit, the
// padding of their last row counted.
//
// A length beyond the position is a file's: what it holds is read once,
// into room found for all of it, or the area grows first. A length of 0, or
// none, tells nothing (pipes, terminals and devices, and the system's own
// files such as those of /proc, report 0 or have no position): such a
// stream is read until the count is met or it ends, and a read that fills
// the room short of the request gives its bytes back to the stream, so that
// it runs again from there once the area has grown (kErrDataOverflow). A
// stream that can take nothing back fails instead (kErrIoErr), never
// losing bytes unsaid.
ErrCode ReadFdBytes(EngineContext* ctx, int32_t fd, const SizeRequest& size, const Precision& p,
                    uint8_t** bytes, int32_t* count) {
  IoControlFd(ctx, fd, kIoBeforeRead, 0, nullptr, nullptr);
  uint32_t freeBytes;
  void* top;
  GetDataStackFree(ctx, &freeBytes, &top);
  const int64_t room = freeBytes > kResultHeaderBytes ? freeBytes - kResultHeaderBytes : 0;
  const int32_t elementBytes = ResultElementBytes(p);
  const bool inPlace = ValuesAreDoubles(p);
  const int64_t padding = size.rows == kUnlimited ? 0 : (size.rows - 1) * elementBytes;
  const int64_t capacity =
      std::max<int64_t>(room - padding, 0) / (elementBytes + (inPlace ? 0 : p.size));
  int64_t requested = size.maxElements == kUnlimited ? INT64_MAX : size.maxElements;
  const int64_t left = BytesLeftInFd(ctx, fd);
  if (left > 0) {
    // Nothing holds more than the file has left (text mode may give less).
    requested = std::min(requested, (left + p.size - 1) / p.size);
    if (requested > capacity && capacity < INT32_MAX / p.size) return kErrDataOverflow;
  }
  const int64_t want = std::min({requested, capacity, int64_t{INT32_MAX / p.size}}) * p.size;
  if (inPlace) {
    *bytes = static_cast<uint8_t*>(top) + kResultHeaderBytes;
  } else if (ErrCode e = ReserveDataStack(ctx, static_cast<uint32_t>((want + 7) / 8),
                                          reinterpret_cast<void**>(bytes))) {
    return e;
  }
  int64_t got = 0;
  while (got < want) {
    int32_t n = 0;
    ErrCode e = ReadFromFd(ctx, fd, reinterpret_cast<char*>(*bytes) + got,
                           static_cast<int32_t>(want - got), false, &n);
    got += std::clamp<int64_t>(n, 0, want - got);
    if (e == kErrEof && got > 0) break;
    if (e == kStatusRetry || (!e && n <= 0)) break;
    if (e) return e;
  }
  // A full room short of the request: the rest does not fit.
  if (got == want && requested > capacity) {
    const ErrCode e =
        GiveBackToFd(ctx, fd, reinterpret_cast<const char*>(*bytes), static_cast<int32_t>(got));
    return e ? e : kErrDataOverflow;
  }
  *count = static_cast<int32_t>(got / p.size);
  return kOk;
}

// The outputs: the number of elements when two are asked for, under the
// values.
ErrCode PushOutputs(EngineContext* ctx, int32_t outputs, const uint8_t* bytes, int32_t stride,
                    int32_t count, const SizeRequest& size, const Precision& p) {
  ErrCode e;
  if (outputs == 2 && (e = PushRealScalar(ctx, count))) return e;
  if (outputs >= 1 && (e = PushElements(ctx, bytes, stride, count, size, p))) {
    Drop(ctx, outputs - 1);
    return e;
  }
  return kOk;
}

// fread's read and outputs. The outputs take the place of the arguments,
// so that a large result is never moved down over them; a read is made only when its
// outputs' descriptors fit, so that no read bytes are lost to a full stack.
ErrCode ReadFdOutputs(EngineContext* ctx, int32_t fd, int32_t nargin, int32_t outputs,
                      const SizeRequest& size, const Precision& p) {
  if (uint64_t{ctx->descTop} - 3 * nargin + 3 * outputs >= ctx->descCap) return kErrStackOverflow;
  uint8_t* bytes = nullptr;
  int32_t count = 0;
  if (ErrCode e = ReadFdBytes(ctx, fd, size, p, &bytes, &count)) return e;
  // The values' room was found before the read: no request.
  const RoomRequestsPaused checked;
  return PushInPlaceOfTop(ctx, nargin,
                          [&] { return PushOutputs(ctx, outputs, bytes, 1, count, size, p); });
}

}  // namespace

// fread (option 0): descriptor [, size [, precision]]; sread (option 1): a
// string or byte array [, size [, precision]]. Outputs: the values, then the
// number of elements read.
ErrCode ReadBinaryBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t option) {
  if (nargin < 1) return kErrTooFewArgin;
  if (nargin > 3) return kErrTooManyArgin;
  if (nargout > 2) return kErrTooManyArgout;
  Precision p;
  SizeRequest size;
  ErrCode e = nargin == 3 ? GetPrecisionArg(ctx, 0, &p) : kOk;
  if (!e && nargin >= 2) e = GetSizeArg(ctx, nargin - 2, &size);
  if (e) return e;
  const int32_t outputs = nargout > 1 ? 2 : nargout != 0;
  const uint8_t* bytes = nullptr;
  int32_t stride = 1, count = 0;
  if (option == 0) {
    int32_t fd;
    if ((e = GetFileIdArg(ctx, nargin - 1, &fd))) return e;
    if (size.maxElements != 0) return ReadFdOutputs(ctx, fd, nargin, outputs, size, p);
    // Nothing to read: the descriptor must still name a file.
    if ((e = CheckReadableFd(ctx, fd))) return e;
  } else if (size.maxElements == 0) {
    // Nothing to read.
  } else {
    const NumericView v = ViewNumeric(ctx, nargin - 1);
    if (v.cls == ValueClass::kChar)
      stride = 2;
    else if (v.cls == ValueClass::kOther || v.cls == ValueClass::kDouble ||
             ElementBytesOfCode(v.code) != 1)
      return kErrWrongType;
    bytes = v.elements;
    int64_t available = v.shape.count / p.size;
    if (size.maxElements != kUnlimited) available = std::min(available, size.maxElements);
    count = static_cast<int32_t>(available);
  }
  // The bytes of sread are its argument's: the outputs go above it.
  if ((e = PushOutputs(ctx, outputs, bytes, stride, count, size, p))) return e;
  return DropStackEntries(ctx, outputs, nargin);
}

}  // namespace vke
