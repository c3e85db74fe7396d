// The open and save dialogs of getfile and putfile: what the natives ask of
// the host, the host's provider that shows them (the shell's, over the
// toolkit's file chooser; tools and tests give their own), and the filter
// made from MIME type names.
#pragma once

#include <string>
#include <string_view>

#include "engine/context.hpp"

namespace vke {

// One dialog to show. The open dialog takes only a file that exists; the
// save dialog asks before a file is overwritten and takes only a folder that
// exists.
struct FileDialogRequest {
  bool save = false;
  std::string_view title;   // empty: the dialog's own title
  std::string_view filter;  // "desc|*.a;*.b|All files|*.*||"; empty: no filter
  std::string_view name;    // the proposed file name (save dialogs)
};

class FileDialogProvider {
 public:
  virtual ~FileDialogProvider() = default;
  // Shows the dialog: true with the chosen path (UTF-8), false when the
  // user cancelled.
  virtual bool Choose(const FileDialogRequest& request, std::string* path) = 0;
};

// The provider of the process (null: none; the natives then answer as if
// the user cancelled). The host owns it and keeps it while natives may run.
void SetFileDialogProvider(FileDialogProvider* provider);
FileDialogProvider* GetFileDialogProvider();

// The filter of the open dialog for type names separated by characters
// below 32: the first extension the file-type table gives each known name
// ("html|*.html|All files|*.*||"), empty when none is known.
std::string FileTypeFilter(std::string_view typeNames);

// getfile(title, types) and putfile(title, name): the chosen path, or an
// empty text when the user cancelled.
ErrCode GetFileNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t user);
ErrCode PutFileNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t user);

}  // namespace vke
