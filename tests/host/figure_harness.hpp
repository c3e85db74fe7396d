// A figure for tests: a memory block created without an image, whose first
// instance shows an r x c grid of subplots in a 640 x 480 figure. Tests open
// the instance's object and select subplots as the draw cycle does, call the
// application's natives on it as the interpreter would, or run VKE text as a
// subplot's draw handler through the handler runner, and read the object
// payload back as commands or as text.
#pragma once

#include <string>
#include <vector>

#include "app/block.hpp"
#include "graphics/drawing_command.hpp"
#include "graphics/figure_state.hpp"

namespace vke::test {

// One drawing command of a payload.
struct FigureCommand {
  CommandHeader header;
  std::vector<double> data;
};

class FigureHarness {
 public:
  explicit FigureHarness(int32_t rows = 1, int32_t columns = 1, uint32_t blockBytes = 4u << 20);
  ~FigureHarness();
  FigureHarness(const FigureHarness&) = delete;
  FigureHarness& operator=(const FigureHarness&) = delete;

  KVContextBlock* block() const { return block_; }
  EngineContext* ctx() const { return block_->Engine(); }
  FigureState& figure() const;
  SubplotRecord& subplot(int32_t k) const { return figure().subplots[k]; }
  // The result flags of the native-call context.
  uint32_t callFlags() const { return block_->nativeCall.flags; }

  // Opens the instance's object for drawing, erasing the old one, with no
  // subplot current; the result flags are cleared as before a handler.
  void Open();
  // Starts subplot k's draw handler as the draw cycle does: opens the object
  // when it is not open, makes k current, appends its object-begin command
  // and resets its automatic limits. False when command 70 does not fit.
  bool BeginSubplot(int32_t k);
  // Makes k current without writing anything (-1: none), as the natives of
  // an instance-wide step select subplots.
  void SelectSubplot(int32_t k);
  // Closes the object, leaving no subplot current.
  ErrCode Close();
  // Leaves room for only `doubles` more doubles in the open object.
  void LimitRoom(uint32_t doubles);
  // Doubles written into the open object.
  uint32_t used() const { return block_->capture.used; }

  // Calls the application's native `name` on the nargin values on top of
  // the stack; 1000 when there is no such native.
  ErrCode Call(const char* name, int32_t nargin, int32_t nargout = 0);

  // Runs VKE text as subplot k's draw handler: the text is the body of a
  // function of its own, named in the name buffer and called by the handler
  // runner with subplot k current, after BeginSubplot(k). With k = -1 no
  // subplot is current and nothing is begun. The element list becomes the
  // instance start and that draw element. The handler's code.
  ErrCode Draw(int32_t k, const std::string& body);
  // Text the engine wrote to descriptors 1 and 2 (errors, displays), in
  // order; cleared when read.
  std::string TakeOutput();

  // The object's payload: the commands written so far while it is open,
  // else its stored record (empty when there is none).
  std::vector<double> Payload() const;
  // The commands of subplot k's group, without its command 70.
  std::vector<FigureCommand> Commands(int32_t k = 0) const;
  // The same, one line per command: "code id index style colour | data".
  std::string Dump(int32_t k = 0) const;

 private:
  static ErrCode Write(EngineContext*, int32_t fd, const char* bytes, int32_t n, uintptr_t self);

  void* memory_;
  KVContextBlock* block_ = nullptr;
  std::vector<NativeFunctionRecord> table_;
  std::string output_;
  int32_t handlers_ = 0;  // draw handlers defined so far
};

}  // namespace vke::test
