// The dumper's writer: text into a caller's buffer of 16-bit characters, or
// collected a line at a time and written to a descriptor through the
// context's text encoder.
#include <algorithm>

#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/frames/frames.hpp"
#include "engine/text/dump_detail.hpp"
#include "engine/text/text.hpp"

namespace vke::dump {

DumpWriter::DumpWriter(EngineContext* ctx, uint16_t* buffer, int32_t capacity, int32_t* position,
                       int32_t fd)
    : ctx_(ctx), text_(buffer), size_(capacity), position_(position), fd_(fd) {
  if (fd_ >= 0) {
    if (!text_ || size_ < 2 * kReserve) {
      text_ = own_;
      size_ = kOwnLine;
    }
  } else {
    fill_ = position_ ? *position_ : 0;
  }
}

ErrCode DumpWriter::Open() const {
  if (fd_ >= 0) return kOk;
  return text_ && position_ && size_ >= kReserve && fill_ >= 0 && fill_ <= size_
             ? ErrCode{kOk}
             : ErrCode{kErrDataOverflow};
}

// In buffer mode the text must fit; in descriptor mode the collected text
// goes out when fewer than 50 characters would remain.
ErrCode DumpWriter::Room(int32_t n) {
  if (fd_ < 0) return int64_t{fill_} + n <= size_ ? ErrCode{kOk} : ErrCode{kErrDataOverflow};
  return fill_ + n > size_ - kReserve ? Flush() : ErrCode{kOk};
}

// 8-bit text goes through PutChars a piece at a time.
ErrCode DumpWriter::Put(const char* text, int32_t length) {
  constexpr int32_t kPiece = 64;
  uint16_t chars[kPiece];
  for (int32_t at = 0; at < length; at += kPiece) {
    const int32_t n = std::min(kPiece, length - at);
    for (int32_t i = 0; i < n; i++) chars[i] = static_cast<uint8_t>(text[at + i]);
    ErrCode e = PutChars(chars, n);
    if (e) return e;
  }
  return kOk;
}

ErrCode DumpWriter::Put(const char* text) {
  return Put(text, CStringLength(text));
}

ErrCode DumpWriter::PutChars(const uint16_t* chars, int32_t length) {
  while (length > 0) {
    const int32_t n = fd_ < 0 ? length : std::min(length, size_ - kReserve);
    ErrCode e = Room(n);
    if (e) return e;
    std::memcpy(text_ + fill_, chars, 2ull * n);
    fill_ += n;
    lineLength_ += n;
    chars += n;
    length -= n;
  }
  if (fd_ < 0) *position_ = fill_;
  return kOk;
}

ErrCode DumpWriter::LineEnd() {
  lineLength_ = 0;
  if (fd_ < 0) {
    ErrCode e = Room(1);
    if (e) return e;
    text_[fill_++] = '\n';
    *position_ = fill_;
    return kOk;
  }
  ErrCode e = Flush();
  return e ? e : WriteNewlineToFd(ctx_, fd_);
}

ErrCode DumpWriter::ContinueLine() {
  ErrCode e = Put("...");
  if (!e) e = LineEnd();
  if (!e && fd_ >= 0 && PollAbortRequest(ctx_)) e = kStatusHalted;
  return e;
}

ErrCode DumpWriter::Finish() {
  return fd_ < 0 ? kOk : Flush();
}

// Encodes the collected characters for the host, a piece at a time.
ErrCode DumpWriter::Flush() {
  constexpr int32_t kPiece = 128;
  char bytes[3 * kPiece + 1];
  for (int32_t at = 0; at < fill_; at += kPiece) {
    int32_t length = 0;
    if (!EncodeOutputText(ctx_, kLineEndLF, text_ + at, std::min(kPiece, fill_ - at),
                          reinterpret_cast<uint8_t*>(bytes), sizeof bytes, &length))
      return kErrDataOverflow;
    ErrCode e = WriteToFd(ctx_, fd_, bytes, length);
    if (e) {
      fill_ = 0;
      return e;
    }
  }
  fill_ = 0;
  return kOk;
}

}  // namespace vke::dump
