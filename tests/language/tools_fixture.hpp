// A test host for the language's tools: the records of help, lookfor and
// the debugger as the host's run-time table holds them, a temporary folder
// on the library search path for sources and help files, descriptor 4
// captured, line markers compiled, and command lines run as the runner
// runs them.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "compiler/tool_natives.hpp"
#include "engine/engine.hpp"
#include "engine/files/fd.hpp"
#include "engine/files/search_path.hpp"
#include "engine/registry/registry.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/file_table.hpp"
#include "tests/host/test_host.hpp"

namespace vke::test {

inline const NativeFunctionRecord* ToolRecords() {
  static const NativeFunctionRecord table[] = {
      MakeRecord("@testtools"),
#define VKE_RUNTIME_RECORD(name, fn, minIn, maxIn, minOut, maxOut) \
  MakeRecord(name, fn, minIn, maxIn, minOut, maxOut),
#include "compiler/debug_records.def"
#include "compiler/help_records.def"
#undef VKE_RUNTIME_RECORD
      MakeRecord(""),
  };
  return table;
}

class ToolsFixture : public ::testing::Test {
 protected:
  ToolsFixture() {
    SetContextFlag(ctx, 1);  // line markers, as the application compiles
    EXPECT_EQ(RegisterLibrary(ctx, ToolRecords(), true), kOk);
    host.ClaimFd(kFdHelpLinks);
    EXPECT_EQ(Run("path('" + files.folder() + "');"), kOk);
  }
  void TearDown() override { ResetSearchPathForTest(); }

  // One command line (at a stop: a command at the stop).
  ErrCode Run(const std::string& line) { return RunCommandLine(ctx, line + "\n"); }
  // What was written to descriptor 1, 2 or 4 since the last look.
  std::string Out() { return Take(kFdOut); }
  std::string Err() { return Take(kFdErr); }
  std::string Links() { return Take(kFdHelpLinks); }

  TestHost host;
  EngineContext* ctx = host.ctx();
  TestFileTable files{ctx};

 private:
  std::string Take(int32_t fd) {
    const std::string all = host.Output(fd);
    const size_t from = seen_[fd];
    seen_[fd] = all.size();
    return all.substr(from);
  }
  size_t seen_[kFdCapture] = {};
};

}  // namespace vke::test
