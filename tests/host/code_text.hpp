// Test helpers for compiled code: a disassembler that writes code words as
// readable text, and a compiler front for texts and functions that gives the
// code, the error and its message.
#pragma once

#include <string>
#include <vector>

#include "engine/context.hpp"

namespace vke::test {

// "pushone pushsmallint 2 plus halt": opcode names in lower case with their
// operand words; nop padding is left out, strings are quoted, doubles
// written with %g, native calls as "native<index> <in> <out>".
std::string Disassemble(const int16_t* code, int32_t words);

struct CompileOptions {
  bool isText = true;
  bool keepAns = false;
  int32_t level = 0;    // optimisation level
  uint8_t feature = 0;  // feature byte (line markers)
  int32_t results = 0;
  int32_t scope = 0;
  int32_t function = -1;
  std::vector<std::string> vars;  // the frame's variables of a text
};

struct CompiledText {
  ErrCode error = 0;
  std::string code;            // disassembled code part
  std::string message;         // the pending error's text
  std::vector<int16_t> words;  // the whole block
  int32_t codeStart = 0;
  int32_t vars = 0;
  std::vector<std::string> varNames;
};

CompiledText CompileForTest(EngineContext* ctx, const std::string& text,
                            const CompileOptions& options = {});

}  // namespace vke::test
