// Where the help tests run VKE text: the runner's engine, as `vke -e`
// without -L runs it, and the draw handler of a packed one-figure
// application, as the runtime runs it. Each gives the engine's code and
// what the text wrote.
#pragma once

#include <string>

#include "engine/context.hpp"
#include "engine/errors/errors.hpp"
#include "tools/runner_area.hpp"

namespace vke::test {

// The runner's engine with no -L folder.
class RunnerEngine {
 public:
  RunnerEngine();
  EngineContext* ctx() const { return ctx_; }
  // Runs the text as `vke -e` does, with what it wrote to the standard
  // descriptors.
  ErrCode Run(const std::string& text, std::string* output);

 private:
  RunnerArea area_;
  EngineContext* ctx_ = nullptr;
};

ErrCode RunInRunner(const std::string& text, std::string* output);
ErrCode RunInFigure(const std::string& text, std::string* output);

// A fresh temporary folder made the current one for the object's life.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_, previous_;
};

}  // namespace vke::test
