// Images of packed applications.
#include "tools/kvpack/image_io.hpp"

#include <vector>

#include "app/image.hpp"
#include "app/instance_info.hpp"
#include "tools/kvpack/description.hpp"

namespace vke::kvpack {

namespace {

constexpr int32_t kTitleBytes = 1024;

std::string Problem(const std::string& where, ErrCode code, const std::string& detail) {
  return where + ": " + ErrorText({code, 0, detail, ""});
}

}  // namespace

bool WriteImage(ToolHost* host, const std::string& title, const char* runtime,
                const std::string& out, std::string* message) {
  std::string name = title;
  if (name.empty()) {
    char buffer[kTitleBytes];
    int32_t length = 0;
    if (GetInstanceTitle(host->block(), 0, buffer, sizeof buffer, &length) == kOk)
      name.assign(buffer, static_cast<size_t>(length));
  }
  std::vector<uint8_t> image, again;
  if (ErrCode e = SaveImageBytes(host->block(), name, &image)) {
    *message = Problem(out, e, "the image");
    return false;
  }
  ToolHost check;
  std::string loadedTitle;
  ErrCode e = check.Create();
  if (!e) e = LoadImageBytes(check.slot(), image.data(), image.size(), out.c_str(), &loadedTitle);
  if (!e) e = SaveImageBytes(check.block(), loadedTitle, &again);
  if (!e && (again != image || loadedTitle != name)) e = kErrInit;
  if (e) {
    *message = Problem(out, e, "the image does not load back as it was packed");
    return false;
  }
  if ((e = WriteImageFile(host->block(), name, runtime, out.c_str()))) {
    *message = Problem(out, e, runtime ? runtime : "");
    return false;
  }
  return true;
}

bool LoadImage(ToolHost* host, const std::string& path, std::string* message) {
  std::string title;
  const ErrCode e = LoadImageFile(host->slot(), path.c_str(), &title);
  if (e) *message = Problem(path, e, "the image cannot be loaded");
  return e == kOk;
}
}  // namespace vke::kvpack
