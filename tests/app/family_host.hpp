// A block for tests of the handler families: instance 0 with named KV
// variables (ids 106, 107, ... in the order given), handlers compiled from
// VKE source into the instance's library, and function ids handed out by
// name.
//
//   FamilyHost h({"a", "b"});
//   ASSERT_EQ(h.Compile("function a = seta()\n a = 1;\n"), kOk);
//   ElementListBuilder b;
//   b.Instance(0, "app.kv", h.library()).Handler(kElemInit, {h.Fn("seta"), {h.Var("a")}});
#pragma once

#include <map>
#include <string>
#include <vector>

#include "app/instance_record.hpp"
#include "tests/app/handler_test_host.hpp"

namespace vke::test {

class FamilyHost : public HandlerTestHost {
 public:
  explicit FamilyHost(const std::vector<std::string>& variables, uint32_t size = 1u << 20);

  // Compiles the functions of the source into the library "_KV_app".
  ErrCode Compile(const std::string& source);
  // The library's function-table entry: the instance's code word.
  uint32_t library() const { return static_cast<uint32_t>(library_); }
  // The id of a variable given at construction.
  int32_t Var(const std::string& name) const { return variables_.at(name); }
  // The name-buffer id of a function (from 1000, added on first use).
  int32_t Fn(const std::string& name);

  // The instance record of instance 0.
  InstanceRecord* Record();
  // Versions of instance 0's undo set in use, and its current one.
  uint32_t VersionCount();
  uint32_t CurrentVersion();

 private:
  std::map<std::string, int32_t> variables_;
  std::map<std::string, int32_t> functions_;
  int32_t library_ = 0;
};

}  // namespace vke::test
