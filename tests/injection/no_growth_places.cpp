// The list of places without growth: reading it, naming a run's place and
// finding the places listed that their programs meet no longer.
#include "tests/injection/no_growth_places.hpp"

#include <fstream>
#include <sstream>

#include "engine/code/opcodes.hpp"
#include "tests/host/shortage_texts.hpp"

namespace vke::test {

namespace {

struct OpcodeName {
  int32_t code;
  const char* name;
};

constexpr OpcodeName kOpcodeNames[] = {
#define VKE_OPCODE(code, name, kind, count, call, flags) {code, #name},
#include "engine/code/opcodes.def"
#undef VKE_OPCODE
};

const char* NameOfOpcode(int32_t opcode) {
  for (const OpcodeName& o : kOpcodeNames)
    if (o.code == opcode) return o.name;
  return nullptr;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(Trimmed(part));
  if (!text.empty() && text.back() == separator) parts.push_back("");  // the empty last one
  return parts;
}

bool IsRoomName(const std::string& name) {
  for (int k = 0; k < kRoomKindCount; k++)
    if (name == RoomKindName(static_cast<RoomKind>(k))) return true;
  return false;
}

}  // namespace

bool NoGrowthPlaces::Read(const std::string& path, std::string* message) {
  std::ifstream in(path);
  if (!in) {
    *message = path + " cannot be read";
    return false;
  }
  places_.clear();
  int number = 0, started = 0;  // the line of the place read last
  auto bad = [&](int at, const std::string& line) {
    *message = path + ":" + std::to_string(at) + ": " + line;
    return false;
  };
  for (std::string line; std::getline(in, line);) {
    number++;
    const std::string text = Trimmed(line);
    if (text.empty() || text[0] == '#') continue;
    // An indented line goes on with the why of the place above.
    if (line[0] == ' ' || line[0] == '\t') {
      if (places_.empty()) return bad(number, line);
      std::string& why = places_.back().why;
      why += (why.empty() ? "" : " ") + text;
      continue;
    }
    if (!places_.empty() && places_.back().why.empty()) return bad(started, "(no why)");
    const std::vector<std::string> fields = Split(line, '|');
    NoGrowthPlace p;
    if (fields.size() == 4) {
      p.place = fields[0] + " | " + fields[1];
      for (const std::string& program : Split(fields[2], ','))
        if (!program.empty()) p.programs.push_back(program);
      p.why = fields[3];
    }
    if (fields.size() != 4 || !IsRoomName(fields[0]) || fields[1].empty() || Find(p.place))
      return bad(number, line);
    places_.push_back(p);
    started = number;
  }
  if (!places_.empty() && places_.back().why.empty()) return bad(started, "(no why)");
  return true;
}

const NoGrowthPlace* NoGrowthPlaces::Find(const std::string& place) const {
  for (const NoGrowthPlace& p : places_)
    if (p.place == place) return &p;
  return nullptr;
}

const NoGrowthPlace* NoGrowthPlaces::Covering(const std::string& place) const {
  if (const NoGrowthPlace* p = Find(place)) return p;
  const size_t bar = place.find(" | ");
  return bar == std::string::npos ? nullptr : Find(place.substr(0, bar) + " | any");
}

std::string PlaceOfShortage(const RunOutcome& run, const std::string& reported) {
  std::string where;
  const char* opcode = run.failedOpcode >= 0 ? NameOfOpcode(run.failedOpcode) : nullptr;
  if (!run.failedName.empty())
    where = "call " + run.failedName;
  else if (opcode)
    where = std::string("instruction ") + opcode;
  else if (!run.refusedCaller.empty())
    where = "caller " + run.refusedCaller;
  else
    where = "message " + FirstShortage(reported);
  return std::string(RoomKindName(run.refusedKind)) + " | " + where;
}

bool ProgramOfThisBuild(const std::string& entry, std::string* name) {
#ifdef NDEBUG
  constexpr const char* kThisBuild = "release";
#else
  constexpr const char* kThisBuild = "debug";
#endif
  const size_t open = entry.rfind(" (");
  if (open == std::string::npos || entry.back() != ')') {
    *name = entry;
    return true;
  }
  *name = entry.substr(0, open);
  return entry.compare(open + 2, entry.size() - open - 3, kThisBuild) == 0;
}

std::vector<std::string> PlacesNoLongerMet(const NoGrowthPlaces& list,
                                           const std::set<std::string>& judged,
                                           const std::set<std::string>& met) {
  std::vector<std::string> lines;
  for (const NoGrowthPlace& p : list.places()) {
    std::string ran;
    bool seen = false;
    for (const std::string& entry : p.programs) {
      std::string program;
      if (!ProgramOfThisBuild(entry, &program) || !judged.count(program)) continue;
      ran += (ran.empty() ? "" : ", ") + program;
      seen = seen || met.count(program + "\t" + p.place);
    }
    if (!ran.empty() && !seen) lines.push_back(p.place + ": met by none of " + ran);
  }
  return lines;
}

}  // namespace vke::test
