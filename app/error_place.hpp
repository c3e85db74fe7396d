// The text of a failed action for the user: the engine's whole message
// (with the names it gives, as the failing handler printed it) and the
// place of the error as the source file's name and line, "err.vke, line 7",
// instead of the engine's internal function id. The text of a handler's
// failure is kept as it read when the handler failed, since the handlers
// that run after it change the engine's record of the message and place.
#pragma once

#include <string>

#include "app/block.hpp"

namespace vke {

// The error text of the code (GetErrorMessageText); for a code below 10000
// whose message the engine still holds, that whole message. When the engine
// knows the line of the error, its place follows as " (FILE, line N)",
// FILE being the source file that defines the failing function, or the
// function's name when no file is known; a place of the engine's own form
// that the message carries is given the same form. A null block gives the
// text without an engine. The kept text of the block's last handler
// failure, when it failed with this code.
std::string ActionErrorText(KVContextBlock* block, ErrCode code);

// Keeps the text of a top-level handler's failure, read now; it takes the
// place of the one kept before, except within a FirstFailureSpan that
// keeps one already.
void KeepFailureText(KVContextBlock* block, ErrCode code);

// A new action starts: no text is kept any more.
void ForgetFailureText();

// While one lives, only the first failure in it keeps its text: an
// operation that runs several handlers and gives the first failure as its
// result opens one.
class FirstFailureSpan {
 public:
  FirstFailureSpan();
  ~FirstFailureSpan();
  FirstFailureSpan(const FirstFailureSpan&) = delete;
  FirstFailureSpan& operator=(const FirstFailureSpan&) = delete;
};

}  // namespace vke
