// Test tools for application images: a block holding a sample application,
// its image taken apart, and images loaded from memory with or without the
// positioner.
#pragma once

#include <string>
#include <vector>

#include "app/image.hpp"
#include "tests/app/handler_test_host.hpp"
#include "tests/app/image_frames.hpp"

namespace vke::test {

inline constexpr int32_t kX = 106, kY = 107, kSetup = 1000;

// A saved application: two instances with titles, a handler, names, three
// versions of two variables with a released value between them, header
// fields off their defaults, and the engine's sample state.
class Application : public HandlerTestHost {
 public:
  explicit Application(uint32_t size = 1u << 20, HostTables tables = HostTables::kCapture);
};

// Takes an image file apart; fails the test when it is not one.
ImageParts SplitImage(const std::vector<uint8_t>& file);

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
