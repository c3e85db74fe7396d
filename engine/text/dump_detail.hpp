// Pieces of the dumper shared by its files: the writer that takes the text
// to a buffer or a descriptor, number text that reads back exactly, the
// writer of numeric blocks and the walk of a value at any stack depth.
#pragma once

#include "engine/text/dump.hpp"

namespace vke::dump {

// Where dumped text goes, and how far the current line has come.
class DumpWriter {
 public:
  // fd < 0: buffer mode; otherwise text is collected in buffer (a line of
  // the writer's own when buffer is null) and written out to fd.
  DumpWriter(EngineContext* ctx, uint16_t* buffer, int32_t capacity, int32_t* position, int32_t fd);
  DumpWriter(const DumpWriter&) = delete;
  DumpWriter& operator=(const DumpWriter&) = delete;

  EngineContext* ctx() const { return ctx_; }
  // 3 when buffer mode has no buffer or fewer than 50 characters.
  ErrCode Open() const;
  // 8-bit text and 16-bit characters.
  ErrCode Put(const char* text, int32_t length);
  ErrCode Put(const char* text);
  ErrCode PutChars(const uint16_t* chars, int32_t length);
  ErrCode LineEnd();
  // "..." and a line end; in descriptor mode a user break then ends the dump
  // with kStatusHalted.
  ErrCode ContinueLine();
  // Characters written since the last line end.
  int32_t LineLength() const { return lineLength_; }
  // Writes out what is collected (descriptor mode).
  ErrCode Finish();
  // Numbers with the precision's significant digits even where they do not
  // read back exactly: text shown to be read or edited, not reloaded.
  void RoundNumbers() { rounded_ = true; }
  bool NumbersRounded() const { return rounded_; }

 private:
  static constexpr int32_t kReserve = 50;  // room each step of the dump needs
  static constexpr int32_t kOwnLine = 256;

  ErrCode Room(int32_t n);
  ErrCode Flush();

  EngineContext* ctx_;
  uint16_t* text_;
  int32_t size_;
  int32_t* position_;
  int32_t fill_ = 0;
  int32_t fd_;
  int32_t lineLength_ = 0;
  bool rounded_ = false;
  uint16_t own_[kOwnLine];
};

// Text of a double that reads back as the same double (as a single when
// single is set): the precision's significant digits when they do, else 17
// (9 for singles). "NaN", "Inf" and "-Inf" for the values that have no
// digits. At most 32 bytes.
void AppendExactNumber(char* buffer, int32_t* position, int32_t size, double value,
                       int32_t precision, bool single);

// The text of one block (no name, no statement).
ErrCode WriteNumericBlock(DumpWriter& out, const NumericBlock& block, int32_t precision);
// An array without elements of the block's class and the shape's
// dimensions: [], zeros(0,3), int8(zeros(2,0,4)) ...
ErrCode WriteEmptyArray(DumpWriter& out, const NumericBlock& block, const Shape& shape);
// A char row as a quoted string with escapes.
ErrCode WriteQuoted(DumpWriter& out, const uint16_t* chars, int32_t length);
// The value at the depth, as DumpValue writes the top one.
ErrCode DumpEntry(DumpWriter& out, int32_t depth, int32_t precision);

// Opens a writer, writes the body (as the statement name = body; and a line
// end when a name is given) and writes out the rest.
template <typename Body>
ErrCode WriteDump(EngineContext* ctx, uint16_t* buffer, int32_t capacity, int32_t* position,
                  int32_t fd, const char* name, int32_t nameLength, Body body) {
  DumpWriter out(ctx, buffer, capacity, position, fd);
  ErrCode e = out.Open();
  if (e) return e;
  if (name) {
    e = nameLength < 0 ? out.Put(name) : out.Put(name, nameLength);
    if (!e) e = out.Put(" = ");
  }
  if (!e) e = body(out);
  if (!e && name) e = out.Put(";");
  if (!e && name) e = out.LineEnd();
  ErrCode f = out.Finish();
  return e ? e : f;
}

}  // namespace vke::dump
