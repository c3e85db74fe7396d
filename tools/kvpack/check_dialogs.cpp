// Scripted stand-ins of the host's prompt and file dialogs.
#include "tools/kvpack/check_dialogs.hpp"

#include <cstdio>

#include "app/runtime_native_table.hpp"

namespace vke::kvpack {

namespace {

void Show(const std::string& line) {
  // What the handler wrote before the dialog comes before it.
  FlushStdOutput();
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
}

}  // namespace

void CheckDialogs::Install(KVContextBlock* block) {
  SetAskInputCallback(block, &AskInput, reinterpret_cast<uintptr_t>(this));
  SetFileDialogProvider(this);
  installed_ = true;
}

CheckDialogs::~CheckDialogs() {
  if (installed_ && GetFileDialogProvider() == this) SetFileDialogProvider(nullptr);
}

CheckDialogs::Answer CheckDialogs::Next() {
  if (answers_.empty()) return {false, ""};
  Answer a = answers_.front();
  answers_.pop_front();
  return a;
}

bool CheckDialogs::AskInput(const char* title, int32_t titleLength, const char* prompt,
                            int32_t promptLength, char* edit, int32_t capacity, int32_t* length,
                            int32_t, uintptr_t self) {
  auto* d = reinterpret_cast<CheckDialogs*>(self);
  std::string line = "dialog: " + std::string(title, static_cast<size_t>(titleLength)) + " | " +
                     std::string(prompt, static_cast<size_t>(promptLength));
  if (edit) line += " | " + std::string(edit, static_cast<size_t>(*length));
  const Answer a = d->Next();
  Show(line + (a.accept ? "" : " (cancelled)"));
  if (a.accept && edit) {
    const size_t n = a.text.size() < static_cast<size_t>(capacity) ? a.text.size() : 0;
    a.text.copy(edit, n);
    *length = static_cast<int32_t>(n);
  }
  return a.accept;
}

bool CheckDialogs::Choose(const FileDialogRequest& request, std::string* path) {
  const Answer a = Next();
  Show(std::string(request.save ? "save: " : "open: ") + std::string(request.title) + " | " +
       std::string(request.save ? request.name : request.filter) +
       (a.accept ? "" : " (cancelled)"));
  if (a.accept) *path = a.text;
  return a.accept;
}

}  // namespace vke::kvpack
