// Where a start-up script stands in the description: read apart from the
// script's running, so that the error texts need none of it.
#include <string_view>

#include "app/element_list.hpp"
#include "app/handler_elements.hpp"
#include "app/kv_elements.hpp"
#include "app/startup_script.hpp"

namespace vke {

bool StartupScriptPlace(KVContextBlock* block, int32_t id, std::string_view* file,
                        int32_t* firstLine) {
  ElementListView list;
  ElementRef element;
  std::string_view script;
  int32_t at = -1;
  if (FindElement(block, id, &at, kElemStartupScript) != kOk ||
      !InstanceElementAt(block, id, at, &list, &element) || !ElementText(list, element, 0, &script))
    return false;
  // The line word follows the text's words, the file name's text the line.
  const auto line = static_cast<uint32_t>(script.size() / 4 + 2);
  if (line + 1 >= element.length - 2 || !ElementText(list, element, line + 1, file) ||
      file->empty())
    return false;
  *firstLine = static_cast<int32_t>(ElementWord(list, element, line));
  return *firstLine > 0;
}

}  // namespace vke
