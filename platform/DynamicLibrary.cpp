#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <utility>

namespace platform {

DynamicLibrary::~DynamicLibrary() {
    Unload();
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_path(std::move(other.m_path)),
      m_error(std::move(other.m_error)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        Unload();
        m_handle = std::exchange(other.m_handle, nullptr);
        m_path = std::move(other.m_path);
        m_error = std::move(other.m_error);
    }
    return *this;
}

bool DynamicLibrary::Load(const std::string& path) {
    Unload();
    m_error.clear();
    if (path.empty() || path.front() != '/') {
        m_error = "not an absolute path: \"" + path + "\"";
        return false;
    }
    // RTLD_LOCAL keeps one library's symbols from resolving another's: each
    // module and plug-in carries its own copy of the shared static code.
    m_handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        const char* e = ::dlerror();
        m_error = e ? e : ("cannot load " + path);
        return false;
    }
    m_path = path;
    return true;
}

void* DynamicLibrary::Symbol(const char* name) {
    if (!m_handle) {
        m_error = "no library loaded";
        return nullptr;
    }
    ::dlerror();
    void* p = ::dlsym(m_handle, name);
    if (!p) {
        const char* e = ::dlerror();
        m_error = e ? e : (std::string("no export named ") + name + " in " + m_path);
    }
    return p;
}

void DynamicLibrary::Unload() {
    if (m_handle) {
        ::dlclose(m_handle);
        m_handle = nullptr;
    }
    m_path.clear();
}

} // namespace platform
