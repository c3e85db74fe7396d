// Disassembly of compiled code and a compiler front for tests.
#include "tests/host/code_text.hpp"

#include <cctype>
#include <cstdio>

#include "compiler/compile_internal.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/raise.hpp"

namespace vke::test {

namespace {

const char* const kNames[kOpcodeCount] = {
#define VKE_OPCODE(code, name, kind, count, call, flags) #name,
#include "engine/code/opcodes.def"
#undef VKE_OPCODE
};

std::string Lower(const char* s) {
  std::string out;
  for (; *s; s++) out += static_cast<char>(std::tolower(static_cast<unsigned char>(*s)));
  return out;
}

}  // namespace

std::string Disassemble(const int16_t* code, int32_t words) {
  std::string out;
  for (int32_t p = 0; p < words;) {
    const int32_t op = code[p];
    const int32_t length = InstructionLengthWithin(code, p, words);
    if (length == 0) {
      out += " <cut>";
      break;
    }
    if (op == kOpNop) {
      p++;
      continue;
    }
    if (!out.empty()) out += ' ';
    if (op >= kFirstNativeOpcode) {
      out += "native" + std::to_string(op - kFirstNativeOpcode);
    } else if (op >= 0) {
      out += Lower(kNames[op]);
    } else {
      out += "?" + std::to_string(op);
    }
    const OpcodeDescriptor d =
        op >= 0 && op < kOpcodeCount ? kOpcodeTable[op] : OpcodeDescriptor{op, 1, 2, 0, 0};
    if (d.kind == kOperDoubles) {
      char b[40];
      std::snprintf(b, sizeof b, " %g", OperandDouble(code + p + 1));
      out += b;
    } else if (d.kind == kOperText8 || d.kind == kOperText16) {
      const int32_t n = OperandLength(code + p + 1);
      out += " '";
      for (int32_t i = 0; i < n; i++) {
        int32_t ch = d.kind == kOperText8 ? reinterpret_cast<const uint8_t*>(code + p + 2)[i]
                                          : static_cast<uint16_t>(code[p + 2 + i]);
        out += ch < 128 ? std::string(1, static_cast<char>(ch)) : "\\u" + std::to_string(ch);
      }
      out += "'";
    } else if (d.kind == kOperInt32 || d.kind == kOperUInt32) {
      out += " " + std::to_string(OperandU32(code + p + 1));
    } else if (d.kind == kOperInt64) {
      out += " " + std::to_string(OperandU64(code + p + 1));
    } else {
      for (int32_t i = 1; i < length; i++) out += " " + std::to_string(code[p + i]);
    }
    p += length;
  }
  return out;
}

CompiledText CompileForTest(EngineContext* ctx, const std::string& text,
                            const CompileOptions& options) {
  CompiledText result;
  std::vector<uint64_t> scratchMemory(1 << 17);
  std::vector<uint64_t> codeMemory(1 << 14);
  Scratch scratch(reinterpret_cast<uint8_t*>(scratchMemory.data()),
                  static_cast<uint32_t>(scratchMemory.size() * 8));
  std::vector<char> names(options.vars.size() * 32, 0);
  for (size_t i = 0; i < options.vars.size(); i++)
    std::memcpy(names.data() + 32 * i, options.vars[i].data(), options.vars[i].size());
  CompileRequest request;
  request.text = text.data();
  request.length = static_cast<int32_t>(text.size());
  request.isText = options.isText;
  request.keepAns = options.keepAns;
  request.results = options.results;
  request.scope = options.scope;
  request.function = options.function;
  request.frameNames = names.data();
  request.frameVars = static_cast<int32_t>(options.vars.size());
  request.baseEntries = options.isText ? 1 : 0;
  const int32_t level = ctx->optLevel;
  const uint8_t feature = ctx->lineMarkers;
  ctx->optLevel = options.level;
  ctx->lineMarkers = options.feature;
  auto* buffer = reinterpret_cast<int16_t*>(codeMemory.data());
  CompiledBlock block;
  ClearPendingError(ctx);
  result.error = CompileFunction(ctx, request, buffer, static_cast<int32_t>(codeMemory.size() * 4),
                                 false, &scratch, &block);
  ctx->optLevel = level;
  ctx->lineMarkers = feature;
  if (result.error) {
    char message[400];
    GetErrorText(ctx, result.error, true, message, sizeof message, nullptr);
    result.message = message;
    return result;
  }
  result.codeStart = options.isText ? 0 : block.header.CodeAt();
  result.words.assign(buffer, buffer + block.words);
  result.code = Disassemble(buffer + result.codeStart, block.words - result.codeStart);
  result.vars = block.vars;
  for (int32_t i = 0; i < block.vars; i++)
    result.varNames.emplace_back(block.varNames + 32 * i, strnlen(block.varNames + 32 * i, 32));
  return result;
}

}  // namespace vke::test
