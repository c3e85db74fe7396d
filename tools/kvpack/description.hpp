// Application descriptions: the text from which kvpack builds the compiled
// element list of a KV application. One declaration per line; "#" starts a
// comment; texts are in double quotes (\" and \\ inside), or, where a longer
// text fits, a block:
//
//   help <<END
//   = Demo =
//   Drag the **point**.
//   END
//
// which takes the lines up to the one that holds only the tag. The keywords
// are those of keywords.def. Handlers name their function and variables in
// a call descriptor:
//
//   init (x, y) = setup()             outputs = function(inputs)
//   draw showpoint(x, y)              no outputs
//   mousedown (x, y) = (_x, _y)       no function: each output takes its input
//   key "ud" x = step(_key, x, 1)     inputs: variables, standard names, integers
//
// Items with their own arguments: "mousedown target 2 DESC" (a target id;
// any target without), "after x y: DESC" (runs when x or y has a value;
// "after DESC" always), "item \"Reset\" DESC enabled \"x ~= 0\" checked
// \"y > 0\"" (enabled and checked also for copy and paste items, as VKE
// expressions of the variables, _xdatatype and _param), "uioptions 0x21",
// "embed \"data.txt\" file \"data.txt\"" or "embed \"data.txt\" <<END".
//
// Errors carry the codes and messages of the application's error table and
// the line they were found on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/base.hpp"

namespace vke::kvpack {

// An error in a description or a file it names.
struct DescriptionError {
  ErrCode code = 0;
  int32_t line = 0;     // 0: none
  std::string detail;   // what it was found at
  std::string message;  // the engine's own text of the error; empty: the table's
};

// How a handler names its function and variables, told after the detail of
// an error in a call descriptor.
inline constexpr char kDescriptorForms[] =
    "expected OUTPUTS = FUNCTION(INPUTS), FUNCTION(INPUTS) or OUTPUTS = (INPUTS), "
    "OUTPUTS being a name or (a, b, ...)";
void TellDescriptorForms(DescriptionError* error);

// An input of a descriptor: a name or an integer. Integers are stored
// biased by 2^30 in a signed word, so they lie from -2^30 to 2^30 - 1.
inline constexpr int64_t kMinInputConstant = -(int64_t{1} << 30);
inline constexpr int64_t kMaxInputConstant = (int64_t{1} << 30) - 1;
struct Argument {
  std::string name;  // empty: the integer
  int64_t value = 0;
};

// A call descriptor as written: "(a, b) = f(x, 3)".
struct DescriptorSpec {
  std::string function;  // empty: none, the inputs become the outputs
  std::vector<std::string> outputs;
  std::vector<Argument> inputs;
};

// One declaration that makes an element.
struct ItemSpec {
  uint32_t kind = 0;
  int32_t line = 0;
  std::string text;  // its text, the keys of a key handler, an embedded file's name
  std::string data;  // an embedded file's contents
  std::string file;  // an embedded file or library read from this path, relative to the description
  int64_t word = 0;  // option bits, target id
  std::vector<std::string> variables;  // of a post-event handler
  DescriptorSpec descriptor;
  std::string enabled;  // VKE expressions of a menu, copy or paste item (empty: default)
  std::string checked;
};

struct SourceSpec {
  std::string path;  // relative to the description
  int32_t line = 0;
};

struct AppDescription {
  std::string fileName;  // of the KV file, "<base>.kv"
  int32_t fileNameLine = 0;
  std::vector<std::string> variables;  // in declaration order
  std::vector<SourceSpec> sources;
  std::vector<ItemSpec> items;  // in the order written
};

// Parses a description; false with the first error. defaultFileName is the
// KV file's name when the description gives none.
bool ParseDescription(const std::string& text, const std::string& defaultFileName,
                      AppDescription* out, DescriptionError* error);

// "message (code)" of the application's table (or the engine's, for codes
// below 10000), and ": detail" when there is one.
std::string ErrorText(const DescriptionError& error);

}  // namespace vke::kvpack
