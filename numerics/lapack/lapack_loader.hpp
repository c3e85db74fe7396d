// Opening the LAPACK, BLAS and f2c run-time libraries at the first use of a
// routine of lapack_routines.def, and resolving every routine there in one
// go: a process that calls none of them never loads them.
#pragma once

#include "engine/base.hpp"

namespace vke {

struct EngineContext;

// Opens the libraries and resolves every routine, once per process and
// thread-safe. kOk when every routine has its address; else raises
// kErrLibNotFound naming the library or routine that could not be found (and
// every later call fails the same way).
ErrCode LoadLapack(EngineContext* ctx);

// For tests: the libraries to open instead of the configured ones, separated
// by ':' (null: the configured ones), forgetting what was loaded before. Not
// to be called while another thread runs a routine.
void PointLapackLoaderAt(const char* libraries);

}  // namespace vke
