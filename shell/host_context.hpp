// The host context: the one object through which the shell owns the engine.
// It allocates the application's memory block, has the block and its engine
// created in it as the packing tool has its own, grows the block by half on
// the engine's demand up to the largest size allowed, and answers the
// engine's prompt and busy callbacks through virtual operations that the
// application's context answers with its windows.
#pragma once

#include <cstddef>

#include "app/block.hpp"

namespace vke {

class PromptWindows;
class StatusBar;

// Where a context's block comes from; the heap unless a test says otherwise.
// Blocks are at least 8-byte aligned.
class BlockMemory {
 public:
  virtual ~BlockMemory() = default;
  virtual void* Allocate(size_t size) = 0;
  // Null on failure, the old block then unchanged.
  virtual void* Reallocate(void* block, size_t size) = 0;
  virtual void Free(void* block) = 0;
};
BlockMemory& HeapBlockMemory();

class KVContext {
 public:
  // Allocates initialSize bytes, halving the request while the allocation
  // fails (never below kKVMinBytes), and creates the block and its engine in
  // them; maxSize bounds the growth. Without a block (Created() false) the
  // creation error tells why.
  KVContext(uint32_t initialSize, uint32_t maxSize, BlockMemory& memory = HeapBlockMemory());
  virtual ~KVContext();
  KVContext(const KVContext&) = delete;
  KVContext& operator=(const KVContext&) = delete;

  bool Created() const { return block_ != nullptr; }
  ErrCode CreationError() const { return creationError_; }
  uint32_t Size() const { return size_; }
  uint32_t MaxSize() const { return maxSize_; }
  // The block's slot: operations that may grow the block take it.
  KVContextBlock** Slot() { return &layout_; }
  KVContextBlock* Block() const { return layout_; }

  // The engine's prompt: title, prompt, the answer buffer (the default answer
  // on entry; null when no text is asked for), its capacity, the answer's
  // length (in and out) and whether OK and Cancel are asked for without
  // text. True when the user accepted.
  virtual bool AskInput(const char* title, int32_t titleLength, const char* prompt,
                        int32_t promptLength, char* answer, int32_t capacity, int32_t* length,
                        int32_t okCancel);
  // Called once a handler has run for half a second (on), then now and then
  // while it runs, and when it ended (off).
  virtual void ShowBusy(int32_t on, double seconds);

  // The engine's growth request: one and a half times the block, at most
  // the largest size; false at the largest size or when the block cannot be
  // reallocated (nothing changed then).
  static bool GrowEngineMemory(KVContextBlock** block, uint32_t* size, uintptr_t context);

 private:
  static bool CallAskInput(const char* title, int32_t titleLength, const char* prompt,
                           int32_t promptLength, char* answer, int32_t capacity, int32_t* length,
                           int32_t okCancel, uintptr_t context);
  static void CallShowBusy(int32_t on, double seconds, uintptr_t context);

  BlockMemory& memory_;
  uint32_t size_ = 0;
  void* block_ = nullptr;
  uint32_t maxSize_;
  ErrCode creationError_ = kOk;
  KVContextBlock* layout_ = nullptr;
};

// The application's context: shows the busy text in the status bar while a
// handler runs long, and asks the user through the prompt windows (the
// base context's answer until they are set).
class KVAppContext : public KVContext {
 public:
  using KVContext::KVContext;

  // Set by the main frame once its status bar exists.
  void SetStatusBar(StatusBar* statusBar) { statusBar_ = statusBar; }
  void SetPromptWindows(PromptWindows* windows) { prompt_ = windows; }
  void ShowBusy(int32_t on, double seconds) override;
  bool AskInput(const char* title, int32_t titleLength, const char* prompt, int32_t promptLength,
                char* answer, int32_t capacity, int32_t* length, int32_t okCancel) override;

 private:
  StatusBar* statusBar_ = nullptr;
  PromptWindows* prompt_ = nullptr;
};

}  // namespace vke
