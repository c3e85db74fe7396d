// The application a benchmark drives: a description and the text of its one
// source file packed into the packing tool's block, and the check that
// stops a benchmark whose set-up failed.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/kvpack/pack.hpp"

namespace vke::bench {

inline void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "%s failed\n", what);
    std::exit(1);
  }
}

// Creates the host's block and packs the application into it; `name` is the
// KV file's name without ".kv".
inline void PackForBench(kvpack::ToolHost* host, const char* description, const char* source,
                         const std::string& name) {
  Check(host->Create() == kOk, "block");
  kvpack::AppDescription app;
  kvpack::PackError error;
  Check(kvpack::ParseDescription(description, name + ".kv", &app, &error.error), "parse");
  const auto read = [source](const std::string&, std::string* text) {
    *text = source;
    return true;
  };
  Check(kvpack::PackApplication(host, app, name + ".kvd", read, &error), "pack");
}

}  // namespace vke::bench
