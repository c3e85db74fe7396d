// A block for handler tests: instance 0 with KV variables of its own in its
// undo set, an element list written with ElementListBuilder, and readers and
// writers of the variables' current values.
#pragma once

#include <string>
#include <vector>

#include "app/handler_runner.hpp"
#include "tests/app/block_host.hpp"
#include "tests/app/element_list_builder.hpp"

namespace vke::test {

class HandlerTestHost : public BlockHost {
 public:
  // Instance 0's undo set holds the standard KV variables and these.
  explicit HandlerTestHost(std::vector<int32_t> variables, uint32_t size = 1u << 20,
                           HostTables tables = HostTables::kCapture);

  ErrCode Load(const ElementListBuilder& list) { return list.LoadInto(block()); }
  ErrCode Run(const HandlerRequest& request) { return RunHandler(slot(), request); }

  // Values `back` versions back.
  ErrCode SetScalar(int32_t variable, double value, int32_t back = 0);
  ErrCode SetText(int32_t variable, const std::string& text);
  bool HasValue(int32_t variable, int32_t back = 0);
  bool IsStale(int32_t variable);
  double Scalar(int32_t variable, int32_t back = 0);
  std::string Text(int32_t variable);
  // Element count of the value; -1 when it is not numeric or text.
  int64_t Count(int32_t variable);
};

// A request for instance 0 that runs the descriptor of the builder's last
// element.
HandlerRequest RequestFor(const ElementListBuilder& list);

}  // namespace vke::test
