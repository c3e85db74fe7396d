#include "tests/app/family_host.hpp"

#include <gtest/gtest.h>

#include "app/instances.hpp"
#include "app/kv_library.hpp"
#include "app/name_buffer.hpp"
#include "app/undo_buffer.hpp"
#include "app/undo_layout.hpp"

namespace vke::test {

namespace {

constexpr int32_t kFirstVariable = 106;
constexpr int32_t kFirstFunction = 1000;

std::vector<int32_t> VariableIds(size_t n) {
  std::vector<int32_t> ids;
  for (size_t i = 0; i < n; i++) ids.push_back(kFirstVariable + static_cast<int32_t>(i));
  return ids;
}

undo::Set InstanceSet(KVContextBlock* block) {
  const undo::Buffer b(block->UndoArea());
  return undo::Set(b, static_cast<uint32_t>(b.FindSet(0)));
}

}  // namespace

FamilyHost::FamilyHost(const std::vector<std::string>& variables, uint32_t size)
    : HandlerTestHost(VariableIds(variables.size()), size) {
  for (size_t i = 0; i < variables.size(); i++) {
    const int32_t id = kFirstVariable + static_cast<int32_t>(i);
    variables_[variables[i]] = id;
    EXPECT_EQ(AddNameSlot(block()->NameArea(), id, variables[i].c_str(), -1), kOk);
  }
}

ErrCode FamilyHost::Compile(const std::string& source) {
  return DefineKVLibrary(ctx(), "app.kv", source.data(), static_cast<int32_t>(source.size()),
                         &library_);
}

int32_t FamilyHost::Fn(const std::string& name) {
  auto it = functions_.find(name);
  if (it != functions_.end()) return it->second;
  const int32_t id = kFirstFunction + static_cast<int32_t>(functions_.size());
  EXPECT_EQ(AddNameSlot(block()->NameArea(), id, name.c_str(), -1), kOk);
  functions_[name] = id;
  return id;
}

InstanceRecord* FamilyHost::Record() {
  return FindInstance(block(), 0);
}

uint32_t FamilyHost::VersionCount() {
  return InstanceSet(block()).Versions();
}

uint32_t FamilyHost::CurrentVersion() {
  return static_cast<uint32_t>(UndoSetCurrentVersion(block()->UndoArea(), 0));
}

}  // namespace vke::test
