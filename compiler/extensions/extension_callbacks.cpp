// The callback table of old-style extension functions: filling it, running
// one function with it, and its slots on inputs, outputs, scratch memory,
// text, errors, breaks and calls back into the language (the slots on
// structured values are in extension_values.cpp).
#include <algorithm>
#include <cstring>

#include "compiler/extensions/extension_table.hpp"
#include "engine/engine.hpp"
#include "engine/errors/raise.hpp"
#include "engine/files/fd.hpp"
#include "engine/frames/frames.hpp"
#include "engine/values/value_read.hpp"

namespace vke {

int32_t CountOutput(VkeExtCallbacks* t, ErrCode pushed) {
  if (pushed) return FailWith(t, pushed);
  EngineContext* ctx = TableContext(t);
  uint8_t* start = DataAt(ctx, 0);
  uint8_t* end = start + 8ull * DescAt(ctx, 0)->size;
  uint8_t* areaEnd = t->scratch + t->scratchSize;
  if (t->scratchSize > 0 && start < areaEnd && end > t->scratch) {
    if (end > areaEnd) {
      Drop(ctx);
      return FailWith(t, kErrDataOverflow);
    }
    t->scratchSize = static_cast<uint32_t>(areaEnd - end);
    t->scratch = end;
  }
  t->outputsPushed++;
  return 1;
}

namespace {

bool StringOpen(const VkeExtCallbacks* t) {
  return t->openStringLength >= 0;
}

int32_t ExtGetArgSize(VkeExtCallbacks* t, int32_t i, int32_t* rows, int32_t* columns, double** re,
                      double** im) {
  const int32_t depth = InputDepth(t, i);
  if (depth < 0) return FailWith(t, kErrTooFewArgin);
  int32_t m, n;
  double *r, *c;
  if (ErrCode e = GetNumericArg(TableContext(t), depth, &m, &n, &r, &c)) return FailWith(t, e);
  if (rows) *rows = m;
  if (columns) *columns = n;
  if (re) *re = r;
  if (im) *im = c;
  return 1;
}

int32_t ExtGetStringArg(VkeExtCallbacks* t, int32_t i, char** text, int32_t* length) {
  const int32_t depth = InputDepth(t, i);
  if (depth < 0) return FailWith(t, kErrTooFewArgin);
  const char* bytes;
  if (ErrCode e = GetStringArg(TableContext(t), depth, &bytes, length)) return FailWith(t, e);
  if (text) *text = const_cast<char*>(bytes);
  return 1;
}

int32_t ExtNewMatrixOutput(VkeExtCallbacks* t, int32_t m, int32_t n, double** re, double** im) {
  if (StringOpen(t)) return FailWith(t, kErrIllegal);
  double* r;
  return CountOutput(t, PushNewMatrix(TableContext(t), m, n, &r, im)) && (!re || (*re = r, true));
}

int32_t ExtBeginStringOutput(VkeExtCallbacks* t, int32_t* n, char** buffer) {
  if (StringOpen(t)) return FailWith(t, kErrIllegal);
  uint16_t* chars;
  if (!CountOutput(t, PushStringOfLength(TableContext(t), n, &chars))) return 0;
  t->openStringLength = *n;
  t->openStringOutput = t->outputsPushed - 1;
  if (buffer) *buffer = reinterpret_cast<char*>(chars);
  return 1;
}

// The open string output must still be the last one pushed.
int32_t ExtEndStringOutput(VkeExtCallbacks* t) {
  if (!StringOpen(t) || t->openStringOutput != t->outputsPushed - 1)
    return FailWith(t, kErrIllegal);
  const int32_t n = t->openStringLength;
  t->openStringLength = -1;
  return Succeed(t, WidenBytesToString(TableContext(t), n));
}

void* ExtAllocScratch(VkeExtCallbacks* t, uint32_t n) {
  if (!t->scratch || n > t->scratchSize) {
    t->errorCode = kErrDataOverflow;
    return nullptr;
  }
  t->scratchSize -= n;
  t->errorCode = kOk;
  return t->scratch + t->scratchSize;
}

int32_t ExtPrintLine(VkeExtCallbacks* t, const char* text) {
  EngineContext* ctx = TableContext(t);
  WriteToFd(ctx, 1, text, static_cast<int32_t>(std::strlen(text)));
  return WriteNewlineToFd(ctx, 1);
}

int32_t ExtGetNumericArg(VkeExtCallbacks* t, int32_t i, int32_t* rows, int32_t* columns,
                         int32_t* elementSize, int32_t* numberClass, void** data) {
  const int32_t depth = InputDepth(t, i);
  if (depth < 0) return FailWith(t, kErrTooFewArgin);
  const NumericView v = ViewNumeric(TableContext(t), depth);
  int32_t size = 0, cls = 0;
  switch (v.cls) {
    case ValueClass::kChar:
      size = 2, cls = VKE_EXT_CHAR;
      break;
    case ValueClass::kLogical:
      size = 1, cls = VKE_EXT_LOGICAL;
      break;
    case ValueClass::kDouble:
    case ValueClass::kSingle:
      size = v.cls == ValueClass::kDouble ? 8 : 4;
      cls = v.complex ? VKE_EXT_COMPLEX : VKE_EXT_REAL;
      break;
    case ValueClass::kInteger:
      size = ElementBytesOfCode(v.code);
      cls = (v.code & kCodeUnsigned) ? VKE_EXT_UNSIGNED : VKE_EXT_SIGNED;
      break;
    case ValueClass::kOther:
      return FailWith(t, kErrWrongType);
  }
  const int32_t m = v.shape.dims[0];
  if (rows) *rows = m;
  if (columns) *columns = m ? v.shape.count / m : 0;
  if (elementSize) *elementSize = size;
  if (numberClass) *numberClass = cls;
  if (data) *data = v.elements;
  return 1;
}

// Pushes an array of one of the allowed pairs of class and element size;
// 12 for any other pair.
ErrCode PushArrayOfClass(EngineContext* ctx, int32_t ndims, const int32_t* dims, int32_t size,
                         int32_t cls, void** data) {
  switch (cls) {
    case VKE_EXT_SIGNED:
    case VKE_EXT_UNSIGNED:
      if (size != 1 && size != 2 && size != 4) return kErrIllegal;
      return PushNewTypedArray(ctx, ndims, dims, size, cls == VKE_EXT_UNSIGNED, data);
    case VKE_EXT_REAL:
    case VKE_EXT_COMPLEX: {
      const bool complex = cls == VKE_EXT_COMPLEX;
      if (size == 8) {
        double *re, *im;
        ErrCode e = PushNewArray(ctx, ndims, dims, &re, complex ? &im : nullptr);
        *data = re;
        return e;
      }
      if (size != 4) return kErrIllegal;
      float *re, *im;
      ErrCode e = PushNewSingleArray(ctx, ndims, dims, &re, complex ? &im : nullptr);
      *data = re;
      return e;
    }
    case VKE_EXT_CHAR:
      if (size != 2) return kErrIllegal;
      return PushNewCharArray(ctx, ndims, dims, reinterpret_cast<uint16_t**>(data));
    case VKE_EXT_LOGICAL:
      if (size != 1) return kErrIllegal;
      return PushLogicalArray(ctx, ndims, dims, reinterpret_cast<uint8_t**>(data));
    default:
      return kErrIllegal;
  }
}

// With one negative dimension only measures: how many slices along it fit.
int32_t ExtNewArrayOutput(VkeExtCallbacks* t, int32_t ndims, int32_t* dims, int32_t size,
                          int32_t cls, void** data) {
  if (StringOpen(t)) return FailWith(t, kErrIllegal);
  if (ndims < 0 || ndims > kMaxDims) return FailWith(t, kErrBadSize);
  int32_t* open = nullptr;
  for (int32_t k = 0; k < ndims; k++) {
    if (dims[k] >= 0) continue;
    if (open) return FailWith(t, kErrBadSize);
    open = dims + k;
  }
  EngineContext* ctx = TableContext(t);
  void* at = nullptr;
  if (!open) {
    if (!CountOutput(t, PushArrayOfClass(ctx, ndims, dims, size, cls, &at))) return 0;
    if (data) *data = at;
    return 1;
  }
  *open = 1;
  if (ErrCode e = PushArrayOfClass(ctx, ndims, dims, size, cls, &at)) return FailWith(t, e);
  int64_t slice = size;
  for (int32_t k = 0; k < ndims; k++) slice *= dims[k];
  const uint8_t* start = DataAt(ctx, 0);
  const uint8_t* end = start + 8ull * DescAt(ctx, 0)->size;
  const bool overlaps = t->scratch && end > t->scratch && start < t->scratch + t->scratchSize;
  Drop(ctx);
  uint32_t free = 0;
  void* pointer;
  GetDataStackFree(ctx, &free, &pointer);
  int64_t fit;
  if (slice == 0) {
    fit = 0;
  } else if (overlaps) {
    fit = t->scratchSize / slice;
    t->scratchSize = 0;
  } else {
    fit = free / slice + 1;
  }
  *open = static_cast<int32_t>(std::min<int64_t>(fit, INT32_MAX));
  return 1;
}

// Without split the text goes out in one piece; with it, each line feed
// becomes the descriptor's end of line.
int32_t ExtWriteText(VkeExtCallbacks* t, int32_t fd, const char* text, int32_t length,
                     int32_t split) {
  EngineContext* ctx = TableContext(t);
  if (length < 0) length = static_cast<int32_t>(std::strlen(text));
  if (!split) return Succeed(t, WriteToFd(ctx, fd, text, length));
  for (int32_t start = 0; start < length;) {
    const void* found = std::memchr(text + start, '\n', static_cast<size_t>(length - start));
    const int32_t end =
        found ? static_cast<int32_t>(static_cast<const char*>(found) - text) : length;
    if (end > start)
      if (ErrCode e = WriteToFd(ctx, fd, text + start, end - start)) return FailWith(t, e);
    if (found)
      if (ErrCode e = WriteNewlineToFd(ctx, fd)) return FailWith(t, e);
    start = end + 1;
  }
  return 1;
}

int32_t ExtRaiseError(VkeExtCallbacks* t, const char* identifier, const char* message) {
  if (!identifier) identifier = "";
  if (!message) message = "";
  return FailWith(
      t, RaiseErrorById(TableContext(t), identifier, static_cast<int32_t>(std::strlen(identifier)),
                        message, static_cast<int32_t>(std::strlen(message))));
}

int32_t ExtGetScalarArg(VkeExtCallbacks* t, int32_t i, double* re, double* im) {
  const int32_t depth = InputDepth(t, i);
  if (depth < 0) return FailWith(t, kErrTooFewArgin);
  const NumericView v = ViewNumeric(TableContext(t), depth);
  if (v.cls != ValueClass::kDouble && v.cls != ValueClass::kSingle && v.cls != ValueClass::kInteger)
    return FailWith(t, kErrWrongTypeOverload);
  if (v.shape.count != 1) return FailWith(t, kErrNonScalarArg);
  if (re) *re = ViewElement(v, 0, false);
  if (im) *im = ViewElement(v, 0, true);
  return 1;
}

int32_t ExtNewBinaryOutput(VkeExtCallbacks* t, uint32_t n, void** data) {
  if (StringOpen(t)) return FailWith(t, kErrIllegal);
  void* at;
  if (!CountOutput(t, PushTypedEntryDefault(TableContext(t), n, &at))) return 0;
  if (data) *data = at;
  return 1;
}

int32_t ExtGetBinaryArg(VkeExtCallbacks* t, int32_t i, uint32_t* size, void** data) {
  const int32_t depth = InputDepth(t, i);
  if (depth < 0) return FailWith(t, kErrTooFewArgin);
  uint32_t bytes;
  void* at;
  if (ErrCode e = GetTypedValueSize(TableContext(t), depth, &bytes, &at)) return FailWith(t, e);
  if (size) *size = bytes;
  if (data) *data = at;
  return 1;
}

int32_t ExtPushComplexScalar(VkeExtCallbacks* t, double re, double im) {
  return CountOutput(t, PushComplexScalar(TableContext(t), re, im));
}

int32_t ExtPushLogical(VkeExtCallbacks* t, uint8_t value) {
  return CountOutput(t, PushLogicalScalar(TableContext(t), value));
}

int32_t ExtCheckAbort(VkeExtCallbacks* t) {
  return PollAbortRequest(TableContext(t)) ? FailWith(t, kErrHalted) : 1;
}

// The function value of input i with the inputs after input j: its depth
// and the count of those inputs; false for numbers out of range.
bool CallInputs(const VkeExtCallbacks* t, int32_t i, int32_t j, int32_t* depth, int32_t* count) {
  *depth = InputDepth(t, i);
  *count = j >= t->nargin ? 0 : t->nargin - j;
  return *depth >= 0 && j >= 1;
}

int32_t ExtComputeCallFrameSize(VkeExtCallbacks* t, int32_t i, int32_t j, int32_t* size) {
  int32_t depth, count, bytes;
  if (!CallInputs(t, i, j, &depth, &count)) return FailWith(t, kErrTooFewArgin);
  if (ErrCode e = ComputeCallFrameSize(TableContext(t), depth, count, &bytes))
    return FailWith(t, e);
  *size = bytes + static_cast<int32_t>(sizeof(CallArgumentAdders));
  return 1;
}

int32_t ExtPrepareFunctionCall(VkeExtCallbacks* t, int32_t i, int32_t j, void* buffer) {
  int32_t depth, count;
  if (!CallInputs(t, i, j, &depth, &count)) return FailWith(t, kErrTooFewArgin);
  auto* adders = static_cast<CallArgumentAdders*>(buffer);
  return Succeed(t, PrepareFunctionCall(TableContext(t), depth, count, adders, adders + 1));
}

// A function that succeeded with its string output still open: the bytes
// are widened as the closing slot would, or it fails with 12 when other
// outputs were pushed after it.
ErrCode CloseOpenString(VkeExtCallbacks* t) {
  if (!StringOpen(t)) return kOk;
  return ExtEndStringOutput(t) ? kOk : t->errorCode;
}

}  // namespace

void FillExtensionCallbackTable(EngineContext* ctx, VkeExtCallbacks* t) {
  std::memset(t, 0, sizeof *t);
  t->version = VKE_CALLBACKS_VERSION;
  t->minVersion = VKE_CALLBACKS_MIN_VERSION;
  t->GetArgSize = ExtGetArgSize;
  t->GetStringArg = ExtGetStringArg;
  t->NewMatrixOutput = ExtNewMatrixOutput;
  t->BeginStringOutput = ExtBeginStringOutput;
  t->EndStringOutput = ExtEndStringOutput;
  t->AllocScratch = ExtAllocScratch;
  t->PrintLine = ExtPrintLine;
  t->GetNumericArg = ExtGetNumericArg;
  t->NewArrayOutput = ExtNewArrayOutput;
  t->GetArgRef = ExtGetArgRef;
  t->DescribeValue = ExtDescribeValue;
  t->GetItemCount = ExtGetItemCount;
  t->GetListItem = ExtGetListItem;
  t->GetFieldName = ExtGetFieldName;
  t->GetField = ExtGetField;
  t->GetStructArrayField = ExtGetStructArrayField;
  t->NewList = ExtNewList;
  t->AppendToList = ExtAppendToList;
  t->NewStruct = ExtNewStruct;
  t->AddStructField = ExtAddStructField;
  t->MakeStructArray = ExtMakeStructArray;
  t->WriteText = ExtWriteText;
  t->RaiseError = ExtRaiseError;
  t->GetScalarArg = ExtGetScalarArg;
  t->NewBinaryOutput = ExtNewBinaryOutput;
  t->GetBinaryArg = ExtGetBinaryArg;
  t->BuildStruct = ExtBuildStruct;
  t->PushComplexScalar = ExtPushComplexScalar;
  t->PushLogical = ExtPushLogical;
  t->CheckAbort = ExtCheckAbort;
  t->ComputeCallFrameSize = ExtComputeCallFrameSize;
  t->PrepareFunctionCall = ExtPrepareFunctionCall;
  t->context = reinterpret_cast<VkeContext*>(ctx);
  t->openStringLength = -1;
}

ErrCode CallExtensionFunction(EngineContext* ctx, VkeOldStyleFn fn, int32_t nargin,
                              int32_t nargout) {
  VkeExtCallbacks t;
  FillExtensionCallbackTable(ctx, &t);
  t.nargin = nargin;
  t.nargout = nargout;
  void* free;
  GetDataStackFree(ctx, &t.scratchSize, &free);
  t.scratch = static_cast<uint8_t*>(free);
  if (!fn(&t, nargin, nargout)) return t.errorCode ? t.errorCode : kErrUnknown;
  if (ErrCode e = CloseOpenString(&t)) return e;
  // A call as a statement keeps the first output, when there is one.
  const int32_t keep = nargout < 0 ? std::min(t.outputsPushed, 1) : nargout;
  if (t.outputsPushed < keep) return kErrTooManyArgout;
  if (t.outputsPushed > keep)
    if (ErrCode e = DropStackEntries(ctx, 0, t.outputsPushed - keep)) return e;
  // The function pushes its outputs in order; the engine expects the first
  // on top.
  if (ErrCode e = ReverseStackEntries(ctx, keep)) return e;
  return DropStackEntries(ctx, keep, nargin);
}

}  // namespace vke
