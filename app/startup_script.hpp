// The start-up script of KV files written in the older form (element kind
// 45): its text is wrapped into a function "_d_" of the instance's code,
// whose outputs are the instance's variables and the figure settings, each
// preset to a marker value so that the ones the script leaves alone keep
// theirs. Without a start-up output element (kElemStartOutputs) the outputs are the
// instance's variables (ids above 105) and _plots, _plotprops, _plot3d,
// _plotpos, _plotsize, _plotspring, _plotparam, _title, _version and _help,
// which go to the figure and title natives; with one they are the names of
// its inputs, handed to its function, whose outputs are stored.
//
// The packing tool writes, behind the script's text, the line of the
// description the text starts on and the description's file name, so that
// the script's errors name the place the user wrote it.
#pragma once

#include <string_view>

#include "app/block.hpp"

namespace vke {

// The name of the wrapper function.
inline constexpr char kStartupWrapperName[] = "_d_";

// The description's file name and the line of its text where instance id's
// start-up script begins; false when the element does not record them.
bool StartupScriptPlace(KVContextBlock* block, int32_t id, std::string_view* file,
                        int32_t* firstLine);

// Builds the wrapper of the script text in the free part of the element-list
// area, compiles it and runs it (CompileStartupScript); the block grows
// while the free part cannot hold the wrapper (kKvExhaustedRsrc) or its code
// does not fit. Compile and run failures.
ErrCode CompileHandlerWrapper(KVContextBlock** slot, int32_t id, const char* text, int32_t length);

// Runs "_d_" of the instance's code (nothing to do when it has none) and
// stores its results; the kind-9 function, or the figure and title natives,
// get theirs. As in a handler, an instruction short of room waits while the
// block grows and room is made for all the results before any is stored:
// nothing runs twice. The first failure is returned.
ErrCode CompileStartupScript(KVContextBlock** slot, int32_t id);

}  // namespace vke
