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

// The script at `path` (libraries and help files beside it), its final
// variables listed as source text.
Program ScriptProgram(const std::string& path);

// A text run as the runner runs a script (from the working folder).
Program TextProgram(const std::string& name, const std::string& text);

// The check script run on the image; the undo history of instance 0 (every
// version of every variable, the current one marked) follows.
Program CheckProgram(const std::string& name, const std::string& image, const std::string& script);

// Packs the application of a check script (its NAME.kvd, or the description
// its first line names, "# app: FILE") into `image` with the packing tool
// `kvpack`. False, with the tool's message, when it fails.
bool PackCheckApplication(const std::string& kvpack, const std::string& script,
                          const std::string& image, std::string* message);

}  // namespace vke::test
