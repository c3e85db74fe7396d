// The natives and hooks of the application's own libraries that the rows of
// app/natives.def name: the instance, title and dialog natives, the reader
// of the libraries embedded in the element list, and movezero. Their user
// data is the block's NativeCallContext (their records' option words are 0).
#pragma once

#include "engine/registry/native_record.hpp"

namespace vke {

#define VKE_APP_NATIVE_FN(name) \
  ErrCode name(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t user);

// A dragged zero of a real polynomial moved to another place.
VKE_APP_NATIVE_FN(MoveZeroNative)

// Ends the running handler with kStatusNoPrint; cancel(false) asks that what the
// handler leaves stays as it is (the runner counts the kStatusNoPrint as success).
VKE_APP_NATIVE_FN(CancelNative)
// The current instance's title ('t'), version ('v') or help text ('h'):
// given, read, or with any non-text value given back to the KV file's text.
ErrCode PushCurrentInstanceInfo(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t user,
                                char letter);
template <char Letter>
ErrCode InstanceInfoNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t user) {
  return PushCurrentInstanceInfo(ctx, nargin, nargout, user, Letter);
}
// Whether the current instance's idle handler may run; set or read.
VKE_APP_NATIVE_FN(IdleStateNative)
// The current language's code and name; with a text, the language of that
// code or name made current; the handler runner runs that language's init
// handlers when the calling handler has finished.
VKE_APP_NATIVE_FN(CurrentLanguageNative)
// Calls the function another instance offers by name ("callable"); the
// outputs its descriptor names are stored for that instance.
VKE_APP_NATIVE_FN(KvCallNative)
VKE_APP_NATIVE_FN(CurrentInstanceNative)
// The ids of all instances, in record order.
VKE_APP_NATIVE_FN(InstancesNative)
// The title of the instance of an id; "kv:badInstanceId" for no instance.
VKE_APP_NATIVE_FN(InstanceTitleNative)

// dialogset: the options structure of dialog (NPrec, Prompt, Title).
VKE_APP_NATIVE_FN(DialogsetNative)
// dialog(prompt or options, values...): with values, the user edits them
// as source text; without, the user answers yes or no. Through the host's
// AskInput; without it, as if the user cancelled.
VKE_APP_NATIVE_FN(DialogNative)

// "+genericFun": the compiler asks it for names no table knows. While a
// handler of an instance runs it takes them (0), unless the flag asks for
// more (1000); kErrBadContext otherwise.
ErrCode GenericFunctionHook(EngineContext* ctx, const char* name, int32_t length, int32_t flag,
                            int32_t, int32_t, uintptr_t user);

// "+readlib": the library "_KV_<name>" of the instance of the KV file
// <name> from its embedded-library elements; kErrFileNotFound for names of no instance,
// 3 when the texts do not fit the buffer whole.
ErrCode ReadKVLibrary(EngineContext* ctx, const char* name, const char* folder, uintptr_t user,
                      char* buffer, int32_t capacity, int32_t* length);
// The application's "+readlib", the last one asked: the libraries of
// ReadKVLibrary, else the help files the program carries
// (app/carried_help.hpp).
ErrCode ReadAppLibrary(EngineContext* ctx, const char* name, const char* folder, uintptr_t user,
                       char* buffer, int32_t capacity, int32_t* length);

// The dialogs shown so far: a handler that asked the user is not run again.
uint64_t CountDialogsAsked();
// Counts a dialog about to be shown: neither the call nor its handler runs
// again on a later shortage, the user has answered.
void NoteDialogAsked(EngineContext* ctx);

#undef VKE_APP_NATIVE_FN

}  // namespace vke
