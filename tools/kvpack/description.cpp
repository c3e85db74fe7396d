// Parsing application descriptions.
#include "tools/kvpack/description.hpp"

#include <string_view>
#include <unordered_set>

#include "app/element_list.hpp"
#include "app/errors.hpp"
#include "compiler/compile_internal.hpp"
#include "tools/kvpack/line_tokens.hpp"
#include "tools/kvpack/word_choices.hpp"

namespace vke::kvpack {

namespace {

constexpr uint32_t kNoElement = 0;
constexpr int32_t kMaxNameChars = 28;  // a name-buffer slot

// What the keywords take, for the errors of lines that hold more.
constexpr char kTakesText[] = "one text: a string, or <<TAG and the lines up to TAG";
constexpr char kTakesFile[] = "one string, the file's path";
constexpr char kTakesEmbed[] = "a name and then file \"PATH\" or one text";

struct Keyword {
  const char* word;
  uint32_t kind;
};
constexpr Keyword kKeywords[] = {
#define VKE_ELEMENT_KIND(code, name, layout, keyword, group, slot, action, meaning) {keyword, code},
#include "app/element_kinds.def"
#undef VKE_ELEMENT_KIND
#define KVPACK_KEYWORD(word, what) {word, kNoElement},
#include "tools/kvpack/keywords.def"
#undef KVPACK_KEYWORD
};

// No keyword of the description names two things.
constexpr bool KeywordsUnique() {
  for (size_t i = 0; i < std::size(kKeywords); i++)
    for (size_t j = i + 1; j < std::size(kKeywords); j++)
      if (*kKeywords[i].word && std::string_view(kKeywords[i].word) == kKeywords[j].word)
        return false;
  return true;
}
static_assert(KeywordsUnique());

// ---- The parser ----

// Declarations that are only valid in some places.
bool InsideMenu(uint32_t kind) {
  return kind == kElemMenuItem || kind == kElemMenuSeparator || kind == kElemMenuStructure;
}
bool FigureHandler(uint32_t kind) {
  return ElementHandlerGroup(kind) != HandlerGroup::kNone;
}
bool BeforeItems(uint32_t kind) {
  return kind == kElemTitle || kind == kElemVersion || kind == kElemHelp || kind == kElemUiOptions;
}
// What the menu lookup reads: valid after the end of the language sections.
bool MenuLookupKind(uint32_t kind) {
  switch (kind) {
    case kElemLanguageSection:
    case kElemPaste:
    case kElemCopy:
    case kElemMenuLookupEnd:
    case kElemMenuItem:
    case kElemMenuStructure:
    case kElemMenuStart:
    case kElemMenuEnd:
    case kElemMenuSeparator:
      return true;
    default:
      return false;
  }
}
// Kinds whose text may not be empty.
bool NeedsText(uint32_t kind) {
  switch (kind) {
    case kElemInstanceStart:
    case kElemLanguageSection:
    case kElemCopy:
    case kElemFunction:
    case kElemMenuItem:
    case kElemMenuStructure:
    case kElemMenuStart:
    case kElemFigure:
    case kElemEmbeddedFile:
      return true;
    default:
      return false;
  }
}
// Kinds declared once.
bool Once(uint32_t kind) {
  return kind == kElemInstanceStart || kind == kElemStartOutputs || kind == kElemStartupScript ||
         kind == kElemInstanceCode;
}

// True when the text is one expression that can stand in parentheses by
// itself: one line, brackets that balance, no statement separator, comment
// or continuation outside strings and brackets. The compiler judges the rest.
bool IsOneExpression(const std::string& text) {
  if (text.find_first_of("\r\n") != std::string::npos) return false;
  const int32_t n = static_cast<int32_t>(text.size());
  int32_t depth = 0;
  char previous = ' ';
  for (int32_t i = 0; i < n; i++) {
    const char c = text[i];
    const char next = i + 1 < n ? text[i + 1] : '\0';
    if (c == '\'' && !EndsOperandChar(previous)) {
      i = ClosingQuote(text.data(), n, i);
      if (i >= n) return false;
      previous = '\'';
      continue;
    }
    if (c == '%' || (c == '/' && (next == '/' || next == '*')) || text.compare(i, 3, "...") == 0)
      return false;
    if (c == '(' || c == '[' || c == '{') depth++;
    if ((c == ')' || c == ']' || c == '}') && --depth < 0) return false;
    if (depth == 0 && (c == ',' || c == ';')) return false;
    previous = c == '\t' ? ' ' : c;
  }
  return depth == 0;
}

class Parser {
 public:
  Parser(const std::string& text, AppDescription* out, DescriptionError* error)
      : text_(text), out_(out), error_(error) {}

  bool Run() {
    std::vector<Token> tokens;
    while (NextLine()) {
      if (!Tokenize(line_, &tokens, error_)) return Fail();
      if (tokens.empty()) continue;
      c_.Reset(std::move(tokens));
      if (!Declaration()) return false;
    }
    if (inMenu_) return Fail(kKvMissingEndmenu, "menu");
    return true;
  }

 private:
  // ---- Lines and tokens ----

  bool NextLine() {
    if (at_ >= text_.size()) return false;
    size_t end = text_.find('\n', at_);
    if (end == std::string::npos) end = text_.size();
    line_ = std::string_view(text_).substr(at_, end - at_);
    at_ = end + 1;
    lineNumber_++;
    return true;
  }
  const Token& Peek() const { return c_.Peek(); }
  bool IsPunct(char c) const { return c_.IsPunct(c); }
  bool IsWord(const char* w) const { return c_.IsWord(w); }
  Token Take() { return c_.Take(); }
  bool AtEnd() const { return c_.AtEnd(); }

  bool Fail(ErrCode code, std::string detail) {
    *error_ = {code, lineNumber_, std::move(detail), ""};
    return false;
  }
  bool Fail() {
    error_->line = lineNumber_;
    return false;
  }
  // The rest of the line must be empty: after a handler's binding, and
  // after the arguments of the line's keyword, which the error tells.
  bool End() { return AtEnd() || Fail(kKvUnexpectedCharAfterFunDecl, Peek().text); }
  bool EndOf(const char* takes) {
    return AtEnd() ||
           Fail(kKvUnexpectedChar, Shown(Peek()) + " after " + keyword_ + ", which takes " + takes);
  }

  // ---- Values ----

  bool String(std::string* out) {
    if (Peek().type != Tok::kString) return Fail(kKvStringExpected, Peek().text);
    *out = Take().text;
    return true;
  }
  // A string, or a block of the lines up to its tag.
  bool Text(std::string* out) {
    if (Peek().type == Tok::kString) return String(out);
    if (Peek().type != Tok::kBlock) return Fail(kKvBlockExpected, Peek().text);
    const std::string tag = Take().text;
    if (!AtEnd()) return Fail(kKvSyntaxError, Peek().text);
    const int32_t start = lineNumber_;
    out->clear();
    bool first = true;
    while (NextLine()) {
      std::string_view l = line_;
      while (!l.empty() && (l.back() == '\r' || l.back() == ' ' || l.back() == '\t'))
        l.remove_suffix(1);
      size_t lead = 0;
      while (lead < l.size() && (l[lead] == ' ' || l[lead] == '\t')) lead++;
      if (l.substr(lead) == tag) {
        c_.Clear();
        return true;
      }
      if (!first) *out += '\n';
      *out +=
          line_.substr(0, line_.size() && line_.back() == '\r' ? line_.size() - 1 : line_.size());
      first = false;
    }
    lineNumber_ = start;
    return Fail(kKvUnterminatedBlock, tag);
  }
  // An integer of 32 bits, signed or not.
  bool Number(int64_t* out) {
    const Token& t = Peek();
    if (t.type != Tok::kNumber || !t.integer || t.number < INT32_MIN || t.number > UINT32_MAX)
      return Fail(kKvSyntaxError, t.text);
    *out = static_cast<int64_t>(Take().number);
    return true;
  }

  // ---- Descriptors ----

  // "(a, b)" or "a": names into out; codes for the errors of the list kind.
  bool NameList(std::vector<std::string>* out, ErrCode unterminated, ErrCode unexpected) {
    if (!IsPunct('(')) {
      out->push_back(Take().text);
      return true;
    }
    Take();
    if (IsPunct(')')) return Take(), true;
    for (;;) {
      if (AtEnd()) return Fail(unterminated, "");
      if (Peek().type != Tok::kName) return Fail(unexpected, Peek().text);
      out->push_back(Take().text);
      if (IsPunct(')')) return Take(), true;
      if (AtEnd()) return Fail(unterminated, "");
      if (!IsPunct(',')) return Fail(unexpected, Peek().text);
      Take();
    }
  }
  // "(x, 3, _y)": the inputs.
  bool Inputs(std::vector<Argument>* out) {
    Take();  // "("
    if (IsPunct(')')) return Take(), true;
    for (;;) {
      if (AtEnd()) return Fail(kKvUnterminatedInArgs, "");
      const Token t = Take();
      if (t.type == Tok::kName) {
        out->push_back({t.text, 0});
      } else if (t.type == Tok::kNumber && t.integer) {
        if (t.number < kMinInputConstant || t.number > kMaxInputConstant)
          return Fail(kKvSyntaxError, t.text + " is out of range");
        out->push_back({"", static_cast<int64_t>(t.number)});
      } else if (t.type == Tok::kString) {
        return Fail(kKvUnexpectedCharInArgs,
                    Shown(t) +
                        " is a text where an input is expected (a variable, a standard "
                        "variable or an integer)");
      } else {
        return Fail(kKvUnexpectedCharInArgs, t.text);
      }
      if (IsPunct(')')) return Take(), true;
      if (AtEnd()) return Fail(kKvUnterminatedInArgs, "");
      if (!IsPunct(',')) return Fail(kKvUnexpectedCharInArgs, Peek().text);
      Take();
    }
  }
  // A call descriptor; its errors tell the forms it may take.
  bool Descriptor(DescriptorSpec* d) {
    if (DescriptorParts(d)) return true;
    TellDescriptorForms(error_);
    return false;
  }
  // [outputs "="] function["(" inputs ")"] | [outputs "="] "(" inputs ")".
  bool DescriptorParts(DescriptorSpec* d) {
    if (Peek().type == Tok::kString)
      return Fail(kKvBadFunName, Shown(Peek()) + " is a text where a binding is expected");
    // Outputs, when an "=" follows the first name or list.
    const size_t mark = c_.Position();
    bool hasOutputs = false;
    if (Peek().type == Tok::kName || IsPunct('(')) {
      std::vector<std::string> names;
      DescriptionError saved = *error_;
      if (NameList(&names, kKvUnterminatedOutArgs, kKvUnexpectedCharOutArgs) && IsPunct('=')) {
        Take();
        d->outputs = std::move(names);
        hasOutputs = true;
      } else {
        *error_ = saved;
        c_.Rewind(mark);
      }
    }
    if (IsPunct('(')) {
      if (!Inputs(&d->inputs)) return false;
      if (d->inputs.size() != d->outputs.size())
        return Fail(kKvBadDef, "each output takes one input");
      return true;
    }
    if (Peek().type != Tok::kName) {
      if (hasOutputs && Peek().type == Tok::kString)
        return Fail(kKvBadFunName, Shown(Peek()) + " is a text where a function name is expected");
      if (hasOutputs) return Fail(kKvBadFunName, Peek().text);
      if (IsPunct(')') || IsPunct(',')) return Fail(kKvUnexpectedCharOutArgs, Peek().text);
      return Fail(AtEnd() ? kKvMissingFunDecl : kKvBadFunName, Peek().text);
    }
    d->function = Take().text;
    if (IsPunct('=')) return Fail(kKvMissingEqualInFunDecl, d->function);
    if (IsPunct('(')) return Inputs(&d->inputs);
    return true;
  }

  // "enabled EXPR" and "checked EXPR" after a menu, copy or paste item.
  bool ItemFlags(ItemSpec* item) {
    while (!AtEnd()) {
      const bool enabled = IsWord("enabled");
      if (!enabled && !(item->kind == kElemMenuItem && IsWord("checked")))
        return Fail(kKvUnexpectedCharAfterFunDecl, Peek().text);
      Take();
      std::string* expr = enabled ? &item->enabled : &item->checked;
      if (!expr->empty()) return Fail(kKvInvalidMultipleDecl, enabled ? "enabled" : "checked");
      if (!String(expr)) return false;
      if (expr->empty()) return Fail(kKvEmptyString, enabled ? "enabled" : "checked");
      if (!IsOneExpression(*expr)) return Fail(kKvSyntaxError, "not one expression: " + *expr);
    }
    return true;
  }

  // ---- Declarations ----

  bool Declaration() {
    const Token word = Take();
    const Keyword* k = nullptr;
    for (const Keyword& candidate : kKeywords)
      if (word.type == Tok::kName && *candidate.word && word.text == candidate.word) k = &candidate;
    if (!k) return UnknownKeyword(word);
    keyword_ = word.text;
    if (k->kind == kNoElement && word.text == "var") return Variables();
    if (k->kind == kNoElement) {
      SourceSpec s{"", lineNumber_};
      if (!String(&s.path) || !EndOf(kTakesFile)) return false;
      out_->sources.push_back(std::move(s));
      return true;
    }
    ItemSpec item;
    item.kind = k->kind;
    item.line = lineNumber_;
    if (!Placement(item.kind, word.text)) return false;
    if (!Arguments(&item)) return false;
    if (NeedsText(item.kind) && item.text.empty()) return Fail(kKvEmptyString, word.text);
    if (item.kind == kElemPaste && item.text.empty() &&
        (out_->items.empty() || out_->items.back().kind != kElemPaste))
      return Fail(kKvEmptyString, "a paste item without text continues another");
    Track(item.kind);
    if (item.kind == kElemInstanceStart) {
      out_->fileName = item.text;
      out_->fileNameLine = item.line;
      return true;
    }
    out_->items.push_back(std::move(item));
    return true;
  }

  // A word that is no keyword: the keywords nearest to it, or all of them.
  bool UnknownKeyword(const Token& word) {
    std::vector<std::string_view> keywords;
    for (const Keyword& k : kKeywords)
      if (*k.word) keywords.push_back(k.word);
    // A keyword written as a text is near it too.
    std::vector<std::string_view> nearest;
    if (word.type == Tok::kName || word.type == Tok::kString)
      nearest = NearestWords(word.text, keywords);
    if (nearest.empty())
      return Fail(kKvUnknownKeyword, Shown(word) + "; the keywords are " + WordList(keywords));
    return Fail(kKvUnknownKeyword, Shown(word) + "; the nearest keyword" +
                                       (nearest.size() > 1 ? "s are " : " is ") +
                                       WordList(nearest));
  }

  bool Variables() {
    if (AtEnd()) return Fail(kKvBadVarDecl, "var");
    while (!AtEnd()) {
      const Token t = Take();
      if (t.type == Tok::kPunct && t.text == ",") continue;
      if (t.type != Tok::kName) return Fail(kKvBadVarDecl, t.text);
      if (t.text[0] == '_') return Fail(kKvUnexpectedStdVar, t.text);
      if (t.text.size() > kMaxNameChars) return Fail(kKvBadVarDecl, t.text);
      if (!variables_.insert(t.text).second) return Fail(kKvVarDuplicate, t.text);
      out_->variables.push_back(t.text);
    }
    return true;
  }

  // Whether a declaration of the kind may stand here.
  bool Placement(uint32_t kind, const std::string& word) {
    if (Once(kind) && seen_[kind]) return Fail(kKvInvalidMultipleDecl, word);
    if (kind == kElemMenuStart && inMenu_) return Fail(kKvNestedMenu, word);
    if (kind == kElemMenuEnd && !inMenu_) return Fail(kKvMenuendMismatch, word);
    if (InsideMenu(kind) && !inMenu_) return Fail(kKvMenuOutsideBeginmenu, word);
    if (!InsideMenu(kind) && kind != kElemMenuEnd && inMenu_) return Fail(kKvInvalidDeclHere, word);
    if (FigureHandler(kind) && !seen_[kElemFigure]) return Fail(kKvInvalidDeclHere, word);
    if (BeforeItems(kind) && (seen_[kElemMenuItem] || seen_[kElemFigure]))
      return Fail(kKvInvalidDeclHere, word);
    if (languagesEnded_ && !MenuLookupKind(kind)) return Fail(kKvInvalidDeclHere, word);
    if (kind == kElemLanguageEnd && !seen_[kElemLanguageSection])
      return Fail(kKvInvalidDeclHere, word);
    return true;
  }

  void Track(uint32_t kind) {
    seen_[kind] = true;
    if (kind == kElemMenuStart) inMenu_ = true;
    if (kind == kElemMenuEnd) inMenu_ = false;
    if (kind == kElemLanguageEnd) languagesEnded_ = true;
    if (kind == kElemLanguageSection) languagesEnded_ = false;
  }

  // The arguments of a declaration, by its kind's payload layout.
  bool Arguments(ItemSpec* item) {
    switch (ElementPayloadLayout(item->kind)) {
      case PayloadLayout::kNone:
        return EndOf("nothing");
      case PayloadLayout::kInstanceStart:
        return String(&item->text) && EndOf("one string, the KV file's name");
      case PayloadLayout::kText:
        return Text(&item->text) && EndOf(kTakesText);
      case PayloadLayout::kWord:
        return Number(&item->word) && EndOf("one integer");
      case PayloadLayout::kDescriptor:
        return Descriptor(&item->descriptor) && End();
      case PayloadLayout::kTargetDescriptor:
        item->word = -1;
        if (IsWord("target") && c_.Peek(1).type == Tok::kNumber) {
          Take();
          Number(&item->word);
        }
        return Descriptor(&item->descriptor) && End();
      case PayloadLayout::kTextDescriptor:
      case PayloadLayout::kPaste:
        if (!String(&item->text) || !Descriptor(&item->descriptor)) return false;
        if (item->kind == kElemMenuItem || item->kind == kElemCopy || item->kind == kElemPaste)
          return ItemFlags(item);
        return End();
      case PayloadLayout::kPostEvent:
        if (PostEventHasVariables()) {
          while (!IsPunct(':')) {
            const Token t = Take();
            if (t.type == Tok::kPunct && t.text == ",") continue;
            if (t.type != Tok::kName) return Fail(kKvUnexpectedCharInListOfVar, t.text);
            item->variables.push_back(t.text);
          }
          Take();
          if (item->variables.empty()) return Fail(kKvMissingListOfVar, ":");
        }
        return Descriptor(&item->descriptor) && End();
      case PayloadLayout::kEmbeddedFile:
        if (!String(&item->text)) return false;
        if (IsWord("file")) {
          Take();
          if (!String(&item->file)) return false;
          if (item->file.empty()) return Fail(kKvEmptyString, "file");
          return EndOf(kTakesEmbed);
        }
        return Text(&item->data) && EndOf(kTakesEmbed);
      case PayloadLayout::kEmbeddedLibrary:
        // library "FILE": the library named after the file's base name.
        if (!String(&item->file)) return false;
        if (item->file.empty()) return Fail(kKvEmptyString, "library");
        return EndOf(kTakesFile);
      case PayloadLayout::kOther:
        break;
    }
    return Fail(kKvUnknownKeyword, "");
  }
  // "after x y: DESC": a ":" on the line (a descriptor holds none).
  bool PostEventHasVariables() const {
    for (size_t i = 0;; i++) {
      const Token& t = c_.Peek(i);
      if (t.type == Tok::kEnd) return false;
      if (t.type == Tok::kPunct && t.text == ":") return true;
    }
  }

  const std::string& text_;
  AppDescription* out_;
  DescriptionError* error_;
  size_t at_ = 0;
  std::string keyword_;  // the keyword of the line
  std::string_view line_;
  int32_t lineNumber_ = 0;
  TokenCursor c_;
  std::unordered_set<std::string> variables_;  // those declared so far
  bool seen_[64] = {};
  bool inMenu_ = false;
  bool languagesEnded_ = false;
};

const ErrorTableRecord* FindEngineRecord(ErrCode code) {
  for (const ErrorTableRecord* r = kEngineErrorTable; r->id; r++)
    if (r->code == code) return r;
  return nullptr;
}

}  // namespace

bool ParseDescription(const std::string& text, const std::string& defaultFileName,
                      AppDescription* out, DescriptionError* error) {
  *out = AppDescription();
  out->fileName = defaultFileName;
  *error = DescriptionError();
  return Parser(text, out, error).Run();
}

void TellDescriptorForms(DescriptionError* error) {
  error->detail += (error->detail.empty() ? "" : "; ") + std::string(kDescriptorForms);
}

std::string ErrorText(const DescriptionError& error) {
  const ErrorTableRecord* r =
      error.code >= 10000 ? FindAppErrorRecord(error.code) : FindEngineRecord(error.code);
  std::string text = !error.message.empty() ? error.message : r ? r->message : "Error";
  text += " (" + std::to_string(error.code) + ")";
  if (!error.detail.empty()) text += ": " + error.detail;
  return text;
}

}  // namespace vke::kvpack
