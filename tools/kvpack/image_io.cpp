// Images of packed applications.
#include "tools/kvpack/image_io.hpp"

#include <sys/stat.h>

#include <vector>

#include "app/image.hpp"
#include "app/instance_info.hpp"
#include "app/runtime_mark.hpp"
#include "platform/read_files.hpp"
#include "tools/disk_file.hpp"
#include "tools/kvpack/description.hpp"

namespace vke::kvpack {

namespace {

constexpr int32_t kTitleBytes = 1024;

std::string Problem(const std::string& where, ErrCode code, const std::string& detail) {
  return where + ": " + ErrorText({code, 0, detail, ""});
}

using Records = std::vector<std::vector<uint8_t>>;

bool CollectRecord(const void* source, uint32_t size, uintptr_t records) {
  const auto* bytes = static_cast<const uint8_t*>(source);
  reinterpret_cast<Records*>(records)->emplace_back(bytes, bytes + size);
  return true;
}

// The records of the block's image, not compressed.
ErrCode SaveRecords(KVContextBlock* block, Records* out) {
  out->clear();
  return SaveImageSections(block, &CollectRecord, reinterpret_cast<uintptr_t>(out));
}

// Where the records of a packed block and of its image loaded into a fresh
// block differ, empty when they hold the same. The header's record of the
// saving block's undo area size is not read by the loader: a block that grew
// while packing records a larger area.
std::string FirstDifference(Records packed, Records loaded) {
  for (Records* r : {&packed, &loaded}) {
    if (r->empty() || r->front().size() != sizeof(ImageHeader)) continue;
    auto* header = reinterpret_cast<ImageHeader*>(r->front().data());
    header->undoCapacity = 0;
  }
  if (packed.size() != loaded.size())
    return std::to_string(packed.size()) + " records packed, " + std::to_string(loaded.size()) +
           " loaded";
  for (size_t i = 0; i < packed.size(); i++) {
    const std::vector<uint8_t>& a = packed[i];
    const std::vector<uint8_t>& b = loaded[i];
    if (a == b) continue;
    if (a.size() != b.size())
      return "record " + std::to_string(i) + " has " + std::to_string(a.size()) +
             " bytes packed, " + std::to_string(b.size()) + " loaded";
    size_t at = 0;
    while (a[at] == b[at]) at++;
    return "record " + std::to_string(i) + " differs at word " + std::to_string(at / 4);
  }
  return "";
}

// The file of `files` that `out` is, by device and inode, so that links
// and other spellings of its name count; null when it is none of them or
// does not exist yet.
const std::string* SameFile(const std::string& out, const std::vector<std::string>& files) {
  struct stat target;
  if (stat(out.c_str(), &target) != 0) return nullptr;
  for (const std::string& file : files) {
    struct stat st;
    if (stat(file.c_str(), &st) == 0 && st.st_dev == target.st_dev && st.st_ino == target.st_ino)
      return &file;
  }
  return nullptr;
}

// Why the file cannot be the runtime; empty when it can. A packed
// application carries the mark too, but a new image behind it would carry
// its old one along, growing with each packing: a file in which the
// runtime would find an image is refused.
std::string RuntimeProblem(const std::string& runtime) {
  int cause = 0;
  if (!CarriesRuntimeMark(runtime, &cause)) {
    if (cause != 0) return runtime + ": the runtime cannot be read: " + DiskFileReason(cause);
    return runtime + ": not a runtime (only the runtime kvrt carries its mark)";
  }
  if (FileCarriesImage(runtime.c_str()))
    return runtime + ": a packed application, not the runtime (pack behind the runtime kvrt)";
  return "";
}

}  // namespace

bool WriteImage(ToolHost* host, const std::string& title, const char* runtime,
                const std::string& out, const std::vector<std::string>& inputs,
                std::string* message) {
  std::vector<std::string> read = inputs;
  if (runtime) {
    if (*message = RuntimeProblem(runtime); !message->empty()) return false;
    read.emplace_back(runtime);
  }
  const std::string* input = SameFile(out, read);
  if (!input) input = FindReadFile(out);
  if (input) {
    *message = ReadFileRefusal(out, *input, kToolName);
    return false;
  }
  std::string name = title;
  if (name.empty()) {
    char buffer[kTitleBytes];
    int32_t length = 0;
    if (GetInstanceTitle(host->block(), 0, buffer, sizeof buffer, &length) == kOk)
      name.assign(buffer, static_cast<size_t>(length));
  }
  std::vector<uint8_t> image;
  if (ErrCode e = SaveImageBytes(host->block(), name, &image)) {
    *message = Problem(out, e, "the image");
    return false;
  }
  ToolHost check;
  std::string loadedTitle, difference;
  Records packed, loaded;
  ErrCode e = check.Create();
  if (!e) e = LoadImageBytes(check.slot(), image.data(), image.size(), out.c_str(), &loadedTitle);
  if (!e) e = SaveRecords(host->block(), &packed);
  if (!e) e = SaveRecords(check.block(), &loaded);
  if (!e) difference = loadedTitle != name ? "the title" : FirstDifference(packed, loaded);
  if (!e && !difference.empty()) e = kErrInit;
  if (e) {
    *message = Problem(out, e,
                       "the image does not load back as it was packed" +
                           (difference.empty() ? "" : " (" + difference + ")"));
    return false;
  }
  int cause = 0;
  if ((e = WriteImageFile(host->block(), name, runtime, out.c_str(), &cause))) {
    if (e == kErrFileNotFound)
      *message = std::string(runtime) + ": the runtime cannot be read: " + DiskFileReason(cause);
    else if (e == kErrIoErr)
      *message = out + ": cannot be written: " + DiskFileReason(cause);
    else
      *message = Problem(out, e, "the image");
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
