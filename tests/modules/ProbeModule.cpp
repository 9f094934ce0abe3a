// A test module whose exports and answers are chosen at build time, so one
// source gives every kind of module the load sequence must accept or refuse.
// It reports what the host calls through SvTestRecord, a function the test
// program exports (looked up at run time, so the module links nothing).
//
//   PROBE_TAG         the library's file name, prefixing its journal lines
//   PROBE_NAME        display name ("" leaves it empty)
//   PROBE_NO_INIT     no KelInitialize export
//   PROBE_NO_INFO     no KelGetModuleInfo export
//   PROBE_INIT_NULL   KelInitialize fails (returns null)
//   PROBE_NO_PASS     no KelPassMessage export
//   PROBE_ACCEL       exports KelGetAccelTable (Ctrl+O -> 5000)
//   PROBE_SEND_IN_INIT sends itself "hello" while initialising
#include "sonvara/Accelerators.h"
#include "sonvara/IModuleCom.h"
#include "sonvara/IQueryInterface.h"
#include "sonvara/MenuTree.h"
#include "sonvara/ModuleInfo.h"

#include <dlfcn.h>
#include <string>

#define PROBE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

char g_window; // the "window" handed back: only its address matters

SvMenuTree g_menu;

void Record(const std::string& line) {
    using RecordFn = void (*)(const char*);
    static auto record = reinterpret_cast<RecordFn>(dlsym(RTLD_DEFAULT, "SvTestRecord"));
    if (record) record((std::string(PROBE_TAG) + ": " + line).c_str());
}

QWidget* Window() {
    return reinterpret_cast<QWidget*>(&g_window);
}

} // namespace

#ifndef PROBE_NO_INFO
PROBE_EXPORT int KelGetModuleInfo(QWidget* window, _MODULE_INFO_* info) {
    Record(std::string("info size=") + std::to_string(info->Size) + (window ? " window" : " null"));
    info->Name = PROBE_NAME;
    info->Words[0] = 7;
    return 1;
}
#endif

#ifndef PROBE_NO_INIT
PROBE_EXPORT QWidget* KelInitialize(QWidget*, char* buffer, unsigned size,
                                    [[maybe_unused]] IQueryInterface* q) {

    Record("init " + std::to_string(size) + (buffer ? " buffer" : " none"));
    g_menu.AddCommand(PROBE_NAME, 5000);
#ifdef PROBE_SEND_IN_INIT
    const int r = q->GetModuleCom()->SendModuleMessage(PROBE_NAME, PROBE_NAME, "hello");
    Record("sent hello " + std::to_string(r));
#endif
#ifdef PROBE_INIT_NULL
    return nullptr;
#else
    return Window();
#endif
}
#endif

PROBE_EXPORT SvMenuTree* KelGetMenu(QWidget*) {
    Record("menu");
    return &g_menu;
}

PROBE_EXPORT int KelChangeState(QWidget* window, int state) {
    Record("state " + std::to_string(state) + (window == Window() ? "" : " wrong window"));
    return 1;
}

PROBE_EXPORT int KelLoadSkin(QWidget*, int) {
    Record("skin");
    return 1;
}

#ifndef PROBE_NO_PASS
PROBE_EXPORT int KelPassMessage(QWidget*, const char* sender, const char* message) {
    Record(std::string("message from ") + sender + ": " + message);
    return std::string(message) != "refuse";
}
#endif

PROBE_EXPORT int KelProcessDllIdle() {
    Record("idle");
    return 1;
}

PROBE_EXPORT int KelOnCmdMsg(QWidget*, unsigned id, int, void*, void*) {
    return id == 5000 ? (Record("command 5000"), 1) : 0;
}

PROBE_EXPORT int KelTryClose() {
    Record("try close");
    return 0;
}

#ifdef PROBE_ACCEL
PROBE_EXPORT SvAcceleratorList* KelGetAccelTable(QWidget*) {
    static SvAcceleratorList list{{{"Ctrl+O", 5000}}};
    return &list;
}
#endif
