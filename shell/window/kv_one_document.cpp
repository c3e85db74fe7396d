// The document manager that keeps the first document.
#include "shell/window/kv_windows.hpp"

namespace vke {

wxDocument* OneDocumentManager::CreateDocument(const wxString& path, long flags) {
  if (!GetDocuments().empty()) return nullptr;
  return wxDocManager::CreateDocument(path, flags);
}

}  // namespace vke
