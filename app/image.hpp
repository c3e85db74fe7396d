// The application image: the saved application appended to the runtime's own
// executable (the engine state, the compiled element list, the instances, the
// name buffer and the undo buffer), how the runtime finds and loads it into
// its block, and the writer that produces it from a block.
//
// File layout, little-endian:
//   S            u32 N, the title length
//   S + 4        N title bytes (8-bit, not compressed), then one NUL
//   S + 5 + N    records, one after another
//   end - 4      u32 S, the trailer (0 for an image without a runtime)
// A record is a u32 length L and L bytes of one zlib stream; the reader
// always knows what it must inflate to. Records in order: the ImageHeader;
// the u32 length E of the extension list; E bytes of names separated by ";"
// (only when E > 0); the engine state as the engine stores it (seven
// records); DataUsed bytes of the figure store; the instance records (the
// top InstanceCount x 22,784 bytes of the KV data buffer, lowest first); the
// element list; the name buffer; the undo buffer's header and set area
// (UndoHeadBytes H); its heap (UndoHeapUnits U units), placed at unit
// (4W + 28) / 8 of the undo area with W = (H - 36) / 4.
//
// Function-table capacity: compiled code positions count from behind the
// table, so they depend on the capacity of the saving engine. The engine
// records that capacity in its image header and its loader places the code
// behind it (raising it only to the function count), whatever its own
// capacity is; images without the record load behind the loader's own. This
// is the only place where the capacity is reconciled; the application layer
// adds nothing to it.
//
// Registry: compiled code calls natives by their index over the registered
// tables, so an image only runs under the registry it was made with. The
// header's registryFingerprint is a digest of that registry (record names
// and counts, table by table, without the extensions of an image loaded
// before); the loader refuses a non-zero digest that differs from its own
// with 600. Images with 0 there load as they are.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/block.hpp"
#include "engine/image/engine_image.hpp"
#include "platform/shared_library.hpp"

namespace vke {

// The first record of an image; its fields are the rows of
// app/image_header.def.
struct ImageHeader {
#define VKE_IMAGE_FIELD(type, name, offset, copy, meaning) type name;
#include "app/image_header.def"
#undef VKE_IMAGE_FIELD
};
static_assert(sizeof(ImageHeader) == 68);
#define VKE_IMAGE_FIELD(type, name, offset, copy, meaning) \
  static_assert(offsetof(ImageHeader, name) == (offset));
#include "app/image_header.def"
#undef VKE_IMAGE_FIELD

// Mode 0 stores the input's position in *saved; any other mode goes back to
// it. Always true.
using ImagePositionFn = bool (*)(int32_t mode, int64_t* saved, uintptr_t argument);
// Registers the extension named by an image (name not NUL-terminated); any
// code but 0 means it is not registered.
using ExtensionFolderFn = ErrCode (*)(KVContextBlock* block, const char* name, int32_t length,
                                      uintptr_t argument);

// Where LoadImageSections reads: the record reader, the positioner (null:
// the engine's records cannot be read again after a growth) and their
// argument.
struct ImageInput {
  ImageReadFn read;
  ImagePositionFn position;
  uintptr_t argument;
  // Bytes of records left in the input (UINT64_MAX: not known); counts that
  // ask for more than they can inflate to are rejected before any growth.
  uint64_t recordBytes;
};

// ---- Loading ----

// Loads the records behind the title into the block in the slot, growing it
// while the image needs more room. Codes: 305 when the header or the
// extension list cannot be read; 12 for extension names without a callback;
// kKvPlotOverflow, kKvNotEnoughMemForKVFile or kKvVarTooLargeForUndo when the KV data, the element
// list or the undo buffer does not fit and the block cannot grow; kKvTooSmallNameBuf at once when
// the name buffer does not fit; the engine's code (1, 3, 5, 6, 305 ...) for its state; 600 for an
// extension that is not registered, an image made under another registry, a later record that
// cannot be read, and counts or contents that no sound image holds. On any failure the block is
// left empty: one new instance, no elements, the standard names, an empty undo buffer and an empty,
// reset engine.
ErrCode LoadImageSections(KVContextBlock** slot, const ImageInput& input,
                          ExtensionFolderFn extensions, uintptr_t extensionArgument);

// Loads the undo buffer from its two records into an undo area whose size K
// is its first header word; without a reader only checks that the records
// fit. kKvVarTooLargeForUndo when H / 8 + U + 1 > K / 8 or when W words of sets or U units
// of heap do not fit the area laid out for K bytes; 600 for H below 36, no
// heap unit, a record that cannot be read, a header that does not describe
// the heap record, or a buffer that is not sound once moved to its size.
ErrCode LoadUndoBuffer(void* area, uint32_t headBytes, uint32_t heapUnits, ImageReadFn reader,
                       uintptr_t argument);

// ---- Records ----

// An open image file and the offset behind its last record (the trailer's).
struct ImageStream {
  FILE* file;
  uint64_t end;
};

// Reads the next record of the stream into size bytes; false unless it
// inflates to exactly size bytes.
bool ReadCompressedRecord(void* destination, uint32_t size, uintptr_t stream);
// Appends size bytes as one record.
bool WriteCompressedRecord(const void* source, uint32_t size, uintptr_t stream);
bool TellOrSeekImage(int32_t mode, int64_t* saved, uintptr_t stream);

// ---- Finding the image at the end of a file ----

// Loads the image at the end of the file (the runtime passes its own
// executable): the trailer, the title (given back), then the records;
// extensions are looked for beside the file. 300 when the file cannot be
// opened; 305 when the trailer or the title does not lie inside the file;
// else the code of LoadImageSections.
ErrCode LoadImageFile(KVContextBlock** slot, const char* path, std::string* title);
// Whether the file can be read and its trailer and title lie inside it: an
// image was appended (whether its records load is another matter).
bool FileCarriesImage(const char* path);
// The same for a file held in memory; extensions are looked for beside the
// executable given.
ErrCode LoadImageBytes(KVContextBlock** slot, const void* bytes, size_t size,
                       const char* executable, std::string* title);

// ---- Extensions ----

// The extension folder beside an executable: "KVRuntimeExt" in its folder.
std::string ExtensionFolderOf(std::string_view executable);
// The extension callback of the runtime: loads the named extension from the
// folder beside the executable (argument: its path, a NUL-terminated text);
// 600 when no table got registered.
ErrCode AddRuntimeExtensionFolder(KVContextBlock* block, const char* name, int32_t length,
                                  uintptr_t executable);

// ---- Writing ----

// Writes the records of the block in the order the loader reads them: the
// header, an empty extension list, the engine state, an empty figure store
// (its objects are drawn anew), the instance records, the element list, the
// name buffer and the undo buffer with its heap compacted. The block is not
// changed. 302 when a write fails, 400 while an interpreter thread other
// than the first runs.
ErrCode SaveImageSections(KVContextBlock* block, ImageWriteFn writer, uintptr_t argument);

// The digest of the block's registry behind the extensions of its image
// (FNV-1a over each table's record count and names); never 0.
uint32_t RegistryFingerprint(KVContextBlock* block);

// Writes an image file: a copy of the runtime file followed by the image,
// whose trailer then gives the runtime's size, or the image alone (runtime
// null, trailer 0). The copy keeps the runtime's permissions. The file is
// written under a name of its own beside `path` and renamed over it at the
// end (a symbolic link keeps its place: the file its links lead to is
// written, also when it does not exist yet), so that a program running from the
// old file goes on undisturbed and the new file replaces it whole; a
// failure leaves the old file as it was. Only a regular file is replaced:
// a folder there, or one of the special files (a named pipe, a device, a
// socket), also at the end of links, is refused with EISDIR or ENOTSUP
// before any file is made, and stays as it was. 300 when the runtime
// cannot be read, 302 when the output cannot be written, with the system's
// errno in *cause (when given); else the code of SaveImageSections.
ErrCode WriteImageFile(KVContextBlock* block, std::string_view title, const char* runtime,
                       const char* path, int* cause = nullptr);
// The image alone, in memory.
ErrCode SaveImageBytes(KVContextBlock* block, std::string_view title, std::vector<uint8_t>* out);

}  // namespace vke
