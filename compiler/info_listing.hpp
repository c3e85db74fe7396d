// How a listing of info and inmem gives its items: as lines on descriptor 1,
// or, with an output asked for, as values gathered on the stack (strings,
// or structures that end as one structure array).
#pragma once

#include "engine/context.hpp"

namespace vke {

class InfoListing {
 public:
  InfoListing(EngineContext* ctx, bool collect)
      : ctx_(ctx), collect_(collect), level_(ctx->descTop) {}
  EngineContext* ctx() const { return ctx_; }
  bool collect() const { return collect_; }
  int32_t items() const { return items_; }

  // Lines: pieces of the current line, then its end.
  ErrCode Write(const char* text, int32_t length);
  ErrCode WriteText(const char* text);
  ErrCode WriteNumber(double value);
  ErrCode EndLine();

  // Values: a string item, or a structure item built field by field.
  ErrCode AddString(const char* text, int32_t length);
  ErrCode StringField(const char* field, const char* text, int32_t length);
  ErrCode NumberField(const char* field, double value);
  ErrCode LogicalField(const char* field, bool value);
  // Ends the structure being built as one item.
  void EndStructure();

  // The items as one list (or structure array when they are structures).
  ErrCode Finish();
  // Drops the values gathered so far, whatever a failed step left of them:
  // the stack stands as it was made, so that a call without room runs again
  // once the area has grown.
  void Abandon();

 private:
  ErrCode AddField(const char* field, ErrCode pushed);

  EngineContext* ctx_;
  bool collect_;
  uint32_t level_;  // the stack's level before the first item
  int32_t items_ = 0;
  int32_t fields_ = 0;  // of the structure being built
  bool structures_ = false;
};

// The variables of the innermost frame that has variables: "name
// (description)" lines, "No variable" when there are none; or structures
// {name, defined}.
ErrCode ListFrameVariables(InfoListing* out);

}  // namespace vke
