// Test tools for application images: a block holding a sample application,
// an image file taken apart into the bytes before it, its title and its
// records (inflated), put together again after a test changed them, and
// loaded from memory with or without the positioner.
#pragma once

#include <string>
#include <vector>

#include "app/image.hpp"
#include "tests/app/handler_test_host.hpp"

namespace vke::test {

inline constexpr int32_t kX = 106, kY = 107, kSetup = 1000;

// A saved application: two instances with titles, a handler, names, three
// versions of two variables with a released value between them, header
// fields off their defaults, and the engine's sample state.
class Application : public HandlerTestHost {
 public:
  explicit Application(uint32_t size = 1u << 20);
};

// Records of an image without extensions, by index.
enum ImageRecord : size_t {
  kRecHeader = 0,
  kRecExtensions = 1,
  kRecEngineHeader = 2,  // then the six engine parts
  kRecEngineData = 4,    // data-stack units
  kRecStore = 9,
  kRecInstances = 10,
  kRecElements = 11,
  kRecNames = 12,
  kRecUndoHead = 13,
  kRecUndoHeap = 14,
  kImageRecords = 15,
};

struct ImageParts {
  std::vector<uint8_t> prefix;  // what lies before the image (a runtime)
  std::string title;
  std::vector<std::vector<uint8_t>> records;

  ImageHeader& header() { return *reinterpret_cast<ImageHeader*>(records[kRecHeader].data()); }
  // Word i of a record.
  uint32_t Word(size_t record, size_t i) const;
  void SetWord(size_t record, size_t i, uint32_t value);
};

// Takes an image file apart; fails the test when it is not one.
ImageParts SplitImage(const std::vector<uint8_t>& file);
// The file again: the prefix, the title, each record compressed, the trailer.
std::vector<uint8_t> JoinImage(const ImageParts& parts);

// The image of a block, taken apart.
ImageParts SaveParts(KVContextBlock* block, const std::string& title = "T");

// Loads an image file from memory; extensions are looked for beside
// "/opt/app/runtime".
ErrCode LoadBytes(KVContextBlock** slot, const std::vector<uint8_t>& file,
                  std::string* title = nullptr);
ErrCode LoadParts(KVContextBlock** slot, const ImageParts& parts);
// Loads only the records, through LoadImageSections, with or without the
// positioner, handing extension names to the callback.
ErrCode LoadRecords(KVContextBlock** slot, const ImageParts& parts, bool positioner,
                    ExtensionFolderFn extensions = nullptr, uintptr_t argument = 0);

}  // namespace vke::test
