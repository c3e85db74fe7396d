// The open and save dialogs behind the application's file natives: the
// request the natives make (app/natives/file_dialogs.hpp) answered with the
// chosen path, and the provider the natives call over a chooser. The window
// answers with the toolkit's file chooser; a test with its own.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "app/natives/file_dialogs.hpp"

namespace vke {

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The chosen file's full path (UTF-8), or nothing when the user cancelled.
  virtual std::optional<std::string> Choose(const FileDialogRequest& request) = 0;
};

// The natives' provider over a chooser: a cancel answers false.
class ChooserDialogProvider : public FileDialogProvider {
 public:
  explicit ChooserDialogProvider(FileChooser& chooser) : chooser_(chooser) {}
  bool Choose(const FileDialogRequest& request, std::string* path) override {
    std::optional<std::string> chosen = chooser_.Choose(request);
    if (!chosen) return false;
    *path = std::move(*chosen);
    return true;
  }

 private:
  FileChooser& chooser_;
};

// The toolkit's wildcard for a filter: its pairs of a description and a
// list of patterns joined by "|", with "*.*" (every file) written "*" so
// that names without a dot are listed too. A description without patterns
// and anything after the closing "||" are dropped; an empty filter gives
// an empty wildcard (every file).
std::string WildcardOfFilter(std::string_view filter);

}  // namespace vke
