// The programs the growth-injection driver runs: a VKE source text run as
// the runner vke runs a script, and a check script run on a packed
// application as "kvpack check" runs it. Each ends by writing its final
// state to standard output behind kStateMark (the runner's variables; the
// application's undo history), with the requests for room no longer
// watched.
#pragma once

#include <functional>
#include <string>

namespace vke::test {

inline constexpr char kStateMark[] = "\n=== final state\n";

struct Program {
  std::string name;
  std::function<int()> body;  // runs in the driver's child; its exit status
};

// How a program runs: the runner's options as vke takes them (-m SIZE, -O N,
// --no-lapack, -L DIR, -i), and a folder whose files the run finds in its
// working folder (its data files) when it starts.
struct ProgramSetting {
  std::string options;  // added to those of a script's first line, "%! ..."
  std::string dataFolder;
};

// The script at `path` (libraries and help files beside it), run with the
// options of its first line "%! ..." (as the script tests give them) and
// those of the setting; its final variables listed as source text. A
// script whose options the runner would refuse fails with status 2.
Program ScriptProgram(const std::string& path, const ProgramSetting& setting = {});

// A text run as the runner runs a script (from the working folder).
Program TextProgram(const std::string& name, const std::string& text,
                    const ProgramSetting& setting = {});

// The check script run on the image; the undo history of instance 0 (every
// version of every variable, the current one marked) follows.
Program CheckProgram(const std::string& name, const std::string& image, const std::string& script,
                     const ProgramSetting& setting = {});

// Packs the application of a check script (`application` when given, else
// its NAME.kvd, or the description its first line names, "# app: FILE")
// into `image` with the packing tool `kvpack`. False, with the tool's
// message, when it fails.
bool PackCheckApplication(const std::string& kvpack, const std::string& script,
                          const std::string& image, std::string* message,
                          const std::string& application = "");

}  // namespace vke::test
