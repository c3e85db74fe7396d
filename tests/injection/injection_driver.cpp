// The runs of one program with each request for room refused in turn, and
// what each run is judged to be.
#include "tests/injection/injection_driver.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <utility>

#include "tests/host/shortage_texts.hpp"

namespace vke::test {

namespace {

double Setting(const char* name, double otherwise) {
  const char* text = std::getenv(name);
  return text && *text ? std::atof(text) : otherwise;
}

// The host's notes of its growth, which a refusal adds: "KV memory
// expanded to N KB" (or MB) and its line end.
std::string WithoutGrowthNotes(const std::string& text) {
  static const std::string note = "KV memory expanded to ";
  std::string kept;
  size_t from = 0;
  for (size_t at; (at = text.find(note, from)) != std::string::npos;) {
    kept.append(text, from, at - from);
    size_t end = text.find('\n', at);
    from = end == std::string::npos ? text.size() : end + 1;
  }
  if (from == 0) return text;
  kept.append(text, from, std::string::npos);
  return kept;
}

// What a run left that the comparison reads.
struct Seen {
  std::string out, err, files;
  int status;
};

Seen SeenOf(const RunOutcome& o) {
  return {WithoutGrowthNotes(o.out), WithoutGrowthNotes(o.err), o.files, o.status};
}

// The first line where two texts differ: its number (0 when they differ
// in none) and each side's line, or "<end>" past a text's end.
struct LineDifference {
  int line = 0;
  std::string expected, got;
};

LineDifference FirstDifferingLine(const std::string& a, const std::string& b) {
  std::istringstream sa(a), sb(b);
  std::string la, lb;
  for (int line = 1;; line++) {
    const bool ha = static_cast<bool>(std::getline(sa, la));
    const bool hb = static_cast<bool>(std::getline(sb, lb));
    if (!ha && !hb) return {};
    if (ha != hb || la != lb) return {line, ha ? la : "<end>", hb ? lb : "<end>"};
  }
}

// The first line where two texts differ, both sides shown.
std::string FirstDifference(const char* part, const std::string& a, const std::string& b) {
  const LineDifference d = FirstDifferingLine(a, b);
  if (d.line == 0) return std::string(part) + " differs";
  auto cut = [](const std::string& s) { return s.size() > 200 ? s.substr(0, 200) + "..." : s; };
  return std::string(part) + " line " + std::to_string(d.line) + ": expected \"" + cut(d.expected) +
         "\", got \"" + cut(d.got) + "\"";
}

// Whether the run reports a shortage where it first parts from the
// reference (in its output or error output): it ran out of room there,
// whatever shortages the reference reports elsewhere (a program that ends
// its own recursion at the stack's limit).
bool ShortageWhereItParts(const Seen& reference, const Seen& run) {
  for (auto [a, b] : {std::pair{&reference.out, &run.out}, std::pair{&reference.err, &run.err}}) {
    const LineDifference d = FirstDifferingLine(*a, *b);
    if (d.line != 0 && CountShortages(d.got) > 0) return true;
  }
  return false;
}

// What the run writes from where it first parts from the reference, its
// output's and then its error output's: where its shortage is reported.
std::string TextFromWhereItParts(const Seen& reference, const Seen& run) {
  std::string text;
  for (auto [a, b] : {std::pair{&reference.out, &run.out}, std::pair{&reference.err, &run.err}}) {
    const LineDifference d = FirstDifferingLine(*a, *b);
    if (d.line == 0) continue;
    size_t at = 0;
    for (int line = 1; line < d.line && at != std::string::npos; line++) {
      at = b->find('\n', at);
      if (at != std::string::npos) at++;
    }
    if (at != std::string::npos) text += b->substr(at);
  }
  return text;
}

uint64_t CeilingNotes(const Seen& seen) {
  uint64_t n = 0;
  for (const std::string* text : {&seen.out, &seen.err})
    for (size_t at = text->find(kCeilingNote); at != std::string::npos;
         at = text->find(kCeilingNote, at + 1))
      n++;
  return n;
}

std::string Difference(const Seen& reference, const Seen& run) {
  std::string what;
  auto add = [&](const std::string& w) { what += (what.empty() ? "" : "; ") + w; };
  if (run.status != reference.status)
    add("exit status " + std::to_string(run.status) + " (expected " +
        std::to_string(reference.status) + ")");
  const size_t mark = reference.out.find(kStateMark);
  const size_t runMark = run.out.find(kStateMark);
  const std::string refOut = reference.out.substr(0, mark), runOut = run.out.substr(0, runMark);
  if (refOut != runOut) add(FirstDifference("output", refOut, runOut));
  const std::string refState = mark == std::string::npos ? "" : reference.out.substr(mark);
  const std::string runState = runMark == std::string::npos ? "" : run.out.substr(runMark);
  if (refState != runState) add(FirstDifference("final state", refState, runState));
  if (run.err != reference.err) add(FirstDifference("error output", reference.err, run.err));
  if (run.files != reference.files) add(FirstDifference("files", reference.files, run.files));
  return what;
}

bool Crashed(const RunOutcome& o) {
  return o.status >= 128 || o.status < 0 ||
         o.err.find("ERROR: AddressSanitizer") != std::string::npos ||
         o.err.find("runtime error:") != std::string::npos;
}

// The requests to refuse: all of them, or the counting run's first requests
// of each site, in order, thinned evenly to the sample's number of runs. The
// sample depends on the program alone, never on the machine's speed.
std::vector<uint64_t> Plan(const RunOutcome& counting, const DriverSettings& s) {
  std::vector<uint64_t> ks;
  if (s.shown) return {s.shown};
  if (s.perSite == 0) {
    for (uint64_t k = 1; k <= counting.requests; k++) ks.push_back(k);
  } else {
    for (const RequestSite& site : counting.sites)
      if (site.occurrence <= s.perSite) ks.push_back(site.number);
    std::sort(ks.begin(), ks.end());
  }
  if (s.maxRuns == 0 || ks.size() <= s.maxRuns) return ks;
  std::vector<uint64_t> thinned;
  for (uint64_t i = 0; i < s.maxRuns; i++) thinned.push_back(ks[i * ks.size() / s.maxRuns]);
  return thinned;
}

}  // namespace

DriverSettings SettingsFromEnvironment(DriverSettings d) {
  // Every request asked for in the environment: without the sample's budgets
  // (the caps given below still hold).
  if (!d.whole && Setting("VKE_INJECT_ALL", 0) != 0) {
    d.whole = true;
    d.perSite = d.maxRuns = 0;
    d.seconds = 0;
  }
  d.maxRuns = static_cast<uint32_t>(Setting("VKE_INJECT_MAX_RUNS", d.maxRuns));
  d.perSite = static_cast<uint32_t>(Setting("VKE_INJECT_PER_SITE", d.perSite));
  d.seconds = Setting("VKE_INJECT_SECONDS", d.seconds);
  d.strict = Setting("VKE_INJECT_STRICT", d.strict ? 1 : 0) != 0;
  d.jobs = std::max(1u, static_cast<uint32_t>(Setting("VKE_INJECT_JOBS", d.jobs)));
  d.timeoutSeconds = Setting("VKE_INJECT_TIMEOUT", d.timeoutSeconds);
  d.shown = static_cast<uint64_t>(Setting("VKE_INJECT_SHOW", static_cast<double>(d.shown)));
  return d;
}

ProgramReport InjectIntoProgram(const Program& program, const DriverSettings& s,
                                const std::string& folder) {
  ProgramReport report;
  report.name = program.name;
  const auto start = std::chrono::steady_clock::now();
  RunSpec spec{program.body, 0, s.perSite, s.timeoutSeconds};
  const RunOutcome counting = RunForked(spec, folder);
  report.requests = counting.requests;
  std::copy(std::begin(counting.perKind), std::end(counting.perKind), report.perKind);
  if (Crashed(counting) || counting.timedOut) {
    report.firstFailure = counting.timedOut
                              ? "timed out"
                              : "status " + std::to_string(counting.status) + "\n" + counting.err;
    return report;
  }
  spec.sitesKept = 0;
  spec.traceRefused = s.shown != 0;
  const Seen reference = SeenOf(counting);
  // A program whose runs differ by themselves (time, threads) says nothing.
  const std::string again = Difference(reference, SeenOf(RunForked(spec, folder)));
  if (!again.empty()) {
    report.deterministic = false;
    report.firstFailure = again;
    return report;
  }
  // A retry runs part of the work again, so a run after a refusal makes a
  // few times the requests of the first; a busy wait makes as many more as
  // the machine is quicker at that moment, hence the wide room above that
  // (at tens of millions of requests a second, a few seconds of a run that
  // starts over for ever).
  spec.requestCap = 64 * counting.requests + 100000000;
  const std::vector<uint64_t> ks = Plan(counting, s);
  report.planned = ks.size();
  std::vector<std::string> folders;
  for (uint32_t j = 0; j < s.jobs; j++) folders.push_back(folder + "-" + std::to_string(j));
  const uint64_t referenceShortages = CountShortages(reference.out + reference.err);
  for (size_t from = 0; from < ks.size();) {
    if (s.seconds > 0 &&
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > s.seconds)
      break;
    std::vector<RunSpec> specs;
    for (size_t i = from; i < ks.size() && specs.size() < 4 * s.jobs; i++) {
      specs.push_back(spec);
      specs.back().refuse = ks[i];
    }
    const std::vector<RunOutcome> outcomes = RunForkedTogether(specs, folders);
    for (size_t i = 0; i < outcomes.size(); i++) {
      const RunOutcome& o = outcomes[i];
      const uint64_t k = ks[from + i];
      report.runs++;
      const Seen seen = SeenOf(o);
      if (s.shown)
        std::printf("--- output with request %llu refused\n%s--- error output\n%s---\n",
                    static_cast<unsigned long long>(k), o.out.c_str(), o.err.c_str());
      std::string what;
      if (o.endless)
        what = "did not end: it made more than " + std::to_string(spec.requestCap) +
               " requests for room";
      else if (o.timedOut)
        what = "did not end within " + std::to_string(static_cast<int>(s.timeoutSeconds)) + " s";
      else if (Crashed(o))
        what = "crashed (status " + std::to_string(o.status) + "): " + o.err.substr(0, 2000);
      else
        what = Difference(reference, seen);
      if (what.empty()) continue;
      // One stopped for its requests ends without its report, but went past the refused one.
      if (!o.refused && !o.endless)
        what = "without the refusal (the run made " + std::to_string(o.requests) +
               " requests): " + what;
      Finding f{k, o.refusedKind, what, ""};
      const bool shortage = o.refused && !o.timedOut && !o.endless && !Crashed(o) &&
                            (CountShortages(seen.out + seen.err) > referenceShortages ||
                             ShortageWhereItParts(reference, seen));
      if (!shortage) {
        report.faults.push_back(f);
        continue;
      }
      f.place = PlaceOfShortage(o, TextFromWhereItParts(reference, seen));
      const bool listed = !s.places || s.places->Covering(f.place);
      if (CeilingNotes(seen) > CeilingNotes(reference) && !s.strict) {
        report.atCeiling.push_back(f);
      } else if (s.strict || !listed) {
        f.what = std::string(listed ? "not grown [" : "not grown at a place not listed [") +
                 f.place + "]: " + f.what;
        report.faults.push_back(f);
      } else {
        report.notGrown.push_back(f);
      }
    }
    from += outcomes.size();
  }
  for (const std::string& f : folders) RemoveFolder(f);
  report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return report;
}

std::string DescribeReport(const ProgramReport& r) {
  std::ostringstream text;
  text << r.name << ": " << r.requests << " requests (";
  bool first = true;
  for (int k = 0; k < kRoomKindCount; k++) {
    if (!r.perKind[k]) continue;
    text << (first ? "" : ", ") << RoomKindName(static_cast<RoomKind>(k)) << " " << r.perKind[k];
    first = false;
  }
  text << "), " << r.runs << " of " << r.planned << " refused in turn, " << r.faults.size()
       << " faults, " << r.notGrown.size() << " not grown, ";
  if (!r.atCeiling.empty()) text << r.atCeiling.size() << " at the ceiling, ";
  text << static_cast<int>(r.seconds) << " s\n";
  if (!r.deterministic)
    text << "  not deterministic, skipped: " << r.firstFailure << "\n";
  else if (!r.firstFailure.empty())
    text << "  the run without refusals failed: " << r.firstFailure << "\n";
  for (const Finding& f : r.faults)
    text << "  FAULT at request " << f.refused << " (" << RoomKindName(f.kind) << "): " << f.what
         << "\n";
  for (const Finding& f : r.notGrown)
    text << "  not grown at request " << f.refused << " [" << f.place << "]: " << f.what << "\n";
  for (const Finding& f : r.atCeiling)
    text << "  at the ceiling at request " << f.refused << " (" << RoomKindName(f.kind)
         << "): " << f.what << "\n";
  return text.str();
}

}  // namespace vke::test
