// The format command: how numbers look (format letter and digits), the
// spacing of displays and the letter of imaginary parts.
#include "engine/errors/errors.hpp"
#include "engine/text/display.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// What a first argument sets.
enum class FormatSetting : uint8_t { kNumbers, kLoose, kImaginary };
// The second arguments a first argument accepts.
enum class SecondArgument : uint8_t { kNone, kStyle, kBase };

struct FormatOption {
  const char* name;
  FormatSetting setting;
  char letter;     // format letter, or the imaginary letter
  int32_t digits;  // kNumbers: the digits; kLoose: the flag
  SecondArgument second;
};

// The first arguments of format; "format" alone is "format short".
constexpr FormatOption kFormatOptions[] = {
    {"short", FormatSetting::kNumbers, 'f', 4, SecondArgument::kStyle},  // 4 decimals
    {"long", FormatSetting::kNumbers, 'f', 15, SecondArgument::kStyle},  // 15 decimals
    {"int", FormatSetting::kNumbers, 'd', 0, SecondArgument::kBase},     // integers
    {"bank", FormatSetting::kNumbers, 'F', 2, SecondArgument::kStyle},   // 2 decimals
    {"+", FormatSetting::kNumbers, '+', 4, SecondArgument::kNone},       // signs only
    {"compact", FormatSetting::kLoose, 0, 0, SecondArgument::kNone},     // no empty lines
    {"loose", FormatSetting::kLoose, 0, 1, SecondArgument::kNone},       // empty lines around
    {"i", FormatSetting::kImaginary, 'i', 0, SecondArgument::kNone},     // 1+2i
    {"j", FormatSetting::kImaginary, 'j', 0, SecondArgument::kNone},     // 1+2j
};

// Second arguments: styles after short, long and bank; bases after int.
constexpr const char* kStyleWords[] = {"e", "g", "eng"};
constexpr const char* kBaseWords[] = {"d", "u", "o", "x", "b"};

constexpr int32_t kOptionBytes = 16;

// Reads a string argument; one too long to be an option is unknown.
ErrCode ReadOption(EngineContext* ctx, int32_t depth, char* text, int32_t* length) {
  ErrCode e = GetStringArgToBuffer(ctx, depth, text, kOptionBytes, length);
  return e == kErrObjTooLarge ? kErrUnknownOpt : e;
}

template <size_t N>
bool IsOneOf(const char* text, int32_t length, const char* const (&words)[N]) {
  for (const char* w : words)
    if (StringsEqual(text, length, w, -1, false)) return true;
  return false;
}

// The format letter a second argument selects ("eng" gives 'n').
ErrCode SecondLetter(const FormatOption& option, const char* text, int32_t length, char* letter) {
  bool accepted = (option.second == SecondArgument::kStyle && IsOneOf(text, length, kStyleWords)) ||
                  (option.second == SecondArgument::kBase && IsOneOf(text, length, kBaseWords));
  if (!accepted) return kErrUnknownOpt;
  *letter = length == 3 ? 'n' : text[0];
  return kOk;
}

}  // namespace

ErrCode FormatBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  if (nargin < 0) return kErrTooFewArgin;
  if (nargin > 2) return kErrTooManyArgin;
  char first[kOptionBytes] = "short", second[kOptionBytes];
  int32_t firstLength = 5, secondLength = 0;
  if (nargin >= 1) {
    ErrCode e = ReadOption(ctx, nargin - 1, first, &firstLength);
    if (e) return e;
  }
  if (nargin == 2) {
    ErrCode e = ReadOption(ctx, 0, second, &secondLength);
    if (e) return e;
  }
  const FormatOption* option = nullptr;
  for (const FormatOption& o : kFormatOptions)
    if (StringsEqual(first, firstLength, o.name, -1, false)) option = &o;
  if (!option) return kErrUnknownOpt;
  char letter = option->letter;
  if (nargin == 2) {
    ErrCode e = SecondLetter(*option, second, secondLength, &letter);
    if (e) return e;
  }
  switch (option->setting) {
    case FormatSetting::kNumbers:
      ctx->formatLetter = static_cast<uint8_t>(letter);
      ctx->displayDigits = option->digits;
      break;
    case FormatSetting::kLoose:
      ctx->looseSpacing = static_cast<uint8_t>(option->digits);
      break;
    case FormatSetting::kImaginary:
      ctx->imagLetter = static_cast<uint8_t>(letter);
      break;
  }
  return Drop(ctx, nargin);
}

}  // namespace vke
