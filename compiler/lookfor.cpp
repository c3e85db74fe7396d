// lookfor: the functions whose short description holds a text, found in the
// sources of the libraries of the function table and in the help files of
// those libraries, of the native libraries, of the engine's own library
// and of "other". Each match is written once to descriptor 4 as a link
// line "##[[help:lib::key|lib::name]]## description", all of them once the
// search has ended, so that a search that asks for room has written
// nothing when it runs again.
#include <initializer_list>

#include "builtins/builtin_helpers.hpp"
#include "compiler/help_files.hpp"
#include "compiler/help_text.hpp"
#include "compiler/scan.hpp"
#include "compiler/tool_natives.hpp"
#include "compiler/tool_support.hpp"
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/errors/raise.hpp"
#include "engine/files/fd.hpp"
#include "engine/frames/frames.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr int32_t kMaxSearchText = 1024;
constexpr int32_t kLinkBytes = 512;
constexpr int32_t kLibraryNameBytes = 256;
constexpr char kSearchedMark = '\1';  // a searched library's name among the links kept
constexpr char kOtherLibrary[] = "other";
// Help-file libraries whose entries belong to no library.
constexpr const char* kNoLibrary = kOtherLibrary;

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool ContainsIgnoringCase(const char* text, int32_t length, const char* pattern, int32_t n) {
  for (int32_t i = 0; i + n <= length; i++) {
    int32_t k = 0;
    while (k < n && Lower(text[i + k]) == Lower(pattern[k])) k++;
    if (k == n) return true;
  }
  return false;
}

// The texts of the links found, and the names of the libraries searched,
// one after the other (each NUL-terminated) in a fixed room.
class WrittenSet {
 public:
  WrittenSet(char* room, int32_t capacity) : room_(room), capacity_(capacity) {}
  bool Contains(const char* text, int32_t length) const {
    for (int32_t at = 0; at < used_;) {
      const int32_t n = CStringLength(room_ + at);
      if (n == length && std::memcmp(room_ + at, text, n) == 0) return true;
      at += n + 1;
    }
    return false;
  }
  // False when there is no room for it.
  bool Add(const char* text, int32_t length) {
    if (used_ + length + 1 > capacity_) return false;
    std::memcpy(room_ + used_, text, length);
    room_[used_ + length] = 0;
    used_ += length + 1;
    return true;
  }
  // Writes the links kept, in the order found, one a line.
  void WriteLinks(EngineContext* ctx) const {
    for (int32_t at = 0; at < used_;) {
      const int32_t n = CStringLength(room_ + at);
      if (room_[at] != kSearchedMark) {
        WriteToFd(ctx, kFdHelpLinks, room_ + at, n);
        WriteNewlineToFd(ctx, kFdHelpLinks);
      }
      at += n + 1;
    }
  }

 private:
  char* room_;
  int32_t capacity_;
  int32_t used_ = 0;
};

class Search {
 public:
  Search(EngineContext* ctx, const char* pattern, int32_t n, char* texts, int32_t textRoom,
         WrittenSet* written)
      : ctx_(ctx),
        pattern_(pattern),
        n_(n),
        texts_(texts),
        textRoom_(textRoom),
        written_(written) {}

  // The sources and help files of the libraries of the function table.
  void FunctionTableLibraries() {
    for (uint32_t i = 1; i < ctx_->funcCount; i++) {
      const FunctionTableEntry* e = GetLibraryEntry(ctx_, static_cast<int32_t>(i));
      int32_t length = 0;
      const char* name = e ? NameText(ctx_, static_cast<int32_t>(e->info), &length) : nullptr;
      if (!name || !MarkSearched(name, length)) continue;
      char library[kLibraryNameBytes];
      CopyCStringBounded(library, sizeof library, name, length);
      SourceFunctions(library, length, static_cast<int32_t>(i));
      HelpFile(library, length, static_cast<int32_t>(i));
      if (overflow_) return;
      if (PollAbortRequest(ctx_)) return Stop();
    }
  }

  // The help files of the native libraries, then of the engine's own and
  // of "other".
  void NativeLibraries() {
    const LibraryRegistryEntry* reg = ctx_->Registry();
    for (uint32_t t = 0; t < ctx_->registryCount && !stopped_; t++)
      for (uint32_t k = 0; k < reg[t].count && !stopped_; k++) {
        const NativeFunctionRecord& r = reg[t].table[k];
        if (!r.IsHeader()) continue;
        const char* name = r.name + 1;
        const int32_t length = CStringLength(name);
        if (StringsEqual(name, length, kEngineLibrary, -1, false) || !MarkSearched(name, length))
          continue;
        HelpFile(name, length, -1);
        if (!overflow_ && PollAbortRequest(ctx_)) Stop();
      }
    for (const char* name : {kEngineLibrary, kOtherLibrary}) {
      if (stopped_) return;
      HelpFile(name, CStringLength(name), -1);
      if (!overflow_ && PollAbortRequest(ctx_)) Stop();
    }
  }

  bool stopped() const { return stopped_; }
  // A text that did not fit the room: the search asks for more.
  bool overflow() const { return overflow_; }

 private:
  void Stop() { stopped_ = true; }
  // Loads a library's text; false when there is none, or none that fits
  // (which stops the search).
  bool Load(const char* library, int32_t length, int32_t entry, bool helpFile,
            int32_t* textLength) {
    const ErrCode e =
        LoadLibraryText(ctx_, library, length, entry, helpFile, texts_, textRoom_, textLength);
    if (e == kErrDataOverflow) overflow_ = stopped_ = true;
    return e == kOk;
  }

  // Remembers a library as searched; false when it was already.
  bool MarkSearched(const char* name, int32_t length) {
    char key[kLibraryNameBytes];
    key[0] = kSearchedMark;
    int32_t n = 1;
    AppendBytes(key, &n, name, length, sizeof key);
    if (written_->Contains(key, n)) return false;
    written_->Add(key, n);
    return true;
  }

  void SourceFunctions(const char* library, int32_t length, int32_t entry) {
    int32_t textLength;
    if (!Load(library, length, entry, false, &textLength)) return;
    SourceScan scan;
    ScannedDefinition d;
    while (ScanSourceForFunctions(ctx_, texts_, textLength, &scan, &d, false, true) == kOk) {
      const int32_t start = SkipDefinitionLines(texts_, textLength, d.start);
      HelpLine description;
      if (ShortDescription(
              HelpTextReader(texts_, textLength, start, HelpTextReader::Kind::kSourceBlock),
              &description))
        Test(library, length, d.name, d.nameLength, description);
    }
  }

  void HelpFile(const char* library, int32_t length, int32_t entry) {
    int32_t textLength;
    if (stopped_ || !Load(library, length, entry, true, &textLength)) return;
    const bool noLibrary = StringsEqual(library, length, kNoLibrary, -1, false);
    HelpEntry e;
    for (int32_t pos = 0; NextHelpEntry(texts_, textLength, &pos, &e);) {
      HelpLine description;
      if (!ShortDescription(
              HelpTextReader(texts_, textLength, e.textStart, HelpTextReader::Kind::kFileEntry),
              &description))
        continue;
      if (e.library)
        Test(e.library, e.libraryLength, e.key, e.keyLength, description);
      else if (noLibrary)
        Test(nullptr, 0, e.key, e.keyLength, description);
      else
        Test(library, length, e.key, e.keyLength, description);
    }
  }

  // Writes the link of a function whose description holds the text, once.
  void Test(const char* library, int32_t libraryLength, const char* name, int32_t nameLength,
            const HelpLine& description) {
    if (!ContainsIgnoringCase(description.text, description.length, pattern_, n_)) return;
    // An operator whose name holds the "|" that ends the key has a word.
    const char* key = name;
    int32_t keyLength = nameLength;
    for (const LinkKeyWord& k : kLinkKeyWords)
      if (StringsEqual(name, nameLength, k.name, -1, false)) {
        key = k.word;
        keyLength = CStringLength(k.word);
      }
    char link[kLinkBytes];
    int32_t at = 0;
    auto qualified = [&](const char* text, int32_t length) {
      if (library) {
        AppendBytes(link, &at, library, libraryLength, sizeof link);
        AppendBytes(link, &at, "::", 2, sizeof link);
      }
      AppendBytes(link, &at, text, length, sizeof link);
    };
    AppendCString(link, &at, "##[[help:", sizeof link);
    qualified(key, keyLength);
    AppendBytes(link, &at, "|", 1, sizeof link);
    qualified(name, nameLength);
    AppendCString(link, &at, "]]## ", sizeof link);
    AppendBytes(link, &at, description.text, description.length, sizeof link);
    if (!written_->Contains(link, at)) written_->Add(link, at);
  }

  EngineContext* ctx_;
  const char* pattern_;
  int32_t n_;
  char* texts_;
  int32_t textRoom_;
  WrittenSet* written_;
  bool stopped_ = false;
  bool overflow_ = false;
};

}  // namespace

// The search itself: three quarters of the room hold the texts loaded, one
// quarter the links written.
ErrCode LookforScanAll(EngineContext* ctx, const char* pattern, int32_t length) {
  TextRoom room(ctx);
  if (!room.data()) return kErrDataOverflow;
  const int32_t textRoom = room.capacity() / 4 * 3;
  WrittenSet written(room.data() + textRoom, room.capacity() - textRoom);
  Search search(ctx, pattern, length, room.data(), textRoom, &written);
  search.FunctionTableLibraries();
  if (!search.stopped()) search.NativeLibraries();
  if (search.overflow()) return kErrDataOverflow;
  FlushFd(ctx, kFdHelpLinks, kBufferingOn);
  written.WriteLinks(ctx);
  FlushFd(ctx, kFdHelpLinks, kBufferingOff);
  return kOk;
}

ErrCode LookforNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  if (!IsCharArray(ctx, 0)) return kErrWrongTypeOverload;
  char pattern[kMaxSearchText];
  int32_t length = 0;
  ErrCode e = GetStringArgToBuffer(ctx, 0, pattern, sizeof pattern, &length);
  // A text longer than any description matches none.
  if (e == kErrObjTooLarge) return ReplaceInputsWithNothing(ctx, nargin, nargout);
  if (!e) e = LookforScanAll(ctx, pattern, length);
  if (e) return e;
  return ReplaceInputsWithNothing(ctx, nargin, nargout);
}

}  // namespace vke
