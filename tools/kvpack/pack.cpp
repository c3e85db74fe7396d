// Building the application in the block from its description and sources.
#include "tools/kvpack/pack.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <sstream>
#include <unordered_map>

#include "app/element_list.hpp"
#include "app/errors.hpp"
#include "app/kv_library.hpp"
#include "app/name_buffer.hpp"
#include "app/post_event.hpp"
#include "app/undo_buffer.hpp"
#include "engine/code/names.hpp"
#include "engine/engine.hpp"
#include "engine/errors/raise.hpp"
#include "engine/text/text.hpp"
#include "tools/disk_file.hpp"

namespace vke::kvpack {

namespace {

constexpr char kMenuFlagsName[] = "_menuFlags";
constexpr int32_t kMaxNameChars = 28;
constexpr int32_t kConstantBias = 1 << 30;  // input constants k: k + 2^30, or k - 2^30 below 0
constexpr int32_t kMessageBytes = 512;

// ---- Names and codes ----

int32_t StandardCode(const std::string& name) {
#define VKE_STD_VAR(constant, code, text) \
  if (name == text) return code;
#include "app/standard_variables.def"
#undef VKE_STD_VAR
  return 0;
}

// Standard variables a handler may store into.
bool IsStandardOutput(int32_t code) {
  return code == kVarParam || (code >= kVarXData && code <= kVarIdleAmount) ||
         (code >= kVarPl && code <= kVarHelp);
}

bool IsName(const std::string& name) {
  if (name.empty() || name.size() > kMaxNameChars) return false;
  for (size_t i = 0; i < name.size(); i++) {
    const char c = name[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '_'))) return false;
  }
  return true;
}

// The element words of instance 0.
class ElementWriter {
 public:
  uint32_t Position() const { return static_cast<uint32_t>(words_.size()); }
  void Begin(uint32_t kind) {
    start_ = Position();
    words_.push_back(kind);
    words_.push_back(0);
  }
  void End() { words_[start_ + 1] = Position() - start_; }
  void Word(uint32_t w) { words_.push_back(w); }
  // n bytes in whole words, with at least one NUL behind them when asked.
  void Bytes(const std::string& bytes, bool nul) {
    const size_t words = nul ? bytes.size() / 4 + 1 : (bytes.size() + 3) / 4;
    const size_t at = words_.size();
    words_.resize(at + words, 0);
    std::memcpy(words_.data() + at, bytes.data(), bytes.size());
  }
  // {n; n bytes; NUL; padding}.
  void Text(const std::string& text) {
    Word(static_cast<uint32_t>(text.size()));
    Bytes(text, true);
  }
  const std::vector<uint32_t>& words() const { return words_; }

 private:
  std::vector<uint32_t> words_;
  uint32_t start_ = 0;
};

class Packer {
 public:
  Packer(ToolHost* host, const AppDescription& app, const std::string& descriptionPath,
         const FileReader& read, PackError* error)
      : host_(host), app_(app), path_(descriptionPath), read_(read), error_(error) {
    const size_t slash = path_.find_last_of('/');
    folder_ = slash == std::string::npos ? "" : path_.substr(0, slash + 1);
    for (size_t i = 0; i < app_.variables.size(); i++)
      variableIndex_.emplace(app_.variables[i], static_cast<int32_t>(i));
  }

  bool Run() {
    char library[40];
    if (!KVLibraryName(app_.fileName, library, sizeof library))
      return Fail(path_, kErrBadLibName, app_.fileNameLine, app_.fileName);
    // Embedded libraries first: the sources' "use" statements find them.
    for (const ItemSpec& item : app_.items)
      if (item.kind == kElemEmbeddedLibrary && !EmbedLibrary(item)) return false;
    for (const SourceSpec& s : app_.sources) {
      std::string text;
      if (!Read(s.path, s.line, &text)) return false;
      if (!Compile(s.path, text, nullptr)) return false;
      sources_.push_back({s.path, std::move(text)});
    }
    // The library exists even without sources: instance-wide code runs in it.
    if (sources_.empty() && !Compile(path_, "", nullptr)) return false;
    if (!MenuFlags()) return false;
    return MakeOrder() && Functions() && Elements() && Names() && UndoSet() && Install();
  }

 private:
  struct Source {
    std::string path;
    std::string text;
  };
  struct Library {
    std::string name;
    std::string fileName;
    std::string text;
  };

  // A path's last part, the name errors give.
  static std::string BaseName(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
  }

  EngineContext* ctx() const { return host_->ctx(); }

  bool Fail(const std::string& file, ErrCode code, int32_t line, std::string detail) {
    *error_ = PackError{file, DescriptionError{code, line, std::move(detail), ""}};
    return false;
  }
  bool Fail(ErrCode code, int32_t line, std::string detail) {
    return Fail(path_, code, line, std::move(detail));
  }

  // Compiles a text into the library; an error is reported at its line of
  // the text, or through lines at the description line it comes from. Each
  // compile starts as a new action: the place of an earlier error is not
  // this one's.
  bool Compile(const std::string& file, const std::string& text,
               const std::vector<int32_t>* lines) {
    BeginTopLevelAction(ctx());
    const ErrCode e = DefineKVLibrary(ctx(), app_.fileName, text.data(),
                                      static_cast<int32_t>(text.size()), &library_);
    return e ? CompileFailed(file, e, lines) : true;
  }

  // Reads and compiles a library the application embeds; its text is kept
  // for its element.
  bool EmbedLibrary(const ItemSpec& item) {
    char name[kMaxLibraryName + 1];
    if (!EmbeddedLibraryName(item.file, name, sizeof name))
      return Fail(kErrBadLibName, item.line, item.file);
    std::string text;
    if (!Read(item.file, item.line, &text)) return false;
    int32_t entry;
    BeginTopLevelAction(ctx());
    const ErrCode e =
        DefineTextLibrary(ctx(), name, text.data(), static_cast<int32_t>(text.size()), &entry);
    if (e) return CompileFailed(item.file, e, nullptr);
    libraries_.emplace(&item, Library{name, BaseName(item.file), std::move(text)});
    return true;
  }

  bool CompileFailed(const std::string& file, ErrCode e, const std::vector<int32_t>* lines) {
    int32_t line = GetErrorLocationText(ctx(), nullptr, 0, nullptr, 0);
    if (lines)
      line = line > 0 && static_cast<size_t>(line) <= lines->size() ? (*lines)[line - 1] : 0;
    std::string message = CompileMessage(e);
    Fail(lines ? path_ : file, e, line, "");
    error_->error.message = std::move(message);
    return false;
  }

  // The compiler's message of the error, which names what it found there,
  // without the engine's place of it: the file and line stand in front. The
  // table's message when the engine holds none of this code.
  std::string CompileMessage(ErrCode e) {
    EngineContext* c = ctx();
    ErrCode stored = kOk;
    const char* text = nullptr;
    int32_t length = 0;
    const int32_t kept = c->pendingError != -1 ? c->pendingError : c->lastError;
    if (!ReadErrorBlock(c, kept, &stored, &text, &length) || stored != e || length <= 0) {
      char message[kMessageBytes];
      GetErrorMessageText(c, e, message, sizeof message);
      return message;
    }
    std::string message(text, static_cast<size_t>(length));
    char location[kMessageBytes];
    const int32_t line = GetErrorLocationText(c, location, sizeof location, nullptr, 0);
    char place[2 * kMessageBytes];
    int32_t n = 0;
    if (location[0] || line > 1) AppendLocationSuffix(location, line, place, &n, sizeof place);
    if (n > 0 && message.ends_with(std::string_view(place, static_cast<size_t>(n))))
      message.resize(message.size() - static_cast<size_t>(n));
    return message;
  }

  // A file named at the line, relative to the description unless its path
  // is absolute. One that exists but cannot be read (a folder, a read that
  // fails, one too large) is a read error with the reason.
  bool Read(const std::string& file, int32_t line, std::string* text) {
    errno = 0;
    if (read_(file.starts_with('/') ? file : folder_ + file, text)) return true;
    if (errno == 0 || errno == ENOENT) return Fail(kErrFileNotFound, line, file);
    return Fail(kErrIoErr, line, file + ": " + DiskFileReason(errno));
  }

  bool HasFunction(const std::string& name) const {
    return FindFunction(ctx(), name.data(), static_cast<int32_t>(name.size()), nullptr, 0, library_,
                        true, nullptr) >= 0;
  }

  // The generated "_menuFlags", unless the sources define one.
  bool MenuFlags() {
    int32_t counts[3] = {0, 0, 0};
    bool items = false;
    for (const ItemSpec& item : app_.items) {
      const int32_t row = item.kind == kElemMenuItem ? 0 : item.kind == kElemPaste ? 1 : 2;
      if (item.kind != kElemMenuItem && item.kind != kElemPaste && item.kind != kElemCopy) continue;
      items = true;
      if (!(item.kind == kElemPaste && item.text.empty()) && ++counts[row] > kMaxMenuItems)
        return Fail(kKvExhaustedRsrc, item.line, "more than 64 items of one kind");
    }
    if (!items) return true;
    if (HasFunction(kMenuFlagsName)) {
      for (const ItemSpec& item : app_.items)
        if (!item.enabled.empty() || !item.checked.empty())
          return Fail(kKvInvalidMultipleDecl, item.line, "the sources define _menuFlags");
      return true;
    }
    std::vector<int32_t> lines;
    const std::string text = MenuFlagsSource(app_, &lines);
    if (!Compile("_menuFlags", text, &lines)) return false;
    sources_.push_back({"_menuFlags", text});
    return true;
  }

  // Function ids in the order of first use; each must be a function of the
  // application's sources.
  bool Functions() {
    for (const ItemSpec& item : app_.items) {
      const std::string& f = item.descriptor.function;
      if (f.empty() || functions_.count(f)) continue;
      // A name that cannot be a function's ("a = _x" meant as "a = (_x)"):
      // the forms a descriptor takes are told.
      ErrCode bad = kOk;
      if (!IsName(f) || StandardCode(f)) {
        bad = kKvBadFunName;
      } else if (VariableIndex(f) >= 0) {
        bad = kKvVarNameAsFunName;
      }
      if (bad) {
        Fail(bad, item.line, f);
        TellDescriptorForms(&error_->error);
        return false;
      }
      if (!HasFunction(f)) return Fail(kErrUndefFun, item.line, f);
      functions_[f] = kFirstFunctionId + static_cast<int32_t>(order_.size());
      order_.push_back(f);
    }
    return true;
  }

  int32_t VariableIndex(const std::string& name) const {
    const auto found = variableIndex_.find(name);
    return found == variableIndex_.end() ? -1 : found->second;
  }

  // Make elements compute their outputs from their inputs; a variable that
  // needs itself would never get a value. Refuses the first cycle found,
  // naming its variables in order.
  bool MakeOrder() {
    const size_t n = app_.variables.size();
    std::vector<std::vector<std::pair<int32_t, int32_t>>> next(n);  // (variable, line)
    for (const ItemSpec& item : app_.items) {
      if (item.kind != kElemMake) continue;
      for (const Argument& a : item.descriptor.inputs) {
        const int32_t from = a.name.empty() ? -1 : VariableIndex(a.name);
        if (from < 0) continue;
        for (const std::string& o : item.descriptor.outputs)
          if (const int32_t to = VariableIndex(o); to >= 0) next[from].push_back({to, item.line});
      }
    }
    // Depth-first, without recursion: state 1 on the path, 2 done.
    std::vector<uint8_t> state(n, 0);
    std::vector<std::pair<int32_t, size_t>> path;  // variable, next edge to follow
    for (size_t root = 0; root < n; root++) {
      if (state[root]) continue;
      path.push_back({static_cast<int32_t>(root), 0});
      state[root] = 1;
      while (!path.empty()) {
        auto& [v, edge] = path.back();
        if (edge == next[v].size()) {
          state[v] = 2;
          path.pop_back();
          continue;
        }
        const auto [w, line] = next[v][edge++];
        if (state[w] == 0) {
          state[w] = 1;
          path.push_back({w, 0});
        } else if (state[w] == 1) {
          std::string cycle;
          size_t k = path.size();
          while (path[k - 1].first != w) k--;
          for (; k <= path.size(); k++) cycle += app_.variables[path[k - 1].first] + " -> ";
          return Fail(kKvCircularMakeDep, line, cycle + app_.variables[w]);
        }
      }
    }
    return true;
  }
  // The code of a variable or standard name; 0 with the error set.
  int32_t Code(const std::string& name, bool output, int32_t line) {
    const int32_t v = VariableIndex(name);
    if (v >= 0) return kFirstVariableId + v;
    const int32_t code = StandardCode(name);
    if (!code) return Fail(kKvVarNotFound, line, name), 0;
    if (output && !IsStandardOutput(code)) return Fail(kKvUnexpectedStdVar, line, name), 0;
    return code;
  }

  bool Descriptor(const ItemSpec& item) {
    const DescriptorSpec& d = item.descriptor;
    std::vector<uint32_t> outputs, inputs;
    for (const std::string& name : d.outputs) {
      const int32_t code = Code(name, true, item.line);
      if (!code) return false;
      outputs.push_back(static_cast<uint32_t>(code));
    }
    for (const Argument& a : d.inputs) {
      if (a.name.empty() && (a.value < kMinInputConstant || a.value > kMaxInputConstant))
        return Fail(kKvSyntaxError, item.line, std::to_string(a.value) + " is out of range");
      const int64_t code = !a.name.empty() ? Code(a.name, false, item.line)
                           : a.value >= 0  ? a.value + kConstantBias
                                           : a.value - kConstantBias;
      if (!code) return false;
      inputs.push_back(static_cast<uint32_t>(code));
    }
    // Without a function the inputs are the outputs, the last input storing
    // into the first output: the inputs are kept in reverse.
    if (d.function.empty()) std::reverse(inputs.begin(), inputs.end());
    w_.Word(d.function.empty() ? UINT32_MAX : static_cast<uint32_t>(functions_[d.function]));
    w_.Word(static_cast<uint32_t>(inputs.size()));
    w_.Word(static_cast<uint32_t>(outputs.size()));
    for (uint32_t c : outputs) w_.Word(c);
    for (uint32_t c : inputs) w_.Word(c);
    return true;
  }

  // A language section, or a block of an earlier section of the same code.
  void Language(const std::string& text) {
    const std::string code = text.substr(0, text.find(';'));
    for (const auto& [earlier, offset] : sections_) {
      if (!StringsEqual(earlier.data(), static_cast<int32_t>(earlier.size()), code.data(),
                        static_cast<int32_t>(code.size()), true))
        continue;
      w_.Begin(kElemLanguageBlock);
      w_.Word(offset);
      w_.End();
      return;
    }
    sections_.emplace_back(code, w_.Position());
    w_.Begin(kElemLanguageSection);
    w_.Text(text);
    w_.End();
  }

  bool EmbeddedFile(const ItemSpec& item) {
    std::string data = item.data;
    if (!item.file.empty() && !Read(item.file, item.line, &data)) return false;
    w_.Text(item.text);
    w_.Word(static_cast<uint32_t>(data.size()));
    w_.Bytes(data, false);
    return true;
  }

  // An embedded text's payload: in front of the text, in whole words, the
  // name of the file it came from, so that errors name the file the user
  // wrote, and for a library the application embeds the library's name,
  // each NUL-ended (none for the KV file's own sources).
  void SourcePayload(const std::string& fileName, const std::string& library,
                     const std::string& text) {
    std::string names = fileName;
    if (!library.empty()) names += '\0' + library;
    w_.Word(4 * static_cast<uint32_t>(names.size() / 4 + 1));
    w_.Word(static_cast<uint32_t>(text.size()));
    w_.Word(1);  // its first line
    w_.Word(0);
    w_.Bytes(names, true);
    w_.Bytes(text, false);
  }

  bool Item(const ItemSpec& item) {
    if (item.kind == kElemLanguageSection) {
      Language(item.text);
      return true;
    }
    w_.Begin(item.kind);
    switch (ElementPayloadLayout(item.kind)) {
      case PayloadLayout::kText:
        w_.Text(item.text);
        // A start-up script's errors name the description: the line its
        // text starts on and the description's name follow the text.
        if (item.kind == kElemStartupScript) {
          w_.Word(static_cast<uint32_t>(item.line + 1));
          w_.Text(BaseName(path_));
        }
        break;
      case PayloadLayout::kWord:
        w_.Word(static_cast<uint32_t>(item.word));
        break;
      case PayloadLayout::kDescriptor:
        if (!Descriptor(item)) return false;
        break;
      case PayloadLayout::kTargetDescriptor:
        w_.Word(static_cast<uint32_t>(item.word));
        if (!Descriptor(item)) return false;
        break;
      case PayloadLayout::kPaste:
        w_.Word(0);
        w_.Word(0);
        [[fallthrough]];
      case PayloadLayout::kTextDescriptor:
        w_.Text(item.text);
        if (!Descriptor(item)) return false;
        break;
      case PayloadLayout::kPostEvent:
        w_.Word(static_cast<uint32_t>(item.variables.size()));
        for (const std::string& v : item.variables) {
          const int32_t code = Code(v, false, item.line);
          if (!code) return false;
          w_.Word(static_cast<uint32_t>(code));
        }
        if (!Descriptor(item)) return false;
        break;
      case PayloadLayout::kEmbeddedFile:
        if (!EmbeddedFile(item)) return false;
        break;
      case PayloadLayout::kEmbeddedLibrary: {
        const Library& library = libraries_.at(&item);
        SourcePayload(library.fileName, library.name, library.text);
        break;
      }
      default:
        break;
    }
    w_.End();
    return true;
  }

  // Instance start, instance-wide code, the sources, then the declarations.
  bool Elements() {
    w_.Begin(kElemInstanceStart);
    w_.Word(0);
    w_.Word(static_cast<uint32_t>(library_));
    w_.Bytes(app_.fileName, true);
    w_.End();
    for (const ItemSpec& item : app_.items)
      if (item.kind == kElemInstanceCode && !Item(item)) return false;
    for (const Source& s : sources_) {
      w_.Begin(kElemEmbeddedLibrary);
      SourcePayload(s.path == kMenuFlagsName ? "" : BaseName(s.path), "", s.text);
      w_.End();
    }
    for (const ItemSpec& item : app_.items)
      if (item.kind != kElemInstanceCode && !Item(item)) return false;
    return true;
  }

  bool Names() {
    void* names = host_->block()->NameArea();
    for (size_t i = 0; i < app_.variables.size(); i++)
      if (ErrCode e = AddNameSlot(names, kFirstVariableId + static_cast<int32_t>(i),
                                  app_.variables[i].c_str(), -1))
        return Fail(e, 0, app_.variables[i]);
    for (const std::string& f : order_)
      if (ErrCode e = AddNameSlot(names, functions_[f], f.c_str(), -1)) return Fail(e, 0, f);
    return true;
  }

  // Instance 0's set: the standard KV variables, then the application's,
  // in one empty version.
  bool UndoSet() {
    void* undo = host_->block()->UndoArea();
    RemoveUndoSet(undo, 0);
    ErrCode e = AddUndoSet(undo, 0);
    for (int32_t v = kVarPl; v <= kVarHelp && !e; v++) e = AddUndoSetVariable(undo, 0, v, false);
    for (size_t i = 0; i < app_.variables.size() && !e; i++)
      e = AddUndoSetVariable(undo, 0, kFirstVariableId + static_cast<int32_t>(i), false);
    if (!e) e = ResetUndoSet(undo, 0);
    return !e || Fail(e, 0, "the variables do not fit the undo buffer");
  }

  bool Install() {
    const std::vector<uint32_t>& words = w_.words();
    const ErrCode e = RunWithGrowth(host_->slot(), [&](KVContextBlock* block) -> ErrCode {
      if (words.size() * 4 > block->elementBytes) return kKvNotEnoughMemForKVFile;
      std::memcpy(block->ElementArea(), words.data(), words.size() * 4);
      block->elementWords = static_cast<uint32_t>(words.size());
      return kOk;
    });
    if (e) return Fail(e, 0, "the element list");
    // Idle processing, and the name buffer's capacity (the names in use), as
    // the runtime's loader leaves them; after the last growth, which gives
    // the buffer its new area.
    SetIdleProcessing(host_->block(), 0, HasIdleHandler(host_->block(), 0));
    void* names = host_->block()->NameArea();
    CheckNameBuffer(names, NameBufferUsedBytes(names));
    return !CheckElementList(words.data(), static_cast<uint32_t>(words.size())) ||
           Fail(kKvUndefElement, 0, "the element list");
  }

  ToolHost* host_;
  const AppDescription& app_;
  std::string path_;
  std::string folder_;
  const FileReader& read_;
  PackError* error_;
  int32_t library_ = 0;
  std::vector<Source> sources_;
  std::map<const ItemSpec*, Library> libraries_;
  std::map<std::string, int32_t> functions_;
  std::unordered_map<std::string, int32_t> variableIndex_;
  std::vector<std::string> order_;
  std::vector<std::pair<std::string, uint32_t>> sections_;
  ElementWriter w_;
};

// "[1, -1, 1, 0]": the items' defaults in a row; "zeros(1, 0)" for none.
std::string Defaults(const std::vector<std::string>& each) {
  if (each.empty()) return "zeros(1, 0)";
  std::string s = "[";
  for (size_t i = 0; i < each.size(); i++) s += (i ? ", " : "") + each[i];
  return s + "]";
}

}  // namespace

std::string MenuFlagsSource(const AppDescription& app, std::vector<int32_t>* lines) {
  std::ostringstream s;
  lines->clear();
  s << "function (_items, _pastes, _copies) = " << kMenuFlagsName << "(";
  for (const std::string& v : app.variables) s << v << ", ";
  s << "_xdatatype, _param)\n";
  lines->push_back(0);
  // Every item's flags, and where expressions replace the defaults.
  std::vector<std::string> rows[3];
  std::vector<int32_t> rowLines[3];
  // A menu item's check flag: -1 (no check mark) unless it has a checked
  // expression, which gives 1 when its value is above 0, else 0.
  std::vector<std::string> defaults[3];
  for (const ItemSpec& item : app.items) {
    const int row = item.kind == kElemMenuItem ? 0 : item.kind == kElemPaste ? 1 : 2;
    if (item.kind != kElemMenuItem && item.kind != kElemPaste && item.kind != kElemCopy) continue;
    const size_t count = defaults[row].size();
    const size_t first = row == 0 ? 2 * count + 1 : count + 1;
    defaults[row].push_back(row != 0 ? "1" : item.checked.empty() ? "1, -1" : "1, 0");
    const char* names[3] = {"_items", "_pastes", "_copies"};
    // An empty value (a variable not yet set) enables or checks nothing and
    // keeps its flag's place, where an empty right side would delete the
    // flag and move the ones after it.
    if (!item.enabled.empty()) {
      rows[row].push_back(std::string(names[row]) + "(" + std::to_string(first) + ") = any((" +
                          item.enabled + ") ~= 0);\n");
      rowLines[row].push_back(item.line);
    }
    if (!item.checked.empty()) {
      rows[row].push_back(std::string(names[row]) + "(" + std::to_string(first + 1) + ") = any((" +
                          item.checked + ") > 0);\n");
      rowLines[row].push_back(item.line);
    }
  }
  const char* heads[3] = {"_items = ", "_pastes = ", "_copies = "};
  for (int row = 0; row < 3; row++) {
    s << heads[row] << Defaults(defaults[row]) << ";\n";
    lines->push_back(0);
    for (size_t i = 0; i < rows[row].size(); i++) {
      s << rows[row][i];
      lines->push_back(rowLines[row][i]);
    }
  }
  return s.str();
}

bool PackApplication(ToolHost* host, const AppDescription& app, const std::string& descriptionPath,
                     const FileReader& read, PackError* error) {
  return Packer(host, app, descriptionPath, read, error).Run();
}

std::string PackErrorText(const PackError& error) {
  std::string text = error.file.empty() ? "kvpack" : error.file;
  if (error.error.line > 0) text += ":" + std::to_string(error.error.line);
  return text + ": " + ErrorText(error.error);
}

}  // namespace vke::kvpack
