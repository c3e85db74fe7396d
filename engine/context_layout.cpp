// Pins the stored layout of the engine context: every field at the byte
// offset that engine images and hosts rely on. A rename keeps these lines
// true; a moved field fails to compile here.
#include <cstddef>

#include "engine/context.hpp"

namespace vke {

static_assert(offsetof(EngineContext, api) == 0);
static_assert(offsetof(EngineContext, descBase) == 8);
static_assert(offsetof(EngineContext, descCap) == 12);
static_assert(offsetof(EngineContext, descTop) == 16);
static_assert(offsetof(EngineContext, curFrame) == 20);
static_assert(offsetof(EngineContext, dataBase) == 24);
static_assert(offsetof(EngineContext, dataCap) == 28);
static_assert(offsetof(EngineContext, dataTop) == 32);
static_assert(offsetof(EngineContext, heapBase) == 36);
static_assert(offsetof(EngineContext, heapSize) == 40);
static_assert(offsetof(EngineContext, codeBase) == 44);
static_assert(offsetof(EngineContext, codeSize) == 48);
static_assert(offsetof(EngineContext, funcCap) == 52);
static_assert(offsetof(EngineContext, funcCount) == 56);
static_assert(offsetof(EngineContext, codeEnd) == 60);
static_assert(offsetof(EngineContext, nameStart) == 64);
static_assert(offsetof(EngineContext, codeSpare) == 68);
static_assert(offsetof(EngineContext, registryOff) == 76);
static_assert(offsetof(EngineContext, registryCount) == 80);
static_assert(offsetof(EngineContext, currentNativeId) == 84);
static_assert(offsetof(EngineContext, defaultUserData) == 88);
static_assert(offsetof(EngineContext, reserved0) == 96);
static_assert(offsetof(EngineContext, reservedNamesOff) == 100);
static_assert(offsetof(EngineContext, reservedNameCount) == 104);
static_assert(offsetof(EngineContext, threadTimer) == 112);
static_assert(offsetof(EngineContext, threadTimerArg) == 120);
static_assert(offsetof(EngineContext, threadHostAreaSize) == 128);
static_assert(offsetof(EngineContext, resolver) == 136);
static_assert(offsetof(EngineContext, resolverArg) == 144);
static_assert(offsetof(EngineContext, pendingArgs) == 152);
static_assert(offsetof(EngineContext, pendingArgCount) == 408);
static_assert(offsetof(EngineContext, pendingArgWord) == 412);
static_assert(offsetof(EngineContext, mainThread) == 416);
static_assert(offsetof(EngineContext, currentThread) == 576);
static_assert(offsetof(EngineContext, firstThread) == 580);
static_assert(offsetof(EngineContext, nextThreadId) == 584);
static_assert(offsetof(EngineContext, sliceSpare) == 588);
static_assert(offsetof(EngineContext, sliceLength) == 600);
static_assert(offsetof(EngineContext, sliceSpare2) == 608);
static_assert(offsetof(EngineContext, yieldRequested) == 612);
static_assert(offsetof(EngineContext, semTable) == 616);
static_assert(offsetof(EngineContext, semCap) == 620);
static_assert(offsetof(EngineContext, lastSemaphoreId) == 624);
static_assert(offsetof(EngineContext, compiling) == 628);
static_assert(offsetof(EngineContext, compilerSpare) == 629);
static_assert(offsetof(EngineContext, rng) == 632);
static_assert(offsetof(EngineContext, cpKind) == 648);
static_assert(offsetof(EngineContext, cpFlag) == 652);
static_assert(offsetof(EngineContext, cpOffset) == 656);
static_assert(offsetof(EngineContext, cpByte) == 660);
static_assert(offsetof(EngineContext, errLocCode) == 664);
static_assert(offsetof(EngineContext, errLocFunc) == 668);
static_assert(offsetof(EngineContext, errLocPos) == 672);
static_assert(offsetof(EngineContext, errLocName) == 676);
static_assert(offsetof(EngineContext, lastError) == 712);
static_assert(offsetof(EngineContext, pendingError) == 716);
static_assert(offsetof(EngineContext, lineMarkers) == 720);
static_assert(offsetof(EngineContext, wideText) == 721);
static_assert(offsetof(EngineContext, optLevel) == 724);
static_assert(offsetof(EngineContext, optByte) == 728);
static_assert(offsetof(EngineContext, showPrivate) == 729);
static_assert(offsetof(EngineContext, abortFn) == 736);
static_assert(offsetof(EngineContext, abortArg) == 744);
static_assert(offsetof(EngineContext, bomSkip) == 752);
static_assert(offsetof(EngineContext, decodeChar) == 760);
static_assert(offsetof(EngineContext, encodeChar) == 768);
static_assert(offsetof(EngineContext, displayDigits) == 776);
static_assert(offsetof(EngineContext, formatLetter) == 780);
static_assert(offsetof(EngineContext, imagLetter) == 781);
static_assert(offsetof(EngineContext, looseSpacing) == 782);
static_assert(offsetof(EngineContext, displayWord) == 784);
static_assert(offsetof(EngineContext, displayOnOff) == 788);
static_assert(offsetof(EngineContext, nextFd) == 792);
static_assert(offsetof(EngineContext, redirectTarget) == 796);
static_assert(offsetof(EngineContext, redirectCopy) == 804);
static_assert(offsetof(EngineContext, captureBuf) == 808);
static_assert(offsetof(EngineContext, captureCap) == 816);
static_assert(offsetof(EngineContext, captureLen) == 824);
static_assert(offsetof(EngineContext, sourceExt) == 832);
static_assert(offsetof(EngineContext, helpExt) == 840);
static_assert(offsetof(EngineContext, bpTable) == 848);
static_assert(offsetof(EngineContext, bpCount) == 852);
static_assert(offsetof(EngineContext, interruptDebug) == 856);
static_assert(offsetof(EngineContext, abortToggle) == 857);
static_assert(offsetof(EngineContext, stepWords) == 860);
static_assert(offsetof(EngineContext, echoMode) == 876);
static_assert(offsetof(EngineContext, echoLevel) == 880);
static_assert(offsetof(EngineContext, running) == 884);
static_assert(offsetof(EngineContext, nestedRun) == 885);
static_assert(offsetof(EngineContext, halted) == 886);
static_assert(offsetof(EngineContext, profileTable) == 888);
static_assert(offsetof(EngineContext, profileWords) == 892);
static_assert(offsetof(EngineContext, heapFreeFrom) == 924);
static_assert(offsetof(EngineContext, nativeResults) == 928);
static_assert(offsetof(EngineContext, nativeContinuation) == 932);
static_assert(offsetof(EngineContext, memoryRetry) == 936);
static_assert(offsetof(EngineContext, instructionLevel) == 940);

}  // namespace vke
