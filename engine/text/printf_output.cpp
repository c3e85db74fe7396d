// fprintf's writing: formatted text converted to 8-bit and written to a
// descriptor, piece by piece while it is formed, or whole.
#include <algorithm>

#include "engine/errors/errors.hpp"
#include "engine/fast_forms.hpp"
#include "engine/files/fd.hpp"
#include "engine/memory_retry.hpp"
#include "engine/text/printf.hpp"
#include "engine/text/text.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// Converts each piece as the whole text would be converted (the context's
// encoder, else the low bytes; the line ends are in the text already) into
// a byte row pushed for it, and writes it. The first `skip` bytes of the
// text went out in a run that ran out of room later: they are counted, not
// written again. A piece that fails ends the writing: no later piece goes
// out, whatever the formatter does.
class FdPieceWriter final : public TextPieceSink {
 public:
  FdPieceWriter(EngineContext* ctx, int32_t fd, int64_t skip) : ctx_(ctx), fd_(fd), skip_(skip) {}

  ErrCode Take(const uint16_t* chars, int32_t n) override {
    if (error_) return error_;
    // 3 bytes a character at most, the encoder's margin and a NUL.
    const int32_t dims[2] = {1, 3 * n + 8};
    void* bytes;
    error_ = PushNewTypedArray(ctx_, 2, dims, 1, true, &bytes);
    if (error_) return error_;
    int32_t length;
    if (!EncodeOutputText(ctx_, kLineEndLF, chars, n, static_cast<uint8_t*>(bytes), dims[1],
                          &length)) {
      error_ = kErrDataOverflow;
    } else {
      const int64_t skipped = std::min<int64_t>(skip_, length);
      skip_ -= skipped;
      // The one write of an empty text, or what the earlier run left.
      if (length == 0 || skipped < length)
        error_ = WriteToFd(ctx_, fd_, static_cast<const char*>(bytes) + skipped,
                           static_cast<int32_t>(length - skipped));
    }
    Drop(ctx_);
    if (!error_) written_ += length;
    return error_;
  }
  ErrCode error() const { return error_; }
  // The bytes of the text out so far, those of the earlier run included.
  int64_t written() const { return written_; }

 private:
  EngineContext* ctx_;
  int32_t fd_;
  int64_t skip_;
  ErrCode error_ = kOk;
  int64_t written_ = 0;
};

// Whether each value behind the template is one the formatter reads (so
// that none fails when the cursor reaches it).
bool AllValuesReadable(EngineContext* ctx, int32_t n) {
  for (int32_t depth = 0; depth < n - 1; depth++)
    if (ViewNumeric(ctx, depth).cls == ValueClass::kOther) return false;
  return true;
}

}  // namespace

ErrCode WriteFormattedText(EngineContext* ctx, int32_t n, int32_t fd, int64_t* bytes) {
  *bytes = 0;
  const int64_t done = TakeRerunProgress(ctx);
  if (FastFormsOn() && n >= 1 && AllValuesReadable(ctx, n)) {
    FdPieceWriter writer(ctx, fd, done);
    ErrCode e = FormatWithTemplate(ctx, n, true, nullptr, nullptr, &writer);
    if (writer.error()) e = writer.error();
    *bytes = writer.written();
    // Out of room after pieces went out: the run after growth goes on
    // behind them.
    if (IsEngineMemoryCode(e)) KeepRerunProgress(ctx, std::max(done, writer.written()));
    return e;
  }
  const char* text;
  int32_t length;
  ErrCode e = FormatWithTemplate(ctx, n, true, &text, &length);
  if (e) return e;
  const int32_t skipped = static_cast<int32_t>(std::min<int64_t>(done, length));
  e = WriteToFd(ctx, fd, text + skipped, length - skipped);
  Drop(ctx);
  if (!e) *bytes = length;
  return e;
}

}  // namespace vke
