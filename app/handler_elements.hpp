// Running the handlers of elements found in the instance's element list.
// Each kind keeps its call descriptor after its header: behind the target id
// of the mouse kinds, the text of menu, copy, function and key items, the
// link words and text of paste items and the variable list of post-event
// elements. Also running every active element of a kind in turn, and the
// user actions that run one handler in a new undo version.
#pragma once

#include "app/element_list.hpp"
#include "app/handler_runner.hpp"

namespace vke {

// The offset from the instance start of the element's call descriptor; false
// for kinds without a descriptor and for payloads too short to hold one.
bool DescriptorOffsetInList(const ElementListView& list, const ElementRef& element,
                            int32_t* offset);

// The same for the element at word position `at` of the instance's list.
bool ElementDescriptorOffset(KVContextBlock* block, int32_t id, int32_t at, int32_t* offset);

// Runs that descriptor with the request's other fields; kKvUndefElement for an
// element without one.
ErrCode RunElementHandler(KVContextBlock** slot, int32_t id, int32_t at, HandlerRequest request);

// Runs the descriptors of the active elements of a kind (kElemLanguageInit: the init
// handlers of the current language) in list order until one fails; running
// out of elements is success. *ran counts the elements run (may be null).
ErrCode RunElementsOfKind(KVContextBlock** slot, int32_t id, uint32_t kind,
                          const HandlerRequest& request, int32_t* ran = nullptr);

// A user action that runs one element's handler: a new undo version, the
// handler with the request's other fields, then the draw handlers and the
// post-event handlers, and kStatusRepaint (kStatusInstanceChanged when the handler
// made another language current). A failure drops the new version and is
// returned (kStatusNoPrint: 0).
ErrCode RunActionAt(KVContextBlock** slot, int32_t id, int32_t at, const HandlerRequest& request);

// The element list as the instance sees it (its current language), with
// the element at word position `at`; false when the instance or element is
// missing.
bool InstanceElementAt(KVContextBlock* block, int32_t id, int32_t at, ElementListView* list,
                       ElementRef* element);

// Calls f(element) for every element of the instance after its start, in
// list order and whatever its language, until f answers false.
template <typename F>
void ForEachInstanceElement(const ElementListView& list, F f) {
  ElementRef e;
  if (!ReadElementAt(list, list.instanceStart, &e)) return;
  for (uint32_t pos = list.instanceStart + e.length; ReadElementAt(list, pos, &e); pos += e.length)
    if (e.kind == kElemInstanceStart || !f(e)) return;
}

// Whether a paste item continues the one before it: its text is empty.
bool IsPasteContinuation(const ElementListView& list, const ElementRef& element);

}  // namespace vke
