// Writes compiled element lists in a few lines, for tests of instances,
// handlers and make chains:
//
//   ElementListBuilder b;
//   b.Instance(1, "demo.kv").Text(kElemTitle, "Demo").Handler(kElemInit, {fn, {101}, {}});
//   b.LoadInto(block);
//
// Element positions are word positions in the list; descriptor offsets are
// counted from the instance start, as handlers and records keep them.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app/block.hpp"

namespace vke::test {

// A handler call descriptor: the function's name-buffer id (negative: none),
// output codes, input codes.
struct Descriptor {
  Descriptor(int32_t fn = -1, std::vector<int32_t> out = {}, std::vector<int32_t> in = {})
      : function(fn), outputs(std::move(out)), inputs(std::move(in)) {}
  int32_t function;
  std::vector<int32_t> outputs;
  std::vector<int32_t> inputs;
};

class ElementListBuilder {
 public:
  // Kind 1: instance id, code word, file name.
  ElementListBuilder& Instance(int32_t id, const std::string& fileName, uint32_t codeWord = 0);
  // Kinds with a text only: 2, 3, 5, 11, 20, 22, 24, 45, 47.
  ElementListBuilder& Text(uint32_t kind, const std::string& text);
  // Kinds with one word: 6, 12.
  ElementListBuilder& Word(uint32_t kind, uint32_t word);
  // Kinds without payload: 13, 18, 23, 25.
  ElementListBuilder& Empty(uint32_t kind);
  // Kinds with a descriptor only: 7, 8, 9, 16, 32, 36, 38, 41.
  ElementListBuilder& Handler(uint32_t kind, const Descriptor& d);
  // Mouse kinds with a target id: 26-31, 33-35.
  ElementListBuilder& Targeted(uint32_t kind, int32_t target, const Descriptor& d);
  // Kinds with a text and a descriptor: 15, 17, 19, 40.
  ElementListBuilder& TextHandler(uint32_t kind, const std::string& text, const Descriptor& d);
  // Kind 14.
  ElementListBuilder& Paste(uint32_t linkedInstance, uint32_t linkId, const std::string& text,
                            const Descriptor& d);
  // Kind 39.
  ElementListBuilder& PostEvent(const std::vector<int32_t>& variables, const Descriptor& d);
  // Any kind with the given payload words.
  ElementListBuilder& Raw(uint32_t kind, const std::vector<uint32_t>& payload);

  // Word position of the last element, and its offset from its instance start.
  uint32_t Last() const { return last_; }
  uint32_t LastOffset() const { return last_ - instanceStart_; }
  // Offset from the instance start of the last element's descriptor.
  uint32_t LastDescriptor() const { return lastDescriptor_ - instanceStart_; }

  const std::vector<uint32_t>& words() const { return words_; }
  // Copies the list into the block's element area; 10006 when it does not
  // fit.
  ErrCode LoadInto(KVContextBlock* block) const;

 private:
  void Begin(uint32_t kind);
  void End();
  void AppendText(const std::string& text);
  void AppendDescriptor(const Descriptor& d);

  std::vector<uint32_t> words_;
  uint32_t last_ = 0;
  uint32_t instanceStart_ = 0;
  uint32_t lastDescriptor_ = 0;
};

}  // namespace vke::test
