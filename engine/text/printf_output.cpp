// fprintf's writing: formatted text converted to 8-bit and written to a
// descriptor, piece by piece while it is formed, or whole.
#include "engine/fast_forms.hpp"
#include "engine/files/fd.hpp"
#include "engine/text/printf.hpp"
#include "engine/text/text.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// Converts each piece as the whole text would be converted (the context's
// encoder, else the low bytes; the line ends are in the text already) into
// a byte row pushed for it, and writes it.
class FdPieceWriter final : public TextPieceSink {
 public:
  FdPieceWriter(EngineContext* ctx, int32_t fd) : ctx_(ctx), fd_(fd) {}

  ErrCode Take(const uint16_t* chars, int32_t n) override {
    if (error_) return error_;  // nothing more after a failed piece
    // 3 bytes a character at most, the encoder's margin and a NUL.
    const int32_t dims[2] = {1, 3 * n + 8};
    void* bytes;
    error_ = PushNewTypedArray(ctx_, 2, dims, 1, true, &bytes);
    if (error_) return error_;
    int32_t length;
    if (!EncodeOutputText(ctx_, kLineEndLF, chars, n, static_cast<uint8_t*>(bytes), dims[1],
                          &length))
      error_ = kErrDataOverflow;
    else
      error_ = WriteToFd(ctx_, fd_, static_cast<const char*>(bytes), length);
    Drop(ctx_);
    if (!error_) written_ += length;
    return error_;
  }
  ErrCode error() const { return error_; }
  int64_t written() const { return written_; }

 private:
  EngineContext* ctx_;
  int32_t fd_;
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
  if (FastFormsOn() && n >= 1 && AllValuesReadable(ctx, n)) {
    FdPieceWriter writer(ctx, fd);
    ErrCode e = FormatWithTemplate(ctx, n, true, nullptr, nullptr, &writer);
    *bytes = writer.written();
    return writer.error() ? writer.error() : e;
  }
  const char* text;
  int32_t length;
  ErrCode e = FormatWithTemplate(ctx, n, true, &text, &length);
  if (e) return e;
  e = WriteToFd(ctx, fd, text, length);
  Drop(ctx);
  if (!e) *bytes = length;
  return e;
}

}  // namespace vke
