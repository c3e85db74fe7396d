#include "tests/host/figure_harness.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/handler_runner.hpp"
#include "app/instances.hpp"
#include "app/kv_elements.hpp"
#include "app/name_buffer.hpp"
#include "compiler/compile.hpp"
#include "engine/errors/errors.hpp"
#include "engine/registry/registry.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/object_store.hpp"
#include "graphics/scale.hpp"

namespace vke::test {

namespace {

constexpr int32_t kInstance = 0;
// Name-buffer ids of the draw handlers' functions: kFirstHandlerId + n.
constexpr int32_t kFirstHandlerId = 1000;
// The element list of Draw: the instance start (id, code word 0 and an
// empty file name), then the draw element, whose descriptor (function id,
// no inputs, no outputs) lies kDrawDescriptor words after the start.
constexpr uint32_t kInstanceStartWords = 5;
constexpr uint32_t kDrawDescriptor = kInstanceStartWords + 2;

ObjectList StoreOf(KVContextBlock* block) {
  return ObjectList(block->DataArea());
}

}  // namespace

FigureHarness::FigureHarness(int32_t rows, int32_t columns, uint32_t blockBytes)
    : memory_(std::aligned_alloc(16, (size_t{blockBytes} + 15) & ~size_t{15})) {
  if (InitKVContextBlock(&block_, memory_, blockBytes, 0, 2) != kOk) std::abort();
  FigureState& fig = figure();
  SetRect(fig.rect, 0, 640, 0, 480);
  if (SetSubplotLayout(&fig, rows, columns) != kOk) std::abort();
  SetCurrentInstanceContext(&block_->nativeCall, kInstance, 0);
  table_ = {MakeRecord("@figureharness"),
            MakeRecord("+write", &Write, 1, 0, 0, 0, reinterpret_cast<uintptr_t>(this)),
            MakeRecord("")};
  if (RegisterEngineLibrary(block_, table_.data()) != kOk) std::abort();
}

FigureHarness::~FigureHarness() {
  std::free(memory_);
}

FigureState& FigureHarness::figure() const {
  return FindInstance(block_, kInstance)->figure;
}

void FigureHarness::Open() {
  BeginObjectListCapture(StoreOf(block_), &block_->capture, kInstance, true);
  SetCurrentInstanceContext(&block_->nativeCall, kInstance, 0);
}

bool FigureHarness::BeginSubplot(int32_t k) {
  if (block_->capture.id == -1) Open();
  ObjectWriterState& w = block_->capture;
  w.currentObject = k;
  if (!AppendObjectBeginCommand(StoreOf(block_).At(w.start), w.capacity, &w.used, k)) return false;
  SubplotScaleDefaults(&subplot(k));
  return true;
}

void FigureHarness::SelectSubplot(int32_t k) {
  block_->capture.currentObject = k;
}

ErrCode FigureHarness::Close() {
  block_->capture.currentObject = -1;
  return EndObjectListCapture(StoreOf(block_), &block_->capture);
}

void FigureHarness::LimitRoom(uint32_t doubles) {
  block_->capture.capacity = block_->capture.used + doubles;
}

ErrCode FigureHarness::Call(const char* name, int32_t nargin, int32_t nargout) {
  EngineContext* c = ctx();
  int32_t index;
  const NativeFunctionRecord* r = FindLibraryRecord(c, name, nullptr, 0, &index);
  if (r == nullptr || r->IsHeader() || r->IsHook()) return kErrNotSupported;
  return reinterpret_cast<NativeFn>(r->function)(c, nargin, nargout, RecordUserData(c, r));
}

ErrCode FigureHarness::Draw(int32_t k, const std::string& body) {
  const int32_t id = kFirstHandlerId + handlers_;
  const std::string name = "drawhandler" + std::to_string(handlers_++);
  const std::string source = "function " + name + "\n" + body + "\nendfunction\n";
  // 200 tells of other functions whose source is missing, as for command
  // lines; this one is defined.
  const ErrCode defined =
      DefineSourceFunctions(ctx(), source.data(), static_cast<int32_t>(source.size()), 0);
  if (defined && defined != kErrFunNotFound) return defined;
  if (ErrCode e = AddNameSlot(block_->NameArea(), id, name.c_str(), -1)) return e;
  const uint32_t list[] = {kElemInstanceStart,
                           kInstanceStartWords,
                           kInstance,
                           0,
                           0,
                           kElemDraw,
                           5,
                           static_cast<uint32_t>(id),
                           0,
                           0};
  std::memcpy(block_->ElementArea(), list, sizeof list);
  block_->elementWords = sizeof list / 4;
  if (k >= 0 && !BeginSubplot(k)) return kErrPlotOverflow;
  HandlerRequest request;
  request.instance = kInstance;
  request.descriptor = kDrawDescriptor;
  request.objectId = k;
  request.kind = kElemDraw;
  return RunHandler(&block_, request);
}

std::string FigureHarness::TakeOutput() {
  std::string out;
  out.swap(output_);
  return out;
}

ErrCode FigureHarness::Write(EngineContext*, int32_t fd, const char* bytes, int32_t n,
                             uintptr_t self) {
  if (fd != 1 && fd != 2) return kErrBadFileID;
  reinterpret_cast<FigureHarness*>(self)->output_.append(bytes, n);
  return kOk;
}

std::vector<double> FigureHarness::Payload() const {
  const ObjectList list = StoreOf(block_);
  ObjectSpan span{0, 0};
  if (block_->capture.id != -1) {
    span = {block_->capture.start, block_->capture.used};
  } else if (!ObjectListFind(list, kInstance, &span)) {
    return {};
  }
  std::vector<double> out(span.length);
  for (uint32_t i = 0; i < span.length; i++) out[i] = list.Get(span.position + i);
  return out;
}

std::vector<FigureCommand> FigureHarness::Commands(int32_t k) const {
  const std::vector<double> payload = Payload();
  const auto* bytes = reinterpret_cast<const std::byte*>(payload.data());
  const auto length = static_cast<uint32_t>(payload.size());
  std::vector<FigureCommand> out;
  int32_t group = 0;
  CommandHeader h;
  for (uint32_t at = 0; ReadCommandAt(bytes, length, at, &h);
       at += kCommandHeaderDoubles + h.length) {
    const double* data = payload.data() + at + kCommandHeaderDoubles;
    if (h.code == kCmdObjectBegin) {
      group = h.length > 0 ? static_cast<int32_t>(data[0]) : -1;
    } else if (group == k) {
      out.push_back({h, std::vector<double>(data, data + h.length)});
    }
  }
  return out;
}

std::string FigureHarness::Dump(int32_t k) const {
  std::string text;
  char field[64];
  for (const FigureCommand& c : Commands(k)) {
    std::snprintf(field, sizeof field, "%d %d %d 0x%X 0x%06X |", c.header.code, c.header.id,
                  c.header.index, c.header.style, c.header.colour);
    text += field;
    for (double d : c.data) {
      std::snprintf(field, sizeof field, " %.10g", d);
      text += field;
    }
    text += '\n';
  }
  return text;
}

}  // namespace vke::test
