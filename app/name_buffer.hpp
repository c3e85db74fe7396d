// The name buffer: the names of the functions and variables that handler
// descriptors refer to by id, and the standard variables every reset buffer
// starts with. Header {u32 capacity in slots; u32 count}, then count slots of
// 32 bytes {i32 id; char name[28]}, the name NUL-padded (no NUL when it fills
// all 28 bytes). Stored in images as it is.
#pragma once

#include "engine/base.hpp"

namespace vke {

enum StandardVariable : int32_t {
#define VKE_STD_VAR(name, code, text) name = code,
#include "app/standard_variables.def"
#undef VKE_STD_VAR
};

inline constexpr int32_t kStandardVariableCount = 46;
inline constexpr uint32_t kNameBufferMinBytes = 256;
inline constexpr int32_t kNameSlotChars = 28;

// The name of a standard variable code, or null.
const char* StandardVariableName(int32_t code);

// An empty buffer over size bytes; kKvTooSmallNameBuf below 256 bytes.
ErrCode InitNameBuffer(void* area, uint32_t size);
// Sets the capacity for size bytes; kKvTooSmallNameBuf when the slots in use do not fit.
ErrCode CheckNameBuffer(void* buffer, uint32_t size);
// The bytes of the header and the slots in use.
uint32_t NameBufferUsedBytes(const void* buffer);
// Appends a slot (length <= 0: name is NUL-terminated). kKvNoMoreNameSlot when full;
// kKvVarDuplicate for an id outside -2^30..2^30-1, an id present, or a name equal to a
// present one in its first 28 characters.
ErrCode AddNameSlot(void* buffer, int32_t id, const char* name, int32_t length);
// Appends every standard variable in table order.
ErrCode AddStandardVariables(void* buffer);
// The name of an id (not NUL-terminated when it has 28 characters) and its
// length; kKvVarNotFound when no slot has the id.
ErrCode FindVariableSlot(const void* buffer, int32_t id, const char** name, int32_t* length);

}  // namespace vke
