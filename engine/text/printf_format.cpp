// The template formatter: directives, conversions and the cycling of the
// template over its values; the text is left whole or handed out in pieces.
#include <algorithm>
#include <cmath>

#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/registry/registry.hpp"
#include "engine/room_requests.hpp"
#include "engine/text/number_text.hpp"
#include "engine/text/printf.hpp"
#include "engine/text/printf_args.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr int32_t kDefaultPrecision = 4;
constexpr int32_t kNoPrecision = -1;
// Width and precision digits saturate here; the buffer ends far earlier.
constexpr int32_t kMaxFieldNumber = 100000000;
constexpr double kTwoTo63 = 9223372036854775808.0;
constexpr double kTwoTo64 = 18446744073709551616.0;

bool IsAsciiLetter(uint16_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

uint16_t LowerCase(uint16_t c) {
  return c >= 'A' && c <= 'Z' ? static_cast<uint16_t>(c + 32) : c;
}

bool IsFloatLetter(uint16_t c) {
  switch (LowerCase(c)) {
    case 'f':
    case 'e':
    case 'n':
    case 'g':
    case 'k':
      return true;
    default:
      return false;
  }
}

bool IsConversionLetter(uint16_t c) {
  switch (c) {
    case '%':
    case 'c':
    case 's':
    case 'd':
    case 'i':
    case 'o':
    case 'x':
    case 'X':
      return true;
    default:
      return IsFloatLetter(c);
  }
}

// One "%" directive.
struct Directive {
  bool left = false, plus = false, blank = false, alternate = false, zeroPad = false;
  int32_t width = 0;
  int32_t precision = kNoPrecision;
  uint16_t letter = 0;

  int32_t PrecisionOr(int32_t fallback) const {
    return precision == kNoPrecision ? fallback : precision;
  }
  // d, i, o, x: a given precision is the minimum digit count.
  int32_t MinDigits() const { return PrecisionOr(1); }
};

// The characters a sink is handed at a time: about this many, more only
// when a field is longer.
constexpr int32_t kPieceChars = 32768;

// The output row: 16-bit characters, with LF turned into the line end when
// translating. With a sink, the row holds only the text not yet handed out.
struct TextWriter {
  uint16_t* out;
  int32_t capacity;
  int32_t length = 0;
  const char* lineEnd = nullptr;  // null: no translation
  int32_t lineEndLength = 0;
  TextPieceSink* sink = nullptr;
  int32_t pieceChars = 0;  // the row is handed out once it holds this much
  bool handedOut = false;  // a piece has been taken
  // The text outgrew the row (a failure for room elsewhere, a refused
  // request or a piece without room, is a shortage whatever the row's size).
  bool full = false;

  ErrCode Full() {
    full = true;
    return kErrDataOverflow;
  }

  // Between fields: hands the text out when a piece is full.
  ErrCode HandOutIfFull() { return sink && length > 0 && length >= pieceChars ? HandOut() : kOk; }
  ErrCode HandOut() {
    handedOut = true;
    const int32_t n = length;
    length = 0;
    return sink->Take(out, n);
  }

  ErrCode Put(uint16_t c) {
    if (length >= capacity) return Full();
    out[length++] = c;
    return kOk;
  }
  ErrCode PutText(uint16_t c) {
    if (c != '\n' || !lineEnd) return Put(c);
    for (int32_t i = 0; i < lineEndLength; i++)
      if (ErrCode e = Put(static_cast<uint8_t>(lineEnd[i]))) return e;
    return kOk;
  }
  // Runs an 8-bit appender at the end of the row and widens what it wrote.
  // The appender writes into the bytes behind the row, twice the room it
  // may take, and stops short of their end (its digits 2 bytes before, its
  // exponent when 5 are not left): only a text that ends within the room
  // and clear of that margin is whole.
  template <typename Append>
  ErrCode PutNumber(Append append) {
    const int32_t room = capacity - length;
    char* bytes = reinterpret_cast<char*>(out);
    const int32_t start = 2 * length;
    int32_t position = start;
    append(bytes, &position, start + 2 * room);
    const int32_t written = position - start;
    if (written >= room || written + 5 >= 2 * room) return Full();
    for (int32_t i = written - 1; i >= 0; i--)
      out[length + i] = static_cast<uint8_t>(bytes[start + i]);
    length += written;
    return kOk;
  }
  // Pads the text written since start with blanks to the width.
  ErrCode PadField(int32_t start, const Directive& d) {
    const int32_t gap = d.width - (length - start);
    if (gap <= 0) return kOk;
    if (AppendRepeatedChar(out, &length, ' ', gap, capacity) < gap) return Full();
    if (!d.left) std::rotate(out + start, out + length - gap, out + length);
    return kOk;
  }
};

ErrCode PutDouble(TextWriter& w, double value, const Directive& d, uint16_t letter) {
  // %g with a precision of its own asks for that many significant digits.
  if (LowerCase(d.letter) == 'g' && d.precision != kNoPrecision) {
    return w.PutNumber([&](char* b, int32_t* p, int32_t size) {
      FormatSignificant(b, p, value, d.precision, d.width, d.left, d.letter == 'G', d.plus, d.blank,
                        d.zeroPad, d.alternate, size);
    });
  }
  return w.PutNumber([&](char* b, int32_t* p, int32_t size) {
    FormatDouble(b, p, value, d.PrecisionOr(kDefaultPrecision),
                 static_cast<char>(LowerCase(letter)), d.width, d.left, letter != LowerCase(letter),
                 d.plus, d.blank, d.zeroPad, d.alternate, size);
  });
}

ErrCode PutInt64(TextWriter& w, uint64_t bits, bool isUnsigned, const Directive& d) {
  return w.PutNumber([&](char* b, int32_t* p, int32_t size) {
    AppendFormattedInt64(b, p, static_cast<int64_t>(bits), isUnsigned, d.width, d.left, d.plus,
                         d.blank, d.MinDigits(), size);
  });
}

// d and i: whole numbers exactly (finite doubles rounded as x + 0.5 rounded
// down), the rest as with g.
ErrCode PutDecimal(TextWriter& w, const TemplateElement& el, const Directive& d) {
  if (el.is64) return PutInt64(w, el.bits, el.isUnsigned, d);
  if (std::isfinite(el.value)) {
    const double r = std::floor(el.value + 0.5);
    if (r >= -kTwoTo63 && r < kTwoTo63)
      return PutInt64(w, static_cast<uint64_t>(static_cast<int64_t>(r)), false, d);
    if (r >= 0 && r < kTwoTo64) return PutInt64(w, static_cast<uint64_t>(r), true, d);
  }
  return PutDouble(w, el.value, d, 'g');
}

// o, x and X: non-negative whole numbers in octal or hexadecimal, the rest
// as with g.
ErrCode PutRadix(TextWriter& w, const TemplateElement& el, const Directive& d) {
  uint64_t bits;
  if (el.is64 && (el.isUnsigned || static_cast<int64_t>(el.bits) >= 0)) {
    bits = el.bits;
  } else if (!el.is64 && el.value >= 0 && el.value < kTwoTo64) {
    bits = static_cast<uint64_t>(el.value);
  } else {
    return PutDouble(w, el.value, d, 'g');
  }
  return w.PutNumber([&](char* b, int32_t* p, int32_t size) {
    if (d.letter == 'o')
      AppendOctal64(b, p, bits, d.width, d.left, d.alternate, d.MinDigits(), size);
    else
      AppendHex64(b, p, bits, d.width, d.left, d.letter == 'X', d.alternate, d.MinDigits(), size);
  });
}

// One pass over the template and its directives.
class TemplateRun {
 public:
  TemplateRun(const uint8_t* chars, int32_t length, TemplateArguments& args, TextWriter& w)
      : chars_(chars), length_(length), args_(args), w_(w) {}

  // Writes the template once. 29 when a conversion found no element left.
  ErrCode Pass() {
    for (int32_t i = 0; i < length_;) {
      if (ErrCode e = w_.HandOutIfFull()) return e;
      const uint16_t c = At(i);
      if (c != '%') {
        if (ErrCode e = w_.PutText(c)) return e;
        i++;
        continue;
      }
      int32_t j = i + 1;
      while (j < length_ && !IsAsciiLetter(At(j)) && At(j) != '_' && At(j) != '%') j++;
      if (j == length_ || !IsConversionLetter(At(j))) {
        // Not a conversion: "%" is written, flags, width and precision are
        // dropped, and the text goes on at the letter.
        if (ErrCode e = w_.Put('%')) return e;
        i = j < length_ ? j : i + 1;
        continue;
      }
      Directive d;
      d.letter = At(j);
      if (ErrCode e = ParseFields(i + 1, j, &d)) return e;
      if (ErrCode e = Convert(d)) return e;
      i = j + 1;
    }
    return kOk;
  }

 private:
  uint16_t At(int32_t i) const { return Load<uint16_t>(chars_ + 2ll * i); }

  // A decimal number of the template, or "*": the next element.
  ErrCode ReadNumber(int32_t* k, int32_t end, int32_t* value) {
    if (*k < end && At(*k) == '*') {
      (*k)++;
      TemplateElement el;
      if (ErrCode e = args_.FetchNextElement(&el)) return e;
      *value = std::clamp(TruncToInt32(el.value), 0, kMaxFieldNumber);
      return kOk;
    }
    *value = 0;
    for (; *k < end && At(*k) >= '0' && At(*k) <= '9'; (*k)++)
      *value = std::min(*value * 10 + (At(*k) - '0'), kMaxFieldNumber);
    return kOk;
  }

  // Flags, width and precision between "%" (at k) and the letter (at end).
  ErrCode ParseFields(int32_t k, int32_t end, Directive* d) {
    for (; k < end; k++) {
      const uint16_t c = At(k);
      if (c == '-')
        d->left = true;
      else if (c == '+')
        d->plus = true;
      else if (c == '#')
        d->alternate = true;
      else if (c == ' ')
        d->blank = true;
      else
        break;
    }
    d->zeroPad = k < end && At(k) == '0' && IsFloatLetter(d->letter);
    if (ErrCode e = ReadNumber(&k, end, &d->width)) return e;
    if (k < end && At(k) == '.') {
      k++;
      return ReadNumber(&k, end, &d->precision);
    }
    return kOk;
  }

  ErrCode Convert(const Directive& d) {
    if (RoomRefused(RoomKind::kText)) return kErrDataOverflow;
    TemplateElement el;
    const int32_t start = w_.length;
    switch (d.letter) {
      case '%':
        return w_.Put('%');
      case 'c':
        if (ErrCode e = args_.FetchNextElement(&el)) return e;
        if (ErrCode e = w_.PutText(ElementCharCode(el))) return e;
        return w_.PadField(start, d);
      case 's':
        return ConvertString(d);
      case 'd':
      case 'i':
        if (ErrCode e = args_.FetchNextElement(&el)) return e;
        return PutDecimal(w_, el, d);
      case 'o':
      case 'x':
      case 'X':
        if (ErrCode e = args_.FetchNextElement(&el)) return e;
        return PutRadix(w_, el, d);
      default:
        if (ErrCode e = args_.FetchNextElement(&el)) return e;
        return PutDouble(w_, el.value, d, d.letter);
    }
  }

  // The rest of the current argument as characters, at most precision of
  // them written.
  ErrCode ConvertString(const Directive& d) {
    if (ErrCode e = args_.AdvanceToNextArgument()) return e;
    const int32_t start = w_.length;
    const int32_t rest = args_.RemainingArgumentElements();
    const int32_t shown = d.precision == kNoPrecision ? rest : std::min(rest, d.precision);
    for (int32_t k = 0; k < rest; k++) {
      TemplateElement el;
      if (ErrCode e = args_.FetchNextElement(&el)) return e;
      if (k >= shown) continue;
      if (ErrCode e = w_.PutText(ElementCharCode(el))) return e;
    }
    return w_.PadField(start, d);
  }

  const uint8_t* chars_;
  int32_t length_;
  TemplateArguments& args_;
  TextWriter& w_;
};

// Writes the template again and again while elements remain; it stops when
// a pass consumed no element or a conversion found none left.
ErrCode RunTemplate(TemplateRun& run, TemplateArguments& args) {
  for (;;) {
    const int64_t before = args.consumed();
    ErrCode e = run.Pass();
    if (e == kErrIndexOutOfRange) return kOk;
    if (e) return e;
    if (args.consumed() == before) return kOk;
    e = args.AdvanceToNextArgument();
    if (e == kErrIndexOutOfRange) return kOk;
    if (e) return e;
  }
}

}  // namespace

int32_t OutputLineEndMode(EngineContext* ctx) {
  const NativeFunctionRecord* rec = nullptr;
  while ((rec = FindLibraryRecord(ctx, "+write", rec, 0, nullptr))) {
    if (!rec->function) continue;
    auto write = reinterpret_cast<WriteHookFn>(rec->function);
    if (write(ctx, kFdOut, "", 0, RecordUserData(ctx, rec)) == kOk)
      return Load<int32_t>(&rec->minIn);
  }
  return kLineEndLF;
}

ErrCode FormatWithTemplate(EngineContext* ctx, int32_t n, bool translateNewlines, const char** text,
                           int32_t* length, TextPieceSink* pieces) {
  if (n < 1) return kErrTooFewArgin;
  if (ViewNumeric(ctx, n - 1).cls != ValueClass::kChar) return kErrBadArg;
  TextWriter w{nullptr, 0};
  if (translateNewlines) w.lineEnd = LineEndBytes(OutputLineEndMode(ctx), &w.lineEndLength);
  w.capacity = -2;  // half of the free data-stack bytes
  ErrCode e = PushStringOfLength(ctx, &w.capacity, &w.out);
  if (e) return e;
  // The working row is on top now: the template lies at depth n.
  const NumericView tmpl = ViewNumeric(ctx, n);
  TemplateArguments args(ctx, n - 1, n - 1);
  TemplateRun run(tmpl.elements, tmpl.shape.count, args, w);
  if (pieces) {
    w.sink = pieces;
    // Half of the room at most, so that a field always has the other half.
    w.pieceChars = std::min(kPieceChars, w.capacity / 2);
  }
  e = RunTemplate(run, args);
  if (e == kErrDataOverflow && w.full) e = TextRoomError(w.capacity);
  if (pieces) {
    // The rest, and the one (maybe empty) write of a text that had none.
    if (!e && (w.length > 0 || !w.handedOut)) e = w.HandOut();
    Drop(ctx);
    return e;
  }
  if (!e) e = FinishByteString(ctx, w.length);
  if (!e && text) e = GetStringArgCopy(ctx, 0);
  if (e) {
    Drop(ctx);
    return e;
  }
  if (!text) return kOk;
  DropStackEntries(ctx, 1, 1);  // the char row below the bytes
  const NumericView bytes = ViewNumeric(ctx, 0);
  *text = reinterpret_cast<const char*>(bytes.elements);
  *length = bytes.shape.count;
  return kOk;
}

}  // namespace vke
