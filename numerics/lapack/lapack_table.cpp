// The table of the "!lapack" library.
#include "numerics/lapack/lapack_table.hpp"

namespace vke {

const NativeFunctionRecord* LapackLibraryTable() {
  static const NativeFunctionRecord table[] = {
      MakeRecord("!lapack"),
#define VKE_LAPACK_RECORD(name, fn, minIn, maxIn, minOut, maxOut, option) \
  MakeRecord(name, &fn, minIn, maxIn, minOut, maxOut, option),
#include "numerics/lapack/lapack_natives.def"
#undef VKE_LAPACK_RECORD
      MakeRecord(""),
  };
  static_assert(sizeof table / sizeof table[0] == kLapackRecordCount + 1);
  return table;
}

}  // namespace vke
