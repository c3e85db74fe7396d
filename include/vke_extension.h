/* The interface between the engine and extension libraries: shared
 * libraries built outside the project that add native functions. This header
 * is all an extension compiles against; it is plain C.
 *
 * A library offers one of two interfaces, found by its exported names:
 *
 * - The current interface: VKE_EXT_VERSION_FN returns VKE_EXTENSIONS_VERSION
 *   and VKE_EXT_INSTALL_FN(context, hostData, &table) stores the address of a
 *   native table (records as VkeNativeRecord, ended by a record with an empty
 *   name) that the engine registers in front of its own. Its functions are
 *   called as VkeNativeFn and reach the engine only through the engine
 *   interface, the first word of the context: VKE_ENGINE(context)->Slot(...).
 * - The old-style interface: VKE_EXT_OLD_INSTALL_FN(callbacks, &records)
 *   returns the number of VkeOldStyleRecord it stored the address of; each
 *   function is called as VkeOldStyleFn with a callback table of its own
 *   (VkeExtCallbacks), through which it reads inputs and makes outputs.
 *
 * A library whose version function returns another value is tried as an
 * old-style library. Accepted libraries stay loaded; the shutdown entries are
 * looked up but never called. Everything is 64-bit little-endian; text is
 * UTF-8 or 8-bit bytes as each slot says. */
#ifndef VKE_EXTENSION_H
#define VKE_EXTENSION_H

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Version of the current interface that VKE_EXT_VERSION_FN returns. */
#define VKE_EXTENSIONS_VERSION 51064u
/* The two version words of every callback table. */
#define VKE_CALLBACKS_VERSION 64u
#define VKE_CALLBACKS_MIN_VERSION 64u

/* Exported entry points. */
#define VKE_EXT_VERSION_FN "GetVKEExtensionsVersion"
#define VKE_EXT_INSTALL_FN "InstallVKEExtensions"
#define VKE_EXT_SHUTDOWN_FN "ShutdownVKEExtensions"
#define VKE_EXT_OLD_INSTALL_FN "InstallFn"
#define VKE_EXT_OLD_SHUTDOWN_FN "ShutdownFn"

typedef struct VkeContext VkeContext;
/* Records of the engine an extension only passes on. */
typedef struct VkeSavedCodePointer VkeSavedCodePointer;
typedef struct VkeShape VkeShape;
typedef struct VkeElementwiseOperand VkeElementwiseOperand;
typedef struct VkeStructuredParts VkeStructuredParts;
typedef struct VkeOptionRecord VkeOptionRecord;
typedef struct VkeCallArgumentAdders VkeCallArgumentAdders;

/* A native function: its inputs are the top nargin stack entries, the first
 * deepest; it pushes its outputs and returns 0, or an error code. */
typedef int32_t (*VkeNativeFn)(VkeContext* context, int32_t nargin, int32_t nargout,
                               uintptr_t option);

/* One record of a native table (56 bytes). A name beginning with "@" heads a
 * library; an empty name ends the table. */
typedef struct VkeNativeRecord {
  void* function;
  uintptr_t option;
  int32_t kind;
  char name[32];
  uint8_t minIn, maxIn, minOut, maxOut;
} VkeNativeRecord;

/* The engine interface: the engine's operations in their fixed slot order. */
typedef struct VkeEngineInterface {
  const char* (*GetEngineVersion)(void);
  int32_t (*ResolveFunctionName)(VkeContext*, const char*, int32_t, const char*, int32_t, int32_t*,
                                 int32_t*, uint8_t*, uint8_t*);
  int32_t (*CallFunctionValue)(VkeContext*, int32_t, int32_t, int32_t, int32_t);
  const VkeNativeRecord* (*FindLibraryRecord)(VkeContext*, const char*, const VkeNativeRecord*,
                                              int32_t, int32_t*);
  const VkeNativeRecord* (*GetNativeRecordByIndex)(VkeContext*, int32_t);
  int32_t (*CallNativeFunction)(VkeContext*, VkeNativeFn, int32_t, int32_t);
  int32_t (*CallFunctionByName)(VkeContext*, const char*, int32_t, int32_t, int32_t, int32_t);
  int32_t (*RunTextInFunctionScope)(VkeContext*, const char*, int32_t, int32_t*);
  bool (*IsAtHaltInstruction)(VkeContext*);
  int32_t (*ClearFrameFlagAndContinue)(VkeContext*);
  void (*ClearErrorLocation)(VkeContext*);
  int32_t (*ExecuteBytecode)(VkeContext*, uint8_t);
  int32_t (*RaiseErrorById)(VkeContext*, const char*, int32_t, const char*, int32_t);
  bool (*IsInFunctionContext)(VkeContext*);
  bool (*PollAbortRequest)(VkeContext*);
  int32_t (*GetStackLevel)(VkeContext*, int32_t*);
  int32_t (*UnwindCallFrames)(VkeContext*, int32_t);
  void (*SaveCodePointer)(VkeContext*, VkeSavedCodePointer*);
  void (*RestoreCodePointer)(VkeContext*, const VkeSavedCodePointer*);
  int32_t (*CheckArgumentTypes)(VkeContext*, int32_t, const char*);
  int32_t (*PushRealScalar)(VkeContext*, double);
  int32_t (*PushInf)(VkeContext*);
  int32_t (*PushNaN)(VkeContext*);
  int32_t (*PushLogicalScalar)(VkeContext*, uint8_t);
  int32_t (*PushComplexScalar)(VkeContext*, double, double);
  int32_t (*PushEmptyMatrix)(VkeContext*);
  int32_t (*PushNoValue)(VkeContext*);
  int32_t (*PushMarker)(VkeContext*, int32_t);
  bool (*GetMarkerAt)(VkeContext*, int32_t, int32_t*);
  int32_t (*PushNewMatrix)(VkeContext*, int32_t, int32_t, double**, double**);
  int32_t (*PushNewArray)(VkeContext*, int32_t, const int32_t*, double**, double**);
  int32_t (*PushNewSingleArray)(VkeContext*, int32_t, const int32_t*, float**, float**);
  int32_t (*PushNewTypedArray)(VkeContext*, int32_t, const int32_t*, int32_t, bool, void**);
  int32_t (*PushNewCharArray)(VkeContext*, int32_t, const int32_t*, uint16_t**);
  int32_t (*PushNewCharRow)(VkeContext*, int32_t, uint16_t**);
  int32_t (*PushLogicalArray)(VkeContext*, int32_t, const int32_t*, uint8_t**);
  int32_t (*PopNumericArray)(VkeContext*, int32_t*, int32_t*, double**, double**);
  int32_t (*PopRealScalar)(VkeContext*, double*);
  int32_t (*PopComplexScalar)(VkeContext*, double*, double*);
  int32_t (*GetIntegerArg)(VkeContext*, int32_t, int32_t*);
  int32_t (*PopIntegerArg)(VkeContext*, int32_t*);
  int32_t (*PopBooleanArg)(VkeContext*, uint8_t*);
  int32_t (*PopConditionTruth)(VkeContext*, uint8_t*);
  int32_t (*GetNumericArg)(VkeContext*, int32_t, int32_t*, int32_t*, double**, double**);
  int32_t (*GetScalarArg)(VkeContext*, int32_t, double*);
  int32_t (*GetBooleanArg)(VkeContext*, int32_t, uint8_t*);
  int32_t (*GetValueShape)(VkeContext*, int32_t, VkeShape*);
  int32_t (*GetDoubleArrayArg)(VkeContext*, int32_t, VkeShape*, double**, double**);
  int32_t (*GetSingleArrayArg)(VkeContext*, int32_t, VkeShape*, float**, float**);
  int32_t (*GetTypedArrayArg)(VkeContext*, int32_t, int32_t*, bool*, VkeShape*, void**);
  int32_t (*ConvertArgsToCommonType)(VkeContext*, int32_t);
  int32_t (*GetElementwiseOperands)(VkeContext*, int32_t, VkeShape*, VkeElementwiseOperand*);
  int32_t (*MakeTopReal)(VkeContext*);
  int32_t (*MakeTopComplex)(VkeContext*, void**);
  bool (*IsCharArray)(VkeContext*, int32_t);
  bool (*IsLogicalArray)(VkeContext*, int32_t);
  int32_t (*ConvertToFloat)(VkeContext*, int32_t, bool);
  int32_t (*ConvertToInteger)(VkeContext*, int32_t, int32_t, bool, bool);
  int32_t (*ConvertToLogical)(VkeContext*, int32_t);
  int32_t (*PushCString)(VkeContext*, int32_t, const char*);
  int32_t (*PushWideString)(VkeContext*, int32_t, const uint16_t*);
  int32_t (*PushStringOfLength)(VkeContext*, int32_t*, uint16_t**);
  int32_t (*WidenBytesToString)(VkeContext*, int32_t);
  int32_t (*ReserveStringBuffer)(VkeContext*, int32_t*, uint16_t**);
  int32_t (*FinishByteString)(VkeContext*, int32_t);
  int32_t (*ReserveByteBuffer)(VkeContext*, int32_t*, uint8_t**);
  int32_t (*DecodeUtf8Buffer)(VkeContext*, int32_t);
  int32_t (*PushUtf8String)(VkeContext*, int32_t, const char*);
  int32_t (*PopStringToBuffer)(VkeContext*, char*, int32_t, int32_t*);
  int32_t (*GetStringArgToBuffer)(VkeContext*, int32_t, char*, int32_t, int32_t*);
  int32_t (*GetStringArg)(VkeContext*, int32_t, const char**, int32_t*);
  int32_t (*GetStringArgCopy)(VkeContext*, int32_t);
  int32_t (*ReserveDataStack)(VkeContext*, uint32_t, void**);
  int32_t (*GetDataStackFree)(VkeContext*, uint32_t*, void**);
  int32_t (*DropStackEntries)(VkeContext*, int32_t, int32_t);
  int32_t (*RollStackEntries)(VkeContext*, int32_t, int32_t);
  int32_t (*ReverseStackEntries)(VkeContext*, int32_t);
  int32_t (*DuplicateStackEntries)(VkeContext*, int32_t, int32_t);
  int32_t (*TransposeTopValue)(VkeContext*);
  int32_t (*PushListFromEntries)(VkeContext*, int32_t, bool, const char*, int32_t);
  int32_t (*GetStructuredValue)(VkeContext*, int32_t, int32_t*, uint8_t**);
  int32_t (*PushNewCellArray)(VkeContext*, int32_t, const int32_t*);
  int32_t (*ReshapeTopValue)(VkeContext*, int32_t, const int32_t*);
  int32_t (*ReshapeTopCellArray)(VkeContext*, int32_t, const int32_t*);
  int32_t (*StructListToArray)(VkeContext*);
  bool (*IsListValue)(VkeContext*, int32_t);
  bool (*IsStructValue)(VkeContext*, int32_t);
  bool (*IsObjectValue)(VkeContext*, int32_t);
  int32_t (*GetListParts)(VkeContext*, int32_t, VkeStructuredParts*);
  int32_t (*GetListElement)(VkeContext*, int32_t, int32_t);
  int32_t (*GetStructField)(VkeContext*, int32_t, const char*, int32_t);
  int32_t (*GetStructFields)(VkeContext*, int32_t*);
  int32_t (*GetStructFieldName)(VkeContext*, int32_t, int32_t, const char**, int32_t*);
  int32_t (*GetEntryWordCount)(VkeContext*, int32_t);
  int32_t (*CopyEntryToBytes)(VkeContext*, int32_t, void*);
  int32_t (*PushEntryFromBytes)(VkeContext*, const void*);
  int32_t (*SetOptions)(VkeContext*, int32_t, const VkeOptionRecord*);
  int32_t (*GetOptionsArg)(VkeContext*, int32_t, const char*, const VkeOptionRecord*);
  int32_t (*PopScalarOptionValue)(VkeContext*, double, double*);
  int32_t (*GetOptionField)(VkeContext*, int32_t, const char*, const VkeOptionRecord*, double,
                            double*);
  int32_t (*GetBooleanOption)(VkeContext*, int32_t, const char*, const VkeOptionRecord*, uint8_t,
                              uint8_t*);
  int32_t (*WriteToFd)(VkeContext*, int32_t, const char*, int32_t);
  int32_t (*WriteNumberToFd)(VkeContext*, int32_t, double);
  int32_t (*WriteNewlineToFd)(VkeContext*, int32_t);
  int32_t (*FlushFd)(VkeContext*, int32_t, int32_t);
  int32_t (*IoControlFd)(VkeContext*, int32_t, int32_t, intptr_t, intptr_t*, uint8_t*);
  int32_t (*ReadFromFd)(VkeContext*, int32_t, char*, int32_t, bool, int32_t*);
  int32_t (*AllocateFdRange)(VkeContext*, int32_t);
  int32_t (*PushTypedEntryDefault)(VkeContext*, uint32_t, void**);
  int32_t (*GetTypedValueSize)(VkeContext*, int32_t, uint32_t*, void**);
  int32_t (*CallHookByName)(VkeContext*, const char*, int32_t, uintptr_t);
  intptr_t (*FindReservedName)(VkeContext*, const char*);
  void (*GetCallArgumentAdders)(VkeContext*, VkeCallArgumentAdders*);
  int32_t (*ComputeCallFrameSize)(VkeContext*, int32_t, int32_t, int32_t*);
  int32_t (*PrepareFunctionCall)(VkeContext*, int32_t, int32_t, VkeCallArgumentAdders*, void*);
} VkeEngineInterface;

#define VKE_ENGINE_INTERFACE_SLOTS 115
/* The interface of a context: the first word of every context. */
#define VKE_ENGINE(context) (*(const VkeEngineInterface* const*)(context))

typedef uint32_t (*VkeExtVersionFn)(void);
typedef void (*VkeExtInstallFn)(VkeContext* context, intptr_t hostData,
                                const VkeNativeRecord** table);

/* ---- The old-style interface ---- */

/* One function of an old-style library (56 bytes). A leading "<" in the name
 * ties the function to the library's value type. */
typedef struct VkeExtCallbacks VkeExtCallbacks;
typedef int32_t (*VkeOldStyleFn)(VkeExtCallbacks* callbacks, int32_t nargin, int32_t nargout);
typedef struct VkeOldStyleRecord {
  char name[32];
  VkeOldStyleFn function;
  uint32_t minIn, maxIn, minOut, maxOut;
} VkeOldStyleRecord;
typedef int32_t (*VkeExtOldInstallFn)(VkeExtCallbacks* callbacks,
                                      const VkeOldStyleRecord** records);

/* A value, or an item or field of one, named without copying it. */
enum VkeExtValueKind {
  VKE_EXT_NONE = 0, /* a value the callbacks cannot read */
  VKE_EXT_ARRAY = 1,
  VKE_EXT_LIST = 2,
  VKE_EXT_STRUCT = 3,
  VKE_EXT_STRUCT_ARRAY = 4
};
typedef struct VkeExtValueRef {
  uint32_t kind;
  const uint32_t* header; /* the three descriptor words */
  void* data;
} VkeExtValueRef;

/* Number classes of slots 7, 8 and 10. */
enum VkeExtNumberClass {
  VKE_EXT_SIGNED = 0,
  VKE_EXT_UNSIGNED = 1,
  VKE_EXT_REAL = 2,
  VKE_EXT_COMPLEX = 3,
  VKE_EXT_CHAR = 4,
  VKE_EXT_LOGICAL = 5
};

/* Dimensions slot 10 writes at most: its dims buffer holds this many. */
#define VKE_EXT_MAX_DIMS 32

/* The callback table each old-style call receives. A callback returns 1 on
 * success, or stores an error code in errorCode and returns 0 (slots 5 and 6
 * differ). Inputs are numbered 1..nargin. */
struct VkeExtCallbacks {
  uint32_t version;
  uint32_t minVersion;
  int32_t (*GetArgSize)(VkeExtCallbacks*, int32_t i, int32_t* rows, int32_t* columns, double** re,
                        double** im);
  int32_t (*GetStringArg)(VkeExtCallbacks*, int32_t i, char** text, int32_t* length);
  int32_t (*NewMatrixOutput)(VkeExtCallbacks*, int32_t m, int32_t n, double** re, double** im);
  /* n characters; -1 all free room, -2 half of it: the length is written back. */
  int32_t (*BeginStringOutput)(VkeExtCallbacks*, int32_t* n, char** buffer);
  int32_t (*EndStringOutput)(VkeExtCallbacks*);
  void* (*AllocScratch)(VkeExtCallbacks*, uint32_t n);
  int32_t (*PrintLine)(VkeExtCallbacks*, const char* text);
  int32_t (*GetNumericArg)(VkeExtCallbacks*, int32_t i, int32_t* rows, int32_t* columns,
                           int32_t* elementSize, int32_t* numberClass, void** data);
  int32_t (*NewArrayOutput)(VkeExtCallbacks*, int32_t ndims, int32_t* dims, int32_t elementSize,
                            int32_t numberClass, void** data);
  int32_t (*GetArgRef)(VkeExtCallbacks*, int32_t i, VkeExtValueRef* ref);
  int32_t (*DescribeValue)(VkeExtCallbacks*, const VkeExtValueRef* ref, int32_t* ndims,
                           int32_t* dims, int32_t* elementSize, int32_t* numberClass, void** data);
  int32_t (*GetItemCount)(VkeExtCallbacks*, const VkeExtValueRef* ref, int32_t* count);
  int32_t (*GetListItem)(VkeExtCallbacks*, const VkeExtValueRef* ref, int32_t i,
                         VkeExtValueRef* item);
  int32_t (*GetFieldName)(VkeExtCallbacks*, const VkeExtValueRef* ref, int32_t i, char* name);
  int32_t (*GetField)(VkeExtCallbacks*, const VkeExtValueRef* ref, const char* name,
                      VkeExtValueRef* field);
  int32_t (*GetStructArrayField)(VkeExtCallbacks*, const VkeExtValueRef* ref, int32_t i,
                                 const char* name, VkeExtValueRef* field);
  int32_t (*NewList)(VkeExtCallbacks*);
  int32_t (*AppendToList)(VkeExtCallbacks*);
  int32_t (*NewStruct)(VkeExtCallbacks*);
  int32_t (*AddStructField)(VkeExtCallbacks*, const char* name);
  int32_t (*MakeStructArray)(VkeExtCallbacks*, int32_t ndims, const int32_t* dims);
  int32_t (*WriteText)(VkeExtCallbacks*, int32_t fd, const char* text, int32_t length,
                       int32_t split);
  int32_t (*RaiseError)(VkeExtCallbacks*, const char* identifier, const char* message);
  int32_t (*GetScalarArg)(VkeExtCallbacks*, int32_t i, double* re, double* im);
  int32_t (*NewBinaryOutput)(VkeExtCallbacks*, uint32_t n, void** data);
  int32_t (*GetBinaryArg)(VkeExtCallbacks*, int32_t i, uint32_t* size, void** data);
  int32_t (*BuildStruct)(VkeExtCallbacks*, int32_t n);
  int32_t (*PushComplexScalar)(VkeExtCallbacks*, double re, double im);
  int32_t (*PushLogical)(VkeExtCallbacks*, uint8_t value);
  int32_t (*CheckAbort)(VkeExtCallbacks*);
  int32_t (*ComputeCallFrameSize)(VkeExtCallbacks*, int32_t i, int32_t j, int32_t* size);
  int32_t (*PrepareFunctionCall)(VkeExtCallbacks*, int32_t i, int32_t j, void* buffer);
  VkeContext* context;
  int32_t nargin;
  int32_t nargout;
  int32_t outputsPushed;
  int32_t errorCode;
  int32_t openStringLength; /* -1 when no string output is open */
  int32_t openStringOutput; /* which output it is (the count before it) */
  uint8_t* scratch;
  uint32_t scratchSize;
  uint32_t reserved2;
};

#define VKE_EXT_CALLBACK_SLOTS 32

#ifdef __cplusplus
}
#endif

#endif /* VKE_EXTENSION_H */
