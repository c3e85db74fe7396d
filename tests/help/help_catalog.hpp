// What the help tests check the help files against: the names a program or
// an application can call, as help looks them up, and the entries and
// examples of the help files the programs carry.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "engine/context.hpp"

namespace vke::test {

// "LIB::NAME" for every record of the native tables registered in ctx that
// is neither a library's header nor a hook (in the library help gives it),
// and for every builtin and operator (in the engine's own library).
std::set<std::string> CallableNames(EngineContext* ctx);

// One entry of a carried help file.
struct CarriedEntry {
  std::string file;       // "VKE.hlp"
  std::string library;    // the library of the file ("VKE")
  std::string qualifier;  // the entry's "lib::", empty when none
  std::string key;
  int32_t line = 0;
  bool described = false;   // it has a short description for lookfor
  std::string description;  // that description
};
std::vector<CarriedEntry> CarriedEntries();

// One "Example:" block of a carried entry: its lines of code, run together.
struct HelpExample {
  std::string place;    // "VKE.hlp:12 magic"
  std::string library;  // the library of the file
  std::string code;
};
std::vector<HelpExample> CarriedExamples();

// The names still without help, one "LIB::NAME" a line; lines that begin
// with "#" are comments.
std::string PendingListPath();
std::set<std::string> ReadPendingList();
// Writes the list anew (a regular file or none only); false when it cannot.
bool WritePendingList(const std::string& path, const std::set<std::string>& names);

}  // namespace vke::test
