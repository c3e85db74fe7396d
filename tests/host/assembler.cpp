#include "tests/host/assembler.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "engine/code/code_generation.hpp"
#include "engine/code/names.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/frames/function_block.hpp"

namespace vke::test {

Assembler& Assembler::Op(int32_t opcode, std::initializer_list<int32_t> operands) {
  Item item{Item::kWords, {static_cast<int16_t>(opcode)}, {}};
  for (int32_t w : operands) item.words.push_back(static_cast<int16_t>(w));
  items_.push_back(item);
  return *this;
}

Assembler& Assembler::Jump(int32_t opcode, const std::string& label,
                           std::initializer_list<int32_t> more) {
  Item item{Item::kJump, {static_cast<int16_t>(opcode), 0}, label};
  for (int32_t w : more) item.words.push_back(static_cast<int16_t>(w));
  items_.push_back(item);
  return *this;
}

Assembler& Assembler::Try(const std::string& label, int32_t keep) {
  items_.push_back(Item{Item::kTry, {kOpSetTry, 0, static_cast<int16_t>(keep)}, label});
  return *this;
}

Assembler& Assembler::Double(int32_t opcode, double x) {
  Item item{Item::kDouble, {static_cast<int16_t>(opcode), 0, 0, 0, 0}, {}};
  std::memcpy(&item.words[1], &x, 8);
  items_.push_back(item);
  return *this;
}

Assembler& Assembler::Wide(int32_t opcode, uint64_t value, int32_t words) {
  Item item{Item::kWords, {static_cast<int16_t>(opcode)}, {}};
  for (int32_t i = 0; i < words; i++) item.words.push_back(static_cast<int16_t>(value >> (16 * i)));
  items_.push_back(item);
  return *this;
}

Assembler& Assembler::Str(const std::string& text, int32_t opcode) {
  Item item{Item::kWords, {static_cast<int16_t>(opcode), static_cast<int16_t>(text.size())}, {}};
  for (char c : text) item.words.push_back(static_cast<int16_t>(static_cast<uint8_t>(c)));
  items_.push_back(item);
  return *this;
}

Assembler& Assembler::Str8(const std::string& text, int32_t opcode) {
  Item item{Item::kWords, {static_cast<int16_t>(opcode), static_cast<int16_t>(text.size())}, {}};
  for (size_t i = 0; i < text.size(); i += 2) {
    uint16_t w = static_cast<uint8_t>(text[i]);
    if (i + 1 < text.size()) w |= static_cast<uint16_t>(static_cast<uint8_t>(text[i + 1]) << 8);
    item.words.push_back(static_cast<int16_t>(w));
  }
  items_.push_back(item);
  return *this;
}

Assembler& Assembler::Native(int32_t globalIndex, int32_t inputs, int32_t outputs) {
  return Op(kFirstNativeOpcode + globalIndex, {inputs, outputs});
}

Assembler& Assembler::Label(const std::string& name) {
  items_.push_back(Item{Item::kLabel, {}, name});
  return *this;
}

std::vector<int16_t> Assembler::Words(uint32_t phase) const {
  std::vector<int16_t> out;
  std::map<std::string, int32_t> labels;
  std::vector<std::pair<size_t, const Item*>> patches;  // position of the instruction
  for (const Item& item : items_) {
    if (item.kind == Item::kLabel) {
      labels[item.label] = static_cast<int32_t>(out.size());
      continue;
    }
    if (item.kind == Item::kDouble)
      while ((phase + out.size() + 1) % 4 != 0) out.push_back(kOpNop);
    if (item.kind == Item::kJump || item.kind == Item::kTry)
      patches.emplace_back(out.size(), &item);
    out.insert(out.end(), item.words.begin(), item.words.end());
  }
  for (const auto& [at, item] : patches) {
    auto it = labels.find(item->label);
    EXPECT_NE(it, labels.end()) << "no label " << item->label;
    if (it == labels.end()) continue;
    // Jumps count from the word after their offset; settry from its end.
    const int32_t from = static_cast<int32_t>(at) + (item->kind == Item::kTry ? 3 : 2);
    out[at + 1] = static_cast<int16_t>(it->second - from);
  }
  return out;
}

namespace {

// The fill position for a new block, 4-word aligned.
uint32_t NextBlock(EngineContext* ctx) {
  return (ctx->codeEnd + 3) & ~3u;
}

uint32_t Phase(EngineContext* ctx, uint32_t position) {
  return static_cast<uint32_t>((reinterpret_cast<uintptr_t>(ctx->CodeBytes()) / 2 + position) % 4);
}

}  // namespace

int32_t InstallFunction(EngineContext* ctx, const FunctionSpec& spec, const Assembler& code) {
  FunctionHeader h;
  h.flags = spec.flags;
  h.vars = static_cast<uint16_t>(spec.variables.size());
  h.inputs = static_cast<uint16_t>(spec.inputs);
  h.outputs = static_cast<uint16_t>(spec.outputs);
  const uint32_t position = NextBlock(ctx);
  const std::vector<int16_t> words = code.Words(Phase(ctx, position + h.CodeAt()));
  const uint32_t total = h.CodeAt() + static_cast<uint32_t>(words.size());
  EXPECT_LT(uint64_t{position} + total, ctx->codeSize);
  EXPECT_LT(ctx->funcCount, ctx->funcCap);
  NoteCodeChanged();
  uint8_t* block = ctx->CodeBytes() + 2ull * position;
  std::memset(block, 0, 2ull * total);
  Store(block, h);
  for (uint32_t i = 0; h.HasNames() && i < h.vars; i++) {
    const std::string& name = spec.variables[i];
    std::memcpy(block + 2 * (h.NamesAt() + kFnNameUnits * i), name.data(),
                std::min<size_t>(name.size(), 32));
  }
  std::memcpy(block + 2 * h.CodeAt(), words.data(), 2 * words.size());
  ctx->codeEnd = position + total;
  int32_t nameId = 0;
  EXPECT_EQ(InternName(ctx, spec.name.data(), static_cast<int32_t>(spec.name.size()), 32, &nameId),
            kOk);
  const int32_t index = static_cast<int32_t>(ctx->funcCount++);
  const int32_t entry[4] = {nameId, 0, static_cast<int32_t>(position), 0};
  std::memcpy(ctx->CodeBytes() + 16ull * index, entry, 16);
  return index;
}

void LoadBaseCode(EngineContext* ctx, const Assembler& code) {
  const uint32_t position = NextBlock(ctx);
  const std::vector<int16_t> words = code.Words(Phase(ctx, position));
  EXPECT_LT(position + words.size(), ctx->codeSize);
  NoteCodeChanged();
  std::memcpy(ctx->CodeBytes() + 2ull * position, words.data(), 2 * words.size());
  ctx->codeEnd = position + static_cast<uint32_t>(words.size());
  ctx->cpKind = kCodeArea;
  ctx->cpOffset = 2 * position;
  ctx->cpFlag = 0;
}

ErrCode RunBaseCode(EngineContext* ctx, const Assembler& code, uint8_t sliced) {
  LoadBaseCode(ctx, code);
  return ExecuteBytecode(ctx, sliced);
}

void SetBaseVariables(EngineContext* ctx, const std::vector<std::string>& names) {
  uint32_t* w = FrameWords(ctx, 0);
  ASSERT_EQ(w[kFwReturnKind], kBaseFrameKind);
  ASSERT_LT(names.size(), w[kFwNameCapacity]);
  w[kFwVarCount] = static_cast<uint32_t>(names.size() + 1);
  char* slotsNames = reinterpret_cast<char*>(w + kFrameHeaderWords + w[kFwNameCapacity]);
  for (size_t i = 0; i < names.size(); i++) {
    char* name = slotsNames + kFrameNameBytes * (i + 1);
    std::memset(name, 0, kFrameNameBytes);
    std::memcpy(name, names[i].data(), std::min<size_t>(names[i].size(), 32));
  }
}

}  // namespace vke::test
