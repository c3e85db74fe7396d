// Error texts of failed actions, with the place in the user's source.
#include "app/error_place.hpp"

#include <algorithm>
#include <string_view>

#include "app/element_list.hpp"
#include "app/errors.hpp"
#include "app/kept_failure.hpp"
#include "app/kv_library.hpp"
#include "app/kv_sources.hpp"
#include "app/startup_script.hpp"
#include "engine/engine.hpp"
#include "engine/errors/raise.hpp"

namespace vke {

namespace {

constexpr int32_t kTextBytes = 256;
constexpr int32_t kLocationBytes = 67;  // the engine's location: 66 characters and the NUL
constexpr int32_t kNameBytes = 33;      // the name of the error: 32 characters and the NUL

// "FILE, line N" of the engine's location "_KV_<base>/[.][lib::]name".
std::string PlaceText(KVContextBlock* block, std::string_view location, int32_t line) {
  std::string_view function = location;
  std::string_view file;
  const size_t slash = location.find('/');
  if (slash != std::string_view::npos) {
    function = location.substr(slash + 1);
    if (function.starts_with('.')) function.remove_prefix(1);
    const std::string_view library = location.substr(0, slash);
    constexpr std::string_view kPrefix = kKVLibraryPrefix;
    if (library.starts_with(kPrefix)) {
      const int32_t id = FindInstanceByFileName(block, library.substr(kPrefix.size()));
      // The start-up script's lines are the description's, from its first.
      int32_t firstLine;
      if (id >= 0 && function == kStartupWrapperName &&
          StartupScriptPlace(block, id, &file, &firstLine))
        return std::string(file) + ", line " + std::to_string(firstLine + line - 1);
      if (id >= 0) file = SourceFileOfFunction(block, id, function);
    } else {
      // A library the application embeds: its own file.
      file = SourceFileOfLibrary(block, library);
    }
  }
  if (const size_t colons = function.rfind("::"); colons != std::string_view::npos)
    function.remove_prefix(colons + 2);
  std::string place(file.empty() ? function : file);
  if (!place.empty()) place += ", ";
  return place + "line " + std::to_string(line);
}

// A place of the engine's form, " (_KV_<base>/<function>;N)", that a
// message carries given the user's form, "(FILE, line N)", wherever it
// stands; true when one was.
bool ConvertEmbeddedPlaces(KVContextBlock* block, std::string* text) {
  const std::string opening = std::string(" (") + kKVLibraryPrefix;
  bool converted = false;
  for (size_t at = text->find(opening); at != std::string::npos; at = text->find(opening, at + 1)) {
    const size_t close = text->find(')', at);
    const size_t semicolon = text->rfind(';', close);
    if (close == std::string::npos || semicolon == std::string::npos || semicolon < at) continue;
    const std::string_view digits =
        std::string_view(*text).substr(semicolon + 1, close - semicolon - 1);
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos)
      continue;
    const std::string location = text->substr(at + 2, semicolon - at - 2);
    const std::string place =
        " (" + PlaceText(block, location, std::stoi(std::string(digits))) + ")";
    text->replace(at, close + 1 - at, place);
    converted = true;
  }
  return converted;
}

// The text of the code from what the engine holds now.
std::string LiveErrorText(KVContextBlock* block, ErrCode code) {
  EngineContext* ctx = block ? block->Engine() : nullptr;
  char buffer[kTextBytes];
  std::string text(buffer, static_cast<size_t>(GetErrorMessageText(ctx, code, buffer, kTextBytes)));
  if (!ctx || code == kErrInit) return text;
  char location[kLocationBytes];
  char name[kNameBytes];
  const int32_t line = GetErrorLocationText(ctx, location, sizeof location, name, sizeof name);
  // The engine's whole message when it still holds this error's.
  ErrCode stored = kOk;
  const char* message = nullptr;
  int32_t length = 0;
  const int32_t kept = ctx->pendingError != -1 ? ctx->pendingError : ctx->lastError;
  const bool whole = code < 10000 && ReadErrorBlock(ctx, kept, &stored, &message, &length) &&
                     stored == code && length > 0;
  if (whole) text = std::string_view(message, static_cast<uint32_t>(length));
  // The engine's own place, "(<function id>;N)" or " (line N)", gives way
  // to the user's.
  char suffix[kLocationBytes + 16];
  int32_t n = 0;
  if (location[0] || line > 1) AppendLocationSuffix(location, line, suffix, &n, sizeof suffix);
  bool current = false;  // the message ends in the engine's record of its place
  for (const std::string& place : {std::string(suffix, static_cast<uint32_t>(std::max(n, 0))),
                                   " (line " + std::to_string(line) + ")"}) {
    const size_t at = place.empty() ? std::string::npos : text.rfind(place);
    if (at == std::string::npos) continue;
    text.erase(at, place.size());
    current = true;
  }
  // A message that names a place of its own, where the engine's record has
  // moved on since (a later handler ran), keeps that place and gets no
  // name or place of the later record.
  if (ConvertEmbeddedPlaces(block, &text) && !current) return text;
  const std::string quoted = std::string("'") + name + "'";
  if (name[0] && text.find(quoted) == std::string::npos) text += " " + quoted;
  if (line > 0) text += " (" + PlaceText(block, location, line) + ")";
  return text;
}

}  // namespace

std::string ActionErrorText(KVContextBlock* block, ErrCode code) {
  const KeptFailure& kept = Kept();
  if (block && kept.serial == block->serial && kept.code == code) return kept.text;
  return LiveErrorText(block, code);
}

void KeepFailureText(KVContextBlock* block, ErrCode code) {
  KeptFailure& kept = Kept();
  if (kept.spans > 0 && kept.spanHolds) return;
  kept.serial = block->serial;
  kept.code = code;
  kept.text = LiveErrorText(block, code);
  kept.spanHolds = kept.spans > 0;
}

FirstFailureSpan::FirstFailureSpan() {
  if (Kept().spans++ == 0) Kept().spanHolds = false;
}

FirstFailureSpan::~FirstFailureSpan() {
  Kept().spans--;
}

}  // namespace vke
