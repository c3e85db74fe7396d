#include "tests/app/mouse_app.hpp"

#include <gtest/gtest.h>

#include "app/figure_png.hpp"
#include "app/instances.hpp"
#include "app/undo_values.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "graphics/object_store.hpp"
#include "graphics/scale.hpp"

namespace vke::test {

HandClock::HandClock(KVContextBlock* block) {
  for (Record& r : records_) r = {this, now_};
  block->timeFunction = &Read;
  block->timeRecords = reinterpret_cast<uint8_t*>(records_);
  block->timeRecordStride = sizeof(Record);
}

double HandClock::Read(void* record, int32_t, int32_t restart) {
  auto* r = static_cast<Record*>(record);
  const double elapsed = r->clock->now_ - r->start;
  if (restart) r->start = r->clock->now_;
  return elapsed;
}

MouseApp::MouseApp(const std::vector<std::string>& variables, const std::string& source,
                   const NativeFunctionRecord* natives)
    : host(variables, 4u << 20) {
  if (natives != nullptr) {
    EXPECT_EQ(RegisterEngineLibrary(block(), natives), kOk);
  }
  EXPECT_EQ(host.Compile(source), kOk);
  list.Instance(0, "app.kv", host.library());
  view = std::make_unique<HeadlessFigureView>(host.slot(), 0);
  EXPECT_EQ(view->Create(640, 480), kOk);
}

MouseApp& MouseApp::Plot(const std::string& name, const Descriptor& draw) {
  list.Text(kElemFigure, name);
  plots.push_back(static_cast<int32_t>(list.LastOffset()));
  list.Handler(kElemDraw, draw);
  return *this;
}

MouseApp& MouseApp::Mouse(uint32_t kind, const Descriptor& handler, int32_t target) {
  if (kind == kElemMouseOut) {
    list.Handler(kind, handler);
  } else {
    list.Targeted(kind, target, handler);
  }
  return *this;
}

void MouseApp::Start() {
  ASSERT_EQ(host.Load(list), kOk);
  ASSERT_EQ(DrawFigureImage(host.slot(), 0, view->image(), true), kOk)
      << Output() << host.Output(2);
  view->Paint();
  Output();
}

double MouseApp::PixelX(int32_t k, double x) const {
  return DataXToDevice(FindInstance(host.block(), 0)->figure.subplots[k], x);
}

double MouseApp::PixelY(int32_t k, double y) const {
  return DataYToDevice(FindInstance(host.block(), 0)->figure.subplots[k], y);
}

bool MouseApp::FindCommand(int32_t k, int32_t code, CommandHeader* header, const std::byte** data) {
  const ObjectList store(block()->DataArea());
  ObjectSpan span{};
  uint32_t at = 0;
  if (!ObjectListFind(store, 0, &span) || !FindSubplotCommands(store, 0, k, &at)) return false;
  const std::byte* payload = store.At(span.position);
  for (bool first = true; ReadCommandAt(payload, span.length, at, header);
       at += kCommandHeaderDoubles + static_cast<uint32_t>(header->length), first = false) {
    if (!first && header->code == kCmdObjectBegin) return false;
    if (header->code == code) {
      *data = payload + size_t{at + kCommandHeaderDoubles} * 8;
      return true;
    }
  }
  return false;
}

std::vector<double> MouseApp::Values(const std::string& variable) {
  return Values(Var(variable));
}

std::vector<double> MouseApp::Values(int32_t variable) {
  std::vector<double> out;
  EngineContext* ctx = block()->Engine();
  EXPECT_EQ(PushUndoValue(block(), 0, 0, variable), kOk);
  const NumericView v = ViewNumeric(ctx, 0);
  for (int32_t i = 0; v.cls == ValueClass::kDouble && i < v.shape.count; ++i) {
    out.push_back(ViewElement(v, i, false));
  }
  DropStackEntries(ctx, 0, 1);
  return out;
}

std::string MouseApp::Output() {
  const std::string text = host.Output(1);
  host.ClearOutput();
  return text;
}

}  // namespace vke::test
