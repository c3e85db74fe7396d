// The library search path: one process-wide list of directory entries
// separated by ";", the directory separator, and the search that offers the
// candidate file names of a library to an opener.
#pragma once

#include "engine/base.hpp"

namespace vke {

inline constexpr int32_t kSearchPathBytes = 1024;  // the path and its end mark
inline constexpr int32_t kCandidateBytes = 256;    // candidates are cut at 254 characters

// Offered each candidate file name with its scheme flag (two or more letters
// and ":" start it); 0 when it opened the file, which ends the search.
using SearchOpener = ErrCode (*)(const char* candidate, bool scheme, void* arguments);

// Offers the candidates of name (extension: null or empty for none): first
// inside the directory of baseFile (everything up to its last separator) when
// one is given, then for each entry of the path in order. An entry holding
// "%f" (name and extension), "%b" (bare name) or "%s" ("." and extension)
// is expanded as written ("%%" is "%"); any other entry gets the separator,
// the name and "." and the extension; an empty entry gives the name alone.
// The candidate is built in buffer (kCandidateBytes; null for a buffer of
// its own), where the accepted one stays. 0 with *scheme for the accepted
// candidate, kErrFileNotFound when none is, or when there is no opener.
ErrCode SplitSearchPath(const char* name, const char* extension, const char* baseFile, char* buffer,
                        SearchOpener opener, void* arguments, bool* scheme);

void SetPathSeparator(char separator);

// The path as it stands (NUL-terminated, ending with ";").
const char* GetSearchPath();

// Test hook: the path ";" and the separator "/" again.
void ResetSearchPathForTest();

}  // namespace vke
