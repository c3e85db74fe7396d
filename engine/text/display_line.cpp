// The display line buffer: text built in the free top of the data stack and
// written out to a descriptor, with the user's break asked after each write.
#include <algorithm>

#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/frames/frames.hpp"
#include "engine/text/display_detail.hpp"
#include "engine/values/values.hpp"

namespace vke::display {

DisplayLine::DisplayLine(EngineContext* ctx, int32_t fd) : ctx_(ctx), fd_(fd) {
  uint32_t bytes;
  void* scratch;
  GetDataStackFree(ctx, &bytes, &scratch);
  if (bytes < kMinSize) {
    text_ = own_;
    size_ = kMinSize;
  } else {
    text_ = static_cast<char*>(scratch);
    size_ = static_cast<int32_t>(std::min<uint32_t>(bytes, INT32_MAX));
  }
}

ErrCode DisplayLine::Append(const char* text, int32_t length) {
  while (length > 0) {
    if (fill_ >= size_ - kSpare) {
      ErrCode e = Flush();
      if (e) return e;
    }
    int32_t n = std::min(length, size_ - kSpare - fill_);
    std::memcpy(text_ + fill_, text, n);
    fill_ += n;
    text += n;
    length -= n;
  }
  return kOk;
}

ErrCode DisplayLine::Append(const char* text) {
  return Append(text, static_cast<int32_t>(std::strlen(text)));
}

ErrCode DisplayLine::Flush() {
  return WriteOut(false);
}

ErrCode DisplayLine::EndLine() {
  return WriteOut(true);
}

ErrCode DisplayLine::WriteOut(bool lineEnd) {
  if (fill_ > 0) {
    ErrCode e = WriteToFd(ctx_, fd_, text_, fill_);
    fill_ = 0;
    if (e) return e;
  }
  if (lineEnd) {
    ErrCode e = WriteNewlineToFd(ctx_, fd_);
    if (e) return e;
  }
  return PollAbortRequest(ctx_) ? ErrCode{kStatusHalted} : ErrCode{kOk};
}

}  // namespace vke::display
