// Whole files read from disk, as the tools read sources, descriptions and
// scripts.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace vke {

// The file's bytes in *text; false when it cannot be opened.
inline bool ReadDiskFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *text = s.str();
  return true;
}

}  // namespace vke
