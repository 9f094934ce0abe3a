// Error state of the kernel library: last status, error mode, handler.
#include "dsp/nsp.h"
#include "dsp/nsp_internal.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Process-wide state. Atomics cost nothing here and keep a report from an
// audio thread from racing with a query on another thread.
std::atomic<int> g_status{NSP_StsOk};
std::atomic<int> g_mode{NSP_ErrModeLeaf};
std::atomic<NSPErrorCallBack> g_handler{nspStdErrReport};

const char* OrNone(const char* text) {
    return text ? text : "?";
}

} // namespace

namespace sonvara::dsp {

void ReportBadArg(const char* func, const char* message, const char* source, int line) {
    nspError(NSP_StsBadArg, func, message, source, line);
}

void* AllocAligned(std::size_t bytes) noexcept {
    constexpr std::size_t kAlign = 32;
    // Room to round up to the boundary and to keep the block address below it.
    constexpr std::size_t kMargin = kAlign - 1 + sizeof(void*);
    if (bytes > SIZE_MAX - kMargin) return nullptr;
    void* block = std::malloc(bytes + kMargin);
    if (!block) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(block) + sizeof(void*);
    const auto aligned = (start + kAlign - 1) & ~static_cast<std::uintptr_t>(kAlign - 1);
    reinterpret_cast<void**>(aligned)[-1] = block;
    return reinterpret_cast<void*>(aligned);
}

void FreeAligned(void* p) noexcept {
    if (p) std::free(static_cast<void**>(p)[-1]);
}

} // namespace sonvara::dsp

int nspError(int status, const char* funcName, const char* context, const char* file, int line) {
    if (status != NSP_StsBackTrace && status != NSP_StsAutoTrace) {
        g_status.store(status, std::memory_order_relaxed);
        if (status == NSP_StsOk) return 0;
    }
    const NSPErrorCallBack handler = g_handler.load(std::memory_order_relaxed);
    return handler(status, funcName, context, file, line);
}

int nspGetErrStatus() {
    return g_status.load(std::memory_order_relaxed);
}

void nspSetErrStatus(int status) {
    g_status.store(status, std::memory_order_relaxed);
}

int nspGetErrMode() {
    return g_mode.load(std::memory_order_relaxed);
}

void nspSetErrMode(int mode) {
    g_mode.store(mode, std::memory_order_relaxed);
}

const char* nspErrorStr(int status) {
    switch (status) {
    case NSP_StsOk:
        return "No Error";
    case NSP_StsBackTrace:
        return "Backtrace";
    case NSP_StsInternal:
        return "Internal error (bad state)";
    case NSP_StsNoMem:
        return "Out of memory";
    case NSP_StsBadArg:
        return "Bad argument";
    case NSP_StsBadFunc:
        return "Unsupported function";
    case NSP_StsNoConv:
        return "Iteration convergence failed";
    case NSP_StsAutoTrace:
        return "Autotrace call";
    case NSP_StsNullPtr:
        return "Null pointer";
    case NSP_StsBadPoint:
        return "Bad pointer";
    case NSP_StsBadStruct:
        return "Bad data structure";
    case NSP_StsBadLen:
        return "Bad vector length";
    default:
        return "Unknown error or status code";
    }
}

NSPErrorCallBack nspRedirectError(NSPErrorCallBack handler) {
    return g_handler.exchange(handler ? handler : nspStdErrReport, std::memory_order_relaxed);
}

int nspStdErrReport(int status, const char* funcName, const char* context, const char* file,
                    int line) {
    const int mode = nspGetErrMode();
    // Only a programming error reaches here (every caller passes checked
    // arguments), so say where it happened before the process ends.
    if (mode != NSP_ErrModeSilent) {
        std::fprintf(stderr, "nsp error %d (%s) in %s: %s [%s, line %d]\n", status,
                     nspErrorStr(status), OrNone(funcName), OrNone(context), OrNone(file), line);
    }
    if (mode == NSP_ErrModeLeaf) {
        // _Exit, not exit: the call may come from an audio thread while other
        // threads still use the objects that exit() would destroy.
        std::fflush(nullptr);
        std::_Exit(1);
    }
    return status;
}
