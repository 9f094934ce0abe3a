// What a module library exports and the record it fills to name itself.
//
// A module is a shared library in the host's Modules folder exporting the
// Kel... entry points below as extern "C" with default visibility. The host
// loads it by absolute path, reads its name with KelGetModuleInfo, then calls
// KelInitialize. KelInitialize, KelGetMenu, KelChangeState, KelLoadSkin and
// KelGetModuleInfo are required; a library missing one is unloaded unused.
//
// Threads: every entry point is called on the window thread, except
// KelPassMessage, which runs on whichever thread sent the bus message.
// No exception may leave an entry point.
#pragma once

#include <cstdint>

class QWidget;
class IQueryInterface;
struct SvMenuTree;
struct SvAcceleratorList;

// Filled by the module in KelGetModuleInfo. The host sets Size and zeroes the
// rest before the call; a record whose Size differs from sizeof is refused.
struct _MODULE_INFO_ {
    std::uint32_t Size;
    // The display name: identifies the module on the bus, in look-ups and in
    // config.ini. Owned by the module; must stay valid while it is loaded.
    const char* Name;
    // For the module's own use; other modules can read them through
    // IModuleCom::FindModuleInfo. The host never interprets them.
    std::uint32_t Words[3];
};
static_assert(sizeof(void*) != 8 || sizeof(_MODULE_INFO_) == 32,
              "_MODULE_INFO_ is 32 bytes on 64-bit builds");

// Entry point types. "window" is the module's own window (what
// KelInitialize returned); BOOL results are int, non-zero for true.
extern "C" {
// Before KelInitialize, with a null window: fill info->Name.
using KelGetModuleInfoFn = int (*)(QWidget* window, _MODULE_INFO_* info);
// Create the module window as a child of clientArea and return it; null
// fails the load. buffer (bufferSize characters) is scratch space the host
// never reads. The query interface stays valid until the module is released.
using KelInitializeFn = QWidget* (*)(QWidget* clientArea, char* buffer, unsigned bufferSize,
                                     IQueryInterface* query);
// The module's menu tree, owned by the module and valid until the next call
// of KelGetMenu or release; null for no menu.
using KelGetMenuFn = SvMenuTree* (*)(QWidget* window);
// The module's accelerators, owned by the module, valid until release.
// Optional export; called once after KelInitialize.
using KelGetAccelTableFn = SvAcceleratorList* (*)(QWidget* window);
// state 1: the module becomes active (its window is about to be shown);
// 0: it becomes inactive (its window has been hidden).
using KelChangeStateFn = int (*)(QWidget* window, int state);
// Not called by the host; kept for compatibility.
using KelFreeFn = int (*)(QWidget* window);
// On activation and after a skin change while active; reserved is 0.
using KelLoadSkinFn = int (*)(QWidget* window, int reserved);
// A bus message (IModuleCom::SendModuleMessage); non-zero accepts it. Runs
// on the sender's thread, which need not be the window thread.
using KelPassMessageFn = int (*)(QWidget* window, const char* sender, const char* message);
// Not called by the host; kept for compatibility.
using KelFilterDllMsgFn = int (*)(void* message);
// Idle time of the window thread while the module is active. Optional.
using KelProcessDllIdleFn = int (*)();
// A command routed to the active module before the frame handles it;
// non-zero when the module handled it. code is the notification code,
// extra and handlerInfo are always null here. Optional.
using KelOnCmdMsgFn = int (*)(QWidget* window, unsigned commandId, int code, void* extra,
                              void* handlerInfo);
// Asked at close, only of the module named "Quillon": 0 refuses the close.
using KelTryCloseFn = int (*)();
}

namespace sonvara {
// The display name whose module may veto the program's close.
inline constexpr const char* kCloseVetoModuleName = "Quillon";
// Size of the scratch buffer handed to KelInitialize.
inline constexpr unsigned kInitializeBufferSize = 260;
} // namespace sonvara
