// Reporting the errors of the window's actions.
#include "shell/action_errors.hpp"

#include "graphics/figure_codes.hpp"

namespace vke {

bool IsReportedError(ErrCode code) {
  switch (code) {
    case kOk:
    case kStatusNothingDone:
    case kStatusRepaint:
    case kStatusInstanceChanged:
    case kStatusMoveDropped:
    case kStatusNoPrint:    // the handler cancelled itself
    case kStatusSuspended:  // stopped by the break key, which the engine has said
    case kStatusHalted:
      return false;
    default:
      return true;
  }
}

bool ActionErrors::Report(ErrCode code, std::string_view fallback) {
  const ErrCode failure = engine_.TakeHandlerFailure();
  if (!IsReportedError(code)) code = failure;
  if (!IsReportedError(code)) return false;
  std::string text = engine_.ErrorText(code);
  if (text.empty()) text = fallback.empty() ? "Error " + std::to_string(code) : fallback;
  ReportText(text);
  return true;
}

void ActionErrors::LogText(const std::string& text) {
  std::fprintf(log_, "%s: %s\n", program_.c_str(), text.c_str());
  std::fflush(log_);
}

void ActionErrors::ReportText(const std::string& text) {
  LogText(text);
  if (boxOpen_) return;
  boxOpen_ = true;
  box_.Show(text);
}

}  // namespace vke
