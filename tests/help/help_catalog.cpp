// The names the tables hold, and the entries and examples of the carried
// help files, read as help and lookfor read them.
#include "tests/help/help_catalog.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/carried_help.hpp"
#include "builtins/builtin.hpp"
#include "compiler/help_text.hpp"
#include "engine/code/operators.hpp"
#include "engine/registry/registry.hpp"

namespace vke::test {

namespace {

constexpr char kEngineLibrary[] = "VKE";
constexpr char kHelpExtension[] = ".hlp";

std::string LibraryOfFile(const std::string& file) {
  return file.substr(0, file.size() - (sizeof kHelpExtension - 1));
}

// Calls visit(entry, raw lines of its text) for every entry of a carried
// file.
template <typename Visit>
void ForEachEntry(const CarriedText& file, Visit visit) {
  const char* text = file.bytes;
  const int32_t length = file.length;
  std::vector<HelpEntry> entries;
  HelpEntry e;
  for (int32_t pos = 0; NextHelpEntry(text, length, &pos, &e);) entries.push_back(e);
  auto lineOf = [&](const char* at) {
    return 1 + static_cast<int32_t>(std::count(text, at, '\n'));
  };
  for (size_t i = 0; i < entries.size(); i++) {
    const HelpEntry& entry = entries[i];
    const char* end = text + length;
    if (i + 1 < entries.size())
      end = entries[i + 1].library ? entries[i + 1].library : entries[i + 1].key;
    std::vector<std::string> lines;
    std::istringstream body(std::string(text + entry.textStart, end));
    for (std::string line; std::getline(body, line);) lines.push_back(line);
    visit(entry, lineOf(entry.key), lines);
  }
}

bool StartsWith(const std::string& s, const std::string& head) {
  return s.compare(0, head.size(), head) == 0;
}

std::string TrimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
  return s;
}

}  // namespace

std::set<std::string> CallableNames(EngineContext* ctx) {
  std::set<std::string> names;
  const LibraryRegistryEntry* reg = ctx->Registry();
  for (uint32_t t = 0; t < ctx->registryCount; t++)
    for (uint32_t i = 0; i < reg[t].count; i++) {
      const NativeFunctionRecord& r = reg[t].table[i];
      if (r.IsEnd() || r.IsHeader() || r.IsHook()) continue;
      // A native before any library's header is the engine's.
      const char* library = GetRecordLibraryName(ctx, &r);
      names.insert(std::string(library ? library : kEngineLibrary) + "::" + r.name);
    }
  for (const BuiltinRecord* b = kBuiltinTable; b->name[0]; b++)
    names.insert(std::string(kEngineLibrary) + "::" + b->name);
  for (const OperatorRecord* o = kOperatorTable; o->kind != kOperatorEnd; o++)
    names.insert(std::string(kEngineLibrary) + "::" + o->chars);
  return names;
}

std::vector<CarriedEntry> CarriedEntries() {
  std::vector<CarriedEntry> all;
  for (const CarriedText& file : CarriedHelpFiles())
    ForEachEntry(file, [&](const HelpEntry& e, int32_t line, const std::vector<std::string>&) {
      CarriedEntry entry;
      entry.file = file.name;
      entry.library = LibraryOfFile(file.name);
      if (e.library) entry.qualifier.assign(e.library, e.libraryLength);
      entry.key.assign(e.key, e.keyLength);
      entry.line = line;
      HelpLine description;
      entry.described = ShortDescription(HelpTextReader(file.bytes, file.length, e.textStart,
                                                        HelpTextReader::Kind::kFileEntry),
                                         &description) &&
                        !IsBlankHelpLine(description);
      if (entry.described) entry.description.assign(description.text, description.length);
      all.push_back(entry);
    });
  return all;
}

std::vector<HelpExample> CarriedExamples() {
  std::vector<HelpExample> all;
  for (const CarriedText& file : CarriedHelpFiles())
    ForEachEntry(file,
                 [&](const HelpEntry& e, int32_t line, const std::vector<std::string>& lines) {
                   // "% Example:" or "% Examples:" heads code that runs; "(not run)"
                   // code that does not. Code lines begin with "%" and three blanks.
                   bool inBlock = false, runs = false;
                   for (size_t i = 0; i < lines.size(); i++) {
                     if (inBlock && StartsWith(lines[i], "%   ")) {
                       if (runs) all.back().code += lines[i].substr(4) + "\n";
                       continue;
                     }
                     inBlock = false;
                     const std::string head = TrimRight(lines[i]);
                     if (head == "% Example:" || head == "% Examples:") {
                       inBlock = runs = true;
                       all.push_back({std::string(file.name) + ":" +
                                          std::to_string(line + static_cast<int32_t>(i)) + " " +
                                          std::string(e.key, e.keyLength),
                                      LibraryOfFile(file.name), ""});
                     } else if (head == "% Example (not run):" || head == "% Examples (not run):") {
                       inBlock = true;
                       runs = false;
                     }
                   }
                 });
  return all;
}

std::string PendingListPath() {
  return VKE_SOURCE_DIR "/tests/help/pending_help.txt";
}

std::set<std::string> ReadPendingList() {
  std::set<std::string> names;
  std::ifstream in(PendingListPath());
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') names.insert(TrimRight(line));
  return names;
}

bool WritePendingList(const std::string& path, const std::set<std::string>& names) {
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return false;
  std::ifstream old(PendingListPath());
  std::string text;
  for (std::string line; std::getline(old, line) && StartsWith(line, "#");) text += line + "\n";
  for (const std::string& name : names) text += name + "\n";
  std::ofstream out(path, std::ios::trunc);
  return static_cast<bool>(out << text);
}

}  // namespace vke::test
