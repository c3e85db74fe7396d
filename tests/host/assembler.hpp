// Test helper: a small assembler for the instruction layouts of compiled
// code, and the installation of its output as a compiled function (header,
// variable table, names, code and function-table entry) or as code of the
// base workspace. It pins the execution loop's behaviour independently of
// the compiler.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/context.hpp"

namespace vke::test {

class Assembler {
 public:
  // An instruction with its operand words.
  Assembler& Op(int32_t opcode, std::initializer_list<int32_t> operands = {});
  // An instruction whose W0 is the offset to a label (jumps, casejump,
  // fornext ...), further operands after it.
  Assembler& Jump(int32_t opcode, const std::string& label,
                  std::initializer_list<int32_t> more = {});
  // settry entering a try block whose catch part starts at the label.
  Assembler& Try(const std::string& label, int32_t keep = 0);
  // An instruction with one double operand, 8-byte aligned by nop padding.
  Assembler& Double(int32_t opcode, double x);
  // 32- and 64-bit operands, lowest word first.
  Assembler& Wide(int32_t opcode, uint64_t value, int32_t words);
  // Text literals: pushstr (16-bit characters) and pushstr8 or print8
  // (packed bytes).
  Assembler& Str(const std::string& text, int32_t opcode = 33);
  Assembler& Str8(const std::string& text, int32_t opcode = 32);
  // A native call by global record index.
  Assembler& Native(int32_t globalIndex, int32_t inputs, int32_t outputs);
  Assembler& Label(const std::string& name);

  // The words for code whose first word lies at that word position (mod 4)
  // of an 8-byte aligned area.
  std::vector<int16_t> Words(uint32_t phase = 0) const;

 private:
  struct Item {
    enum Kind { kWords, kJump, kTry, kDouble, kLabel } kind;
    std::vector<int16_t> words;  // the opcode and operands (the offset word included)
    std::string label;
  };
  std::vector<Item> items_;
};

struct FunctionSpec {
  std::string name;
  int32_t inputs = 0;
  int32_t outputs = 0;
  // Outputs first, then inputs, then the other variables.
  std::vector<std::string> variables;
  uint16_t flags = 0;
};

// Writes a compiled function behind the code area's fill position and adds
// its function-table entry (its name interned); gives its index.
int32_t InstallFunction(EngineContext* ctx, const FunctionSpec& spec, const Assembler& code);
// Writes code without a header behind the fill position and points the code
// pointer at it, to run in the base workspace.
void LoadBaseCode(EngineContext* ctx, const Assembler& code);
// LoadBaseCode, then ExecuteBytecode.
ErrCode RunBaseCode(EngineContext* ctx, const Assembler& code, uint8_t sliced = 0);
// Names the base workspace's variables 1, 2, ... (variable 0 is "ans").
void SetBaseVariables(EngineContext* ctx, const std::vector<std::string>& names);

}  // namespace vke::test
