// One loaded module: its library, entry points, window, menu, accelerators
// and the per-module flags the host keeps for it.
#pragma once

#include "platform/DynamicLibrary.h"
#include "sonvara/ModuleInfo.h"

#include <cstdint>
#include <string>

namespace modules {

struct CModuleEntry {
    std::string Path;          // full path of the library file
    std::string Name;          // display name, from Info after KelGetModuleInfo
    _MODULE_INFO_ Info{};      // the record the module filled
    std::string StateFileName; // the library's file title + ".mvm"
    platform::DynamicLibrary Library;

    KelInitializeFn KelInitialize = nullptr;
    KelGetMenuFn KelGetMenu = nullptr;
    KelGetAccelTableFn KelGetAccelTable = nullptr;
    KelChangeStateFn KelChangeState = nullptr;
    KelFreeFn KelFree = nullptr;
    KelLoadSkinFn KelLoadSkin = nullptr;
    KelPassMessageFn KelPassMessage = nullptr;
    KelFilterDllMsgFn KelFilterDllMsg = nullptr;
    KelProcessDllIdleFn KelProcessDllIdle = nullptr;
    KelOnCmdMsgFn KelOnCmdMsg = nullptr;
    KelTryCloseFn KelTryClose = nullptr;

    QWidget* Window = nullptr;                 // null until KelInitialize returned
    SvMenuTree* Menu = nullptr;                // owned by the module
    SvAcceleratorList* Accelerators = nullptr; // owned by the module
    std::uint32_t Active = 0;
    std::uint32_t usesPlayerControls = 0;
    std::uint32_t playerOwner = 0;
    std::uint32_t usesRecordControl = 0;
    std::uint32_t microOwner = 0;
    std::uint32_t ButtonIndex = 0xFFFF; // the skin's toolbar position
    QWidget* Button = nullptr;          // the toolbar button, owned by the frame
};

} // namespace modules
