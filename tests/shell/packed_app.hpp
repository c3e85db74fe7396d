// An application description of the source tree packed by the packing
// tool, for the shell's tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/image.hpp"
#include "tools/disk_file.hpp"
#include "tools/kvpack/description.hpp"
#include "tools/kvpack/pack.hpp"
#include "tools/kvpack/tool_host.hpp"

namespace vke::test {

// The source tree's file at a path relative to its root.
inline std::string SourcePath(const std::string& relative) {
  const char* data = std::getenv("VKE_TEST_DATA");
  EXPECT_NE(data, nullptr);
  return std::string(data ? data : ".") + "/../../" + relative;
}

// Packs the description into the tool's block.
inline void PackApp(kvpack::ToolHost* tool, const std::string& relative) {
  const std::string path = SourcePath(relative);
  std::string text;
  ASSERT_TRUE(ReadDiskFile(path, &text)) << path;
  const size_t slash = path.find_last_of('/');
  const std::string base = path.substr(slash + 1, path.find('.', slash) - slash - 1) + ".kv";
  kvpack::AppDescription app;
  kvpack::PackError error;
  ASSERT_TRUE(kvpack::ParseDescription(text, base, &app, &error.error));
  tool->Collect(true);
  ASSERT_TRUE(kvpack::PackApplication(tool, app, path, &ReadDiskFile, &error))
      << kvpack::PackErrorText(error);
}

}  // namespace vke::test
