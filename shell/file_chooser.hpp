// The open and save dialogs behind the application's file natives: what
// the natives ask for (a title, the filter in the dialogs' "description|
// patterns|...||" form, a proposed name) and the chosen path. The window
// answers with the toolkit's file chooser; a test with its own.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vke {

struct FileDialogRequest {
  bool save = false;         // the save dialog, which asks before overwriting
  std::string title;         // empty: the toolkit's own caption
  std::string filter;        // "desc|*.a;*.b|All files|*.*||", or empty for none
  std::string proposedName;  // the save dialog's file name, or empty
};

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The chosen file's full path (UTF-8), or nothing when the user cancelled.
  virtual std::optional<std::string> Choose(const FileDialogRequest& request) = 0;
};

// The toolkit's wildcard for a filter: its pairs of a description and a
// list of patterns joined by "|", with "*.*" (every file) written "*" so
// that names without a dot are listed too. A description without patterns
// and anything after the closing "||" are dropped; an empty filter gives
// an empty wildcard (every file).
std::string WildcardOfFilter(std::string_view filter);

}  // namespace vke
