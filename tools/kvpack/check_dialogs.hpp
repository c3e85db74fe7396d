// The host's dialogs as check scripts see them: every prompt and file
// dialog a handler shows is printed ("dialog: title | prompt | text",
// "open: title | filter", "save: title | name") and answered by the answer
// the script queued before it with an "answer" step; with none queued the
// user cancels.
#pragma once

#include <deque>
#include <string>

#include "app/block.hpp"
#include "app/natives/file_dialogs.hpp"

namespace vke::kvpack {

class CheckDialogs : public FileDialogProvider {
 public:
  // Makes these the block's prompt and the process's file dialogs.
  void Install(KVContextBlock* block);
  ~CheckDialogs() override;

  // The next dialog is accepted (with the text as the edited values or the
  // chosen path), or cancelled.
  void Queue(bool accept, std::string text) { answers_.push_back({accept, std::move(text)}); }

  bool Choose(const FileDialogRequest& request, std::string* path) override;

 private:
  struct Answer {
    bool accept;
    std::string text;
  };
  static bool AskInput(const char* title, int32_t titleLength, const char* prompt,
                       int32_t promptLength, char* edit, int32_t capacity, int32_t* length,
                       int32_t flag, uintptr_t self);
  // The next answer; a cancel when none is queued.
  Answer Next();

  std::deque<Answer> answers_;
  bool installed_ = false;
};

}  // namespace vke::kvpack
