// Language sections: their texts, the current language and changing it.
#include "app/languages.hpp"

#include "app/draw_cycle.hpp"
#include "app/errors.hpp"
#include "app/handler_elements.hpp"
#include "app/instances.hpp"
#include "engine/text/text.hpp"
#include "graphics/figure_codes.hpp"

namespace vke {

namespace {

void SplitLanguage(std::string_view text, std::string_view* code, std::string_view* name) {
  const size_t semicolon = text.find(';');
  *code = semicolon == std::string_view::npos ? text : text.substr(0, semicolon);
  *name = semicolon == std::string_view::npos ? text : text.substr(semicolon + 1);
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return StringsEqual(a.data(), static_cast<int32_t>(a.size()), b.data(),
                      static_cast<int32_t>(b.size()), true);
}

// Calls f(offset, code, name) for every language section of the instance in
// list order until f answers false.
template <typename F>
ErrCode ForEachSection(KVContextBlock* block, int32_t id, F f) {
  uint32_t start;
  if (ErrCode e = FindInstanceStart(block, id, &start)) return e;
  const ElementListView list = BlockElements(block, start, kNoLanguage);
  ForEachInstanceElement(list, [&](const ElementRef& e) {
    std::string_view text, code, name;
    if (e.kind != kElemLanguageSection || !ElementText(list, e, 0, &text)) return true;
    SplitLanguage(text, &code, &name);
    return f(static_cast<int32_t>(e.offset), code, name);
  });
  return kOk;
}

}  // namespace

ErrCode GetLanguageInfo(KVContextBlock* block, int32_t id, int32_t offset, std::string_view* code,
                        std::string_view* name) {
  *code = *name = std::string_view();
  bool found = offset < 0;
  if (ErrCode e =
          ForEachSection(block, id, [&](int32_t at, std::string_view c, std::string_view n) {
            if (at != offset) return true;
            *code = c;
            *name = n;
            found = true;
            return false;
          }))
    return e;
  return found ? ErrCode{kOk} : ErrCode{kKvUndefElement};
}

ErrCode GetLanguageName(KVContextBlock* block, int32_t id, int32_t* offset, std::string_view* code,
                        std::string_view* name) {
  const int32_t from = *offset;
  bool found = false;
  // A section is new when no section before it has its code.
  ErrCode e = ForEachSection(block, id, [&](int32_t at, std::string_view c, std::string_view n) {
    if (at <= from) return true;
    bool seen = false;
    ForEachSection(block, id, [&](int32_t before, std::string_view other, std::string_view) {
      if (before >= at) return false;
      seen = other == c;
      return !seen;
    });
    if (seen) return true;
    *offset = at;
    *code = c;
    *name = n;
    found = true;
    return false;
  });
  if (e) return e;
  return found ? ErrCode{kOk} : ErrCode{kKvUndefElement};
}

ErrCode GetCurrentLanguage(KVContextBlock* block, int32_t id, int32_t* offset,
                           std::string_view* code, std::string_view* name) {
  const InstanceRecord* r = FindInstance(block, id);
  if (!r) return kKvNonexistentInstance;
  *offset = r->currentLanguage;
  if (GetLanguageInfo(block, id, r->currentLanguage, code, name)) *code = *name = {};
  return kOk;
}

ErrCode FindLanguageByName(KVContextBlock* block, int32_t id, std::string_view text,
                           int32_t* offset) {
  bool found = false;
  if (ErrCode e =
          ForEachSection(block, id, [&](int32_t at, std::string_view c, std::string_view n) {
            found = EqualIgnoringCase(c, text) || EqualIgnoringCase(n, text);
            if (found) *offset = at;
            return !found;
          }))
    return e;
  return found ? ErrCode{kOk} : ErrCode{kKvUndefElement};
}

ErrCode SelectLanguageByName(KVContextBlock* block, int32_t id, std::string_view text) {
  int32_t offset;
  if (ErrCode e = FindLanguageByName(block, id, text, &offset)) return e;
  InstanceRecord* r = FindInstance(block, id);
  if (r->currentLanguage == offset) return kOk;
  r->currentLanguage = offset;
  return kStatusInstanceChanged;
}

ErrCode RunLanguageInitHandlers(KVContextBlock** slot, int32_t id, int32_t* ran) {
  HandlerRequest request;
  request.kind = kElemLanguageInit;
  request.fdValue = 1;
  return RunElementsOfKind(slot, id, kElemLanguageInit, request, ran);
}

ErrCode SetInstanceLanguage(KVContextBlock** slot, int32_t id, int32_t offset) {
  BeginTopLevelAction((*slot)->Engine());
  InstanceRecord* r = FindInstance(*slot, id);
  if (!r) return kKvNonexistentInstance;
  if (r->currentLanguage == offset) return kOk;
  std::string_view code, name;
  if (offset != kNoLanguage && GetLanguageInfo(*slot, id, offset, &code, &name))
    return kKvUndefElement;
  r->currentLanguage = offset;
  int32_t ran = 0;
  const ErrCode e = RunLanguageInitHandlers(slot, id, &ran);
  if (ran > 0 || e) RunDrawHandlers(slot, id);
  return e ? e : kStatusInstanceChanged;
}

}  // namespace vke
