// getfile and putfile, and the file-type table that turns MIME type names
// into the extensions of an open dialog's filter.
#include "app/natives/file_dialogs.hpp"

#include <iterator>

#include "app/natives/app_natives.hpp"
#include "app/natives/host_text.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"
#include "numerics/linalg/linalg_support.hpp"

namespace vke {

namespace {

struct FileType {
  char extension[8];
  char type[24];
};

// Extensions by type name, the first row of a type being its filter's.
constexpr FileType kFileTypeTable[] = {
    {"txt", "text/plain"},               // plain text
    {"text", "text/plain"},              //
    {"c", "text/plain"},                 // C source
    {"h", "text/plain"},                 // C header
    {"p", "text/plain"},                 // Pascal source
    {"f", "text/plain"},                 // Fortran source
    {"f77", "text/plain"},               //
    {"asm", "text/plain"},               // assembler source
    {"java", "text/plain"},              // Java source
    {"bas", "text/plain"},               // Basic source
    {"html", "text/html"},               // web page
    {"htm", "text/html"},                //
    {"xml", "text/xml"},                 // XML document
    {"kv", "application/x-corvanel"},    // KV application
    {"ps", "application/postscript"},    // PostScript
    {"eps", "application/postscript"},   // encapsulated PostScript
    {"epsf", "application/postscript"},  //
    {"pdf", "application/pdf"},          // PDF document
    {"class", "application/java"},       // Java class
    {"wrl", "model/vrml"},               // VRML world
    {"gif", "image/gif"},                // GIF image
    {"tiff", "image/tiff"},              // TIFF image
    {"tif", "image/tiff"},               //
    {"jpeg", "image/jpeg"},              // JPEG image
    {"jpg", "image/jpeg"},               //
};
static_assert(std::size(kFileTypeTable) == 25);

// The description stops growing at this length.
constexpr size_t kMaxDescription = 100;
constexpr char kAllFiles[] = "|All files|*.*||";
// The longest path whose room is made before the dialog shows.
constexpr int32_t kPathRoom = 4096;

FileDialogProvider* g_provider = nullptr;

const char* ExtensionOf(std::string_view type) {
  for (const FileType& t : kFileTypeTable)
    if (type == t.type) return t.extension;
  return nullptr;
}

// Reads the texts, makes room for the path, drops the arguments, shows the
// dialog and pushes the chosen path or an empty text. A shortage comes
// before the user is asked (the call runs again after growth); once asked,
// nothing asks again.
ErrCode ShowFileDialog(EngineContext* ctx, int32_t nargin, bool save) {
  // Any value but a text is refused as it is (43), not tried as a number;
  // the proposed name is handed on whole, never cut into another one.
  std::string title, second;
  if (ErrCode e = nargin >= 1 ? WholeTextArg(ctx, nargin - 1, &title) : kOk) return e;
  if (ErrCode e = nargin >= 2 ? WholeTextArg(ctx, 0, &second) : kOk) return e;
  StackPlan plan;
  plan.Push(1, kPathRoom, false);
  if (ErrCode e = plan.Check(ctx)) return e;
  if (ErrCode e = Drop(ctx, nargin)) return e;
  FileDialogRequest request;
  request.save = save;
  request.title = title;
  std::string filter;
  if (save) {
    request.name = second;
  } else {
    filter = FileTypeFilter(second);
    request.filter = filter;
  }
  std::string path;
  if (g_provider) NoteDialogAsked(ctx);
  if (!g_provider || !g_provider->Choose(request, &path)) path.clear();
  return PushUtf8String(ctx, static_cast<int32_t>(path.size()), path.data());
}

}  // namespace

void SetFileDialogProvider(FileDialogProvider* provider) {
  g_provider = provider;
}

FileDialogProvider* GetFileDialogProvider() {
  return g_provider;
}

std::string FileTypeFilter(std::string_view typeNames) {
  std::string description;
  for (size_t at = 0; at < typeNames.size() && description.size() < kMaxDescription;) {
    size_t end = at;
    while (end < typeNames.size() && static_cast<unsigned char>(typeNames[end]) >= 32) end++;
    if (const char* extension = ExtensionOf(typeNames.substr(at, end - at))) {
      if (!description.empty()) description += '/';
      description += extension;
    }
    at = end + 1;
  }
  if (description.empty()) return description;
  std::string filter = description + "|*.";
  for (char c : description) filter += c == '/' ? std::string(";*.") : std::string(1, c);
  return filter + kAllFiles;
}

ErrCode GetFileNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  return ShowFileDialog(ctx, nargin, false);
}

ErrCode PutFileNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  return ShowFileDialog(ctx, nargin, true);
}

}  // namespace vke
