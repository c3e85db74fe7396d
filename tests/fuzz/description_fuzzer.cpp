// Fuzzes the parser of application descriptions with libFuzzer. Whatever the
// text, parsing succeeds or fails with a code of the tables and a line
// inside the text.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "tools/kvpack/description.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vke::kvpack;
  const std::string text(reinterpret_cast<const char*>(data), size);
  AppDescription app;
  DescriptionError error;
  if (!ParseDescription(text, "app.kv", &app, &error)) {
    const auto lines = 1 + std::count(text.begin(), text.end(), '\n');
    if (error.code == 0 || error.line < 0 || error.line > lines) std::abort();
    if (ErrorText(error).empty()) std::abort();
  }
  return 0;
}
