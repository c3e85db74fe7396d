// The errors of the user's actions in the window: a handler run by a key, a
// timer, a resize, the mouse or a command that failed, whether the action
// answers the failure or only asks for a redraw (the engine keeps the first
// failure of a handler for this). Each failing action is reported
// once, as the document's error message reports a command's: its text (the
// error text of the code) goes into a message box and, as a line, to
// standard error. Repainting reruns no handler and so reports nothing again.
// Statuses, the user's break and a handler's own cancel are no errors.
// While a box is open or about to open, further errors reach standard
// error only, so that a burst of failures does not stack boxes.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <utility>

#include "shell/engine_facade.hpp"

namespace vke {

// Where the window shows an error; a test gives its own.
class ErrorBox {
 public:
  virtual ~ErrorBox() = default;
  // Shows the text, now or once the current event is handled; the owner of
  // the reports is told when the box is closed (ActionErrors::BoxClosed).
  virtual void Show(const std::string& text) = 0;
};

// True for the codes an action reports: neither success, nor a status of the
// figure (kStatusNothingDone to kStatusMoveDropped), nor the break or a handler's cancel.
bool IsReportedError(ErrCode code);

class ActionErrors {
 public:
  // Lines on standard error start with the program's name.
  ActionErrors(EngineFacade& engine, ErrorBox& box, std::string program, std::FILE* log = stderr)
      : engine_(engine), box_(box), program_(std::move(program)), log_(log) {}

  // The code an action ended with; true when it or, when it is none, a
  // handler the action ran failed, and that was reported. The fallback
  // stands for an error without a text ("Error" and the code without one).
  bool Report(ErrCode code, std::string_view fallback = {});
  // Reports a text of the program's own.
  void ReportText(const std::string& text);
  // Writes the line of a report whose box the caller shows itself.
  void LogText(const std::string& text);
  void BoxClosed() { boxOpen_ = false; }

 private:
  EngineFacade& engine_;
  ErrorBox& box_;
  std::string program_;
  std::FILE* log_;
  bool boxOpen_ = false;
};

}  // namespace vke
