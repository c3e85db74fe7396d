#include "tests/app/element_list_builder.hpp"

#include <cstring>

#include "app/errors.hpp"
#include "app/kv_elements.hpp"

namespace vke::test {

void ElementListBuilder::Begin(uint32_t kind) {
  last_ = static_cast<uint32_t>(words_.size());
  words_.push_back(kind);
  words_.push_back(0);
}

void ElementListBuilder::End() {
  words_[last_ + 1] = static_cast<uint32_t>(words_.size()) - last_;
}

void ElementListBuilder::AppendText(const std::string& text) {
  words_.push_back(static_cast<uint32_t>(text.size()));
  std::vector<uint32_t> packed(text.size() / 4 + 1, 0);
  std::memcpy(packed.data(), text.data(), text.size());
  words_.insert(words_.end(), packed.begin(), packed.end());
}

void ElementListBuilder::AppendDescriptor(const Descriptor& d) {
  lastDescriptor_ = static_cast<uint32_t>(words_.size());
  words_.push_back(static_cast<uint32_t>(d.function));
  words_.push_back(static_cast<uint32_t>(d.inputs.size()));
  words_.push_back(static_cast<uint32_t>(d.outputs.size()));
  for (int32_t c : d.outputs) words_.push_back(static_cast<uint32_t>(c));
  for (int32_t c : d.inputs) words_.push_back(static_cast<uint32_t>(c));
}

ElementListBuilder& ElementListBuilder::Instance(int32_t id, const std::string& fileName,
                                                 uint32_t codeWord) {
  Begin(kElemInstanceStart);
  instanceStart_ = last_;
  words_.push_back(static_cast<uint32_t>(id));
  words_.push_back(codeWord);
  std::vector<uint32_t> packed(fileName.size() / 4 + 1, 0);
  std::memcpy(packed.data(), fileName.data(), fileName.size());
  words_.insert(words_.end(), packed.begin(), packed.end());
  End();
  return *this;
}

ElementListBuilder& ElementListBuilder::Text(uint32_t kind, const std::string& text) {
  Begin(kind);
  AppendText(text);
  End();
  return *this;
}

ElementListBuilder& ElementListBuilder::Word(uint32_t kind, uint32_t word) {
  return Raw(kind, {word});
}

ElementListBuilder& ElementListBuilder::Empty(uint32_t kind) {
  return Raw(kind, {});
}

ElementListBuilder& ElementListBuilder::Handler(uint32_t kind, const Descriptor& d) {
  Begin(kind);
  AppendDescriptor(d);
  End();
  return *this;
}

ElementListBuilder& ElementListBuilder::Targeted(uint32_t kind, int32_t target,
                                                 const Descriptor& d) {
  Begin(kind);
  words_.push_back(static_cast<uint32_t>(target));
  AppendDescriptor(d);
  End();
  return *this;
}

ElementListBuilder& ElementListBuilder::TextHandler(uint32_t kind, const std::string& text,
                                                    const Descriptor& d) {
  Begin(kind);
  AppendText(text);
  AppendDescriptor(d);
  End();
  return *this;
}

ElementListBuilder& ElementListBuilder::Paste(uint32_t linkedInstance, uint32_t linkId,
                                              const std::string& text, const Descriptor& d) {
  Begin(kElemPaste);
  words_.push_back(linkedInstance);
  words_.push_back(linkId);
  AppendText(text);
  AppendDescriptor(d);
  End();
  return *this;
}

ElementListBuilder& ElementListBuilder::PostEvent(const std::vector<int32_t>& variables,
                                                  const Descriptor& d) {
  Begin(kElemPostEvent);
  words_.push_back(static_cast<uint32_t>(variables.size()));
  for (int32_t v : variables) words_.push_back(static_cast<uint32_t>(v));
  AppendDescriptor(d);
  End();
  return *this;
}

ElementListBuilder& ElementListBuilder::Raw(uint32_t kind, const std::vector<uint32_t>& payload) {
  Begin(kind);
  words_.insert(words_.end(), payload.begin(), payload.end());
  End();
  return *this;
}

ErrCode ElementListBuilder::LoadInto(KVContextBlock* block) const {
  if (4 * words_.size() > block->elementBytes) return kKvNotEnoughMemForKVFile;
  std::memcpy(block->ElementArea(), words_.data(), 4 * words_.size());
  block->elementWords = static_cast<uint32_t>(words_.size());
  return kOk;
}

}  // namespace vke::test
