// The file operations the desktop registration needs: a file replaced in
// one step, a comparison with the bytes expected, and a helper program run
// and waited for.
#pragma once

#include <string>
#include <string_view>

namespace vke {

// Writes the bytes to a new file beside path and renames it over path,
// creating the folders; readers see the old file or the new one, never a
// part. False when any step fails (path is then unchanged).
bool ReplaceFile(const std::string& path, std::string_view bytes);
// True when path is a file holding exactly these bytes.
bool FileHolds(const std::string& path, std::string_view bytes);
// Runs the program (looked up on PATH) with one argument, its output
// discarded, and waits for it; false when it cannot be run or fails.
bool RunProgram(const char* program, const std::string& argument);

}  // namespace vke
