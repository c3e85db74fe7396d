// The set-up of the benchmarks that drive a packed application: its
// description and source packed into a tool host (`PackForBench`), and for
// those that redraw it, its data reset and its figure laid out at width x
// height on an image through the screen port (`PackedFigure`).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/draw_cycle.hpp"
#include "app/instance_figure.hpp"
#include "app/instances.hpp"
#include "app/reset_data.hpp"
#include "bench/bench_check.hpp"
#include "graphics/cairo_target.hpp"
#include "graphics/port.hpp"
#include "tools/kvpack/pack.hpp"

namespace vke::bench {

// Creates the host's block and packs the application into it; `name` names
// the description (NAME.kvd) and its source file.
inline void PackForBench(kvpack::ToolHost* host, const char* description, const char* name,
                         const std::string& source) {
  Check(host->Create() == kOk, "block");
  host->Collect(true);  // the block's growth is no news here
  kvpack::AppDescription app;
  kvpack::PackError error;
  Check(kvpack::ParseDescription(description, std::string(name) + ".kv", &app, &error.error),
        "parse");
  const auto read = [&](const std::string&, std::string* text) {
    *text = source;
    return true;
  };
  if (!kvpack::PackApplication(host, app, std::string(name) + ".kvd", read, &error)) {
    std::fprintf(stderr, "%s line %d: error %d %s %s\n", error.file.c_str(), error.error.line,
                 error.error.code, error.error.detail.c_str(), error.error.message.c_str());
    Check(false, "pack");
  }
}

class PackedFigure {
 public:
  PackedFigure(const char* description, const char* name, const std::string& source, int32_t width,
               int32_t height) {
    PackForBench(&host_, description, name, source);
    Check(ResetInstanceData(host_.slot(), 0) == kOk, "reset");
    Check(CairoTarget::CreateImage(width, height, &image_) == kOk, "image");
    InitScreenPortMetrics();
    SetGraphicsPortFunctions(host_.block(), &ScreenPort());
    SetGraphicsPortTarget(host_.block(), image_.get());
    InstanceFigureHost figureHost(host_.slot(), 0);
    FigureState& fig = FindInstance(host_.block(), 0)->figure;
    SetFigureRect(&fig, figureHost, 0, width, 0, height);
    ResetInstanceSubplots(&fig);
    Check(RunDrawHandlers(host_.slot(), 0) == kOk, "draw");
    DrawInstanceSubplots(host_.block(), 0);
  }

  KVContextBlock* block() const { return host_.block(); }
  KVContextBlock** slot() { return host_.slot(); }
  SubplotRecord& subplot(int32_t k) const { return FindInstance(block(), 0)->figure.subplots[k]; }

 private:
  kvpack::ToolHost host_;
  std::unique_ptr<CairoTarget> image_;
};

}  // namespace vke::bench
