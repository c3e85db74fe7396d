// The texts the tools read (help, lookfor, dbtype): a library's source and its help file,
// found through the "+readlib" hooks, loaded into room taken from the free
// top of the data stack; and the library a native or builtin belongs to.
#pragma once

#include "engine/context.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

// The operators whose names hold the "|" that ends the key of a lookfor
// link ("##[[help:KEY|NAME]]##"), and the word that stands for each as the
// key; help takes the word for the operator.
struct LinkKeyWord {
  const char* name;
  const char* word;
};
inline constexpr LinkKeyWord kLinkKeyWords[] = {
    {"||", "oror"},  // short-circuit or
    {"|", "vbar"},   // element-wise or
};

// Most of the free data stack, held until the room goes out of scope (a
// little stays free for what is written meanwhile).
class TextRoom {
 public:
  explicit TextRoom(EngineContext* ctx);
  char* data() const { return data_; }
  int32_t capacity() const { return capacity_; }

 private:
  DataScratch scratch_;
  char* data_ = nullptr;
  int32_t capacity_ = 0;
};

// Loads the source (helpFile false) or the help file of a library into the
// buffer: from the folder of its library entry when `entry` names one, else
// wherever the hooks look. With nothing raised: kErrDataOverflow when it is
// there but does not fit the buffer (the caller asks for room), else
// kErrLibNotFound when there is none or it cannot be read.
ErrCode LoadLibraryText(EngineContext* ctx, const char* library, int32_t length, int32_t entry,
                        bool helpFile, char* buffer, int32_t capacity, int32_t* textLength);

// The library whose help file documents a native, builtin or operator of
// that name: the first native record's library (with `wanted` given, the
// first record in that library; "VKE" for a record before any library's
// header), else "VKE" for a builtin or an operator. Null when there is none.
const char* LibraryOfNative(EngineContext* ctx, const char* name, int32_t length,
                            const char* wanted, int32_t wantedLength);

}  // namespace vke
