// Pins the stored layout of the memory block header: every field at the
// byte offset that application images and hosts rely on. A rename keeps
// these lines true; a moved field fails to compile here.
#include <cstddef>

#include "app/block.hpp"

namespace vke {

static_assert(offsetof(KVContextBlock, engineBytes) == 0);
static_assert(offsetof(KVContextBlock, dataBytes) == 4);
static_assert(offsetof(KVContextBlock, elementBytes) == 8);
static_assert(offsetof(KVContextBlock, nameBytes) == 12);
static_assert(offsetof(KVContextBlock, undoBytes) == 16);
static_assert(offsetof(KVContextBlock, elementWords) == 20);
static_assert(offsetof(KVContextBlock, handlerBusy) == 24);
static_assert(offsetof(KVContextBlock, hostData) == 28);
static_assert(offsetof(KVContextBlock, newlineMode) == 32);
static_assert(offsetof(KVContextBlock, instanceCount) == 36);
static_assert(offsetof(KVContextBlock, nextInstanceId) == 40);
static_assert(offsetof(KVContextBlock, savedWord) == 44);
static_assert(offsetof(KVContextBlock, capture) == 48);
static_assert(offsetof(KVContextBlock, nativeCall) == 68);
static_assert(offsetof(KVContextBlock, handlerFailure) == 88);
static_assert(offsetof(KVContextBlock, breakTest) == 96);
static_assert(offsetof(KVContextBlock, breakTestArg) == 104);
static_assert(offsetof(KVContextBlock, portFunctions) == 112);
static_assert(offsetof(KVContextBlock, portTarget) == 120);
static_assert(offsetof(KVContextBlock, portSpare) == 128);
static_assert(offsetof(KVContextBlock, askInput) == 136);
static_assert(offsetof(KVContextBlock, askInputArg) == 144);
static_assert(offsetof(KVContextBlock, showBusy) == 152);
static_assert(offsetof(KVContextBlock, showBusyArg) == 160);
static_assert(offsetof(KVContextBlock, nextBusyTime) == 168);
static_assert(offsetof(KVContextBlock, busySpare) == 176);
static_assert(offsetof(KVContextBlock, growMemory) == 184);
static_assert(offsetof(KVContextBlock, growMemoryArg) == 192);
static_assert(offsetof(KVContextBlock, timeFunction) == 200);
static_assert(offsetof(KVContextBlock, timeRecords) == 208);
static_assert(offsetof(KVContextBlock, timeRecordStride) == 216);
static_assert(offsetof(KVContextBlock, defaultInstanceFlag) == 220);
static_assert(offsetof(KVContextBlock, figureMode) == 224);
static_assert(offsetof(KVContextBlock, styleA) == 228);
static_assert(offsetof(KVContextBlock, styleB) == 236);
static_assert(offsetof(KVContextBlock, imageFlag) == 244);
static_assert(offsetof(KVContextBlock, eventStamp) == 248);
static_assert(offsetof(KVContextBlock, inputObjectId) == 252);
static_assert(offsetof(KVContextBlock, handlerKind) == 256);
static_assert(offsetof(KVContextBlock, event) == 264);
static_assert(offsetof(KVContextBlock, cursor) == 416);
static_assert(offsetof(KVContextBlock, handledEventStamp) == 420);
static_assert(offsetof(KVContextBlock, savedByte) == 424);
static_assert(offsetof(KVContextBlock, serial) == 428);
static_assert(offsetof(KVContextBlock, tailSpare) == 432);
static_assert(offsetof(KVContextBlock, interactiveHighlight) == 436);
static_assert(offsetof(KVContextBlock, subplotDrag) == 440);
static_assert(offsetof(KVContextBlock, eventSubplot) == 464);
static_assert(offsetof(KVContextBlock, extensionTables) == 468);
static_assert(offsetof(KVContextBlock, interaction) == 472);
static_assert(offsetof(KVContextBlock, extensionNames) == 480);
static_assert(offsetof(KVContextBlock, spare) == 488);

}  // namespace vke
