// Error tables as the libraries publish them: lookup of messages by code and
// of codes by identifier over every "+errmsgtable" hook record, and the
// identifiers of codes.
#include "engine/code/names.hpp"
#include "engine/errors/raise.hpp"
#include "engine/registry/registry.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"

namespace vke {

const ErrorTableRecord kPlotErrorTable[] = {
    {kErrPlotOverflow, "plotOverflow", "Not enough memory for plot"},  // plot object list full
    {0, nullptr, nullptr},
};

namespace {

constexpr char kEnginePrefix[] = "VKE:";
constexpr int32_t kEnginePrefixLength = 4;

// The table of the next "+errmsgtable" record after *hook (from the first
// with null), or null when there is none.
const ErrorTableRecord* NextErrorTable(EngineContext* ctx, const NativeFunctionRecord** hook) {
  while ((*hook = FindLibraryRecord(ctx, "+errmsgtable", *hook, 0, nullptr)))
    if ((*hook)->function) return static_cast<const ErrorTableRecord*>((*hook)->function);
  return nullptr;
}

}  // namespace

const ErrorTableRecord* FindErrorMessage(EngineContext* ctx, ErrCode code, bool wantTemplate) {
  const NativeFunctionRecord* hook = nullptr;
  while (const ErrorTableRecord* r = NextErrorTable(ctx, &hook)) {
    for (; r->message; r++) {
      if (r->code != code) continue;
      if (wantTemplate) {
        for (const ErrorTableRecord* t = r + 1; t->message; t++)
          if (t->code == code) return t;
      }
      return r;
    }
  }
  return nullptr;
}

ErrCode FindErrorIdInTables(EngineContext* ctx, const char* id, int32_t length) {
  if (!id) return 0;
  if (length < 0) length = CStringLength(id);
  if (length <= kEnginePrefixLength ||
      !StringsEqual(id, kEnginePrefixLength, kEnginePrefix, kEnginePrefixLength, false))
    return 0;
  const char* word = id + kEnginePrefixLength;
  const int32_t wordLength = length - kEnginePrefixLength;
  const NativeFunctionRecord* hook = nullptr;
  while (const ErrorTableRecord* r = NextErrorTable(ctx, &hook)) {
    for (; r->message; r++)
      if (r->id && StringsEqual(r->id, -1, word, wordLength, false)) return r->code;
  }
  return 0;
}

ErrCode ErrorCodeOfIdentifier(EngineContext* ctx, const char* id, int32_t length, ErrCode* code) {
  if (length < 0) length = CStringLength(id);
  if (ErrCode known = FindErrorIdInTables(ctx, id, length)) {
    *code = known;
    return kOk;
  }
  int32_t nameId;
  ErrCode e = InternName(ctx, id, length, kMaxErrorIdentifierLength, &nameId);
  if (e) return e;
  *code = nameId;
  return kOk;
}

ErrCode GetErrorIdentifier(EngineContext* ctx, ErrCode code) {
  if (code < 0) {
    int32_t length;
    const char* name = NameText(ctx, code, &length);
    return name ? PushCString(ctx, length, name) : PushCString(ctx, 0, "");
  }
  const ErrorTableRecord* r = code ? FindErrorMessage(ctx, code, false) : nullptr;
  if (!r || !r->id) return PushCString(ctx, 0, "");
  const int32_t wordLength = CStringLength(r->id);
  uint16_t* out;
  ErrCode e = PushNewCharRow(ctx, kEnginePrefixLength + wordLength, &out);
  if (e) return e;
  for (int32_t i = 0; i < kEnginePrefixLength; i++) out[i] = static_cast<uint8_t>(kEnginePrefix[i]);
  for (int32_t i = 0; i < wordLength; i++)
    out[kEnginePrefixLength + i] = static_cast<uint8_t>(r->id[i]);
  return kOk;
}

}  // namespace vke
