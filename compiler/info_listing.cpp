// The two forms of an info listing: lines written, or values gathered.
#include "compiler/info_listing.hpp"

#include "engine/files/fd.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"

namespace vke {

ErrCode InfoListing::Write(const char* text, int32_t length) {
  return WriteToFd(ctx_, kFdOut, text, length);
}

ErrCode InfoListing::WriteText(const char* text) {
  return Write(text, CStringLength(text));
}

ErrCode InfoListing::WriteNumber(double value) {
  return WriteNumberToFd(ctx_, kFdOut, value);
}

ErrCode InfoListing::EndLine() {
  return WriteNewlineToFd(ctx_, kFdOut);
}

ErrCode InfoListing::AddString(const char* text, int32_t length) {
  ErrCode e = PushCString(ctx_, length, text);
  if (!e) items_++;
  return e;
}

ErrCode InfoListing::AddField(const char* field, ErrCode pushed) {
  if (pushed) return pushed;
  ErrCode e = PushListFromEntries(ctx_, 1, fields_ > 0, field, -1);
  if (e) {
    Drop(ctx_);
    return e;
  }
  fields_++;
  return kOk;
}

ErrCode InfoListing::StringField(const char* field, const char* text, int32_t length) {
  return AddField(field, PushCString(ctx_, length, text));
}

ErrCode InfoListing::NumberField(const char* field, double value) {
  return AddField(field, PushRealScalar(ctx_, value));
}

ErrCode InfoListing::LogicalField(const char* field, bool value) {
  return AddField(field, PushLogicalScalar(ctx_, value ? 1 : 0));
}

void InfoListing::EndStructure() {
  if (fields_ == 0) return;
  fields_ = 0;
  items_++;
  structures_ = true;
}

ErrCode InfoListing::Finish() {
  ErrCode e = PushListFromEntries(ctx_, items_, false, nullptr, 0);
  if (e) {
    Abandon();
    return e;
  }
  items_ = 0;
  if (!structures_) return kOk;
  e = StructListToArray(ctx_);
  if (e) Abandon();
  return e;
}

void InfoListing::Abandon() {
  DropAboveLevel(ctx_, level_);
  items_ = fields_ = 0;
}

}  // namespace vke
