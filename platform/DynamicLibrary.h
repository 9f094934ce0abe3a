// A shared library loaded at run time: modules, language libraries and
// effect plug-ins. Libraries are loaded by absolute path only, so the search
// path can never substitute another file.
#pragma once

#include <string>

namespace platform {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary(); // unloads
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;

    // Loads the library at an absolute path (a relative one is refused).
    // Unloads whatever this object held before. False with Error() set on failure.
    bool Load(const std::string& path);
    // The address of an exported symbol, or null with Error() set.
    void* Symbol(const char* name);
    template <typename Fn> Fn Function(const char* name) {
        return reinterpret_cast<Fn>(Symbol(name));
    }
    // fn = the export's address; true when the library has it.
    template <typename Fn> bool Resolve(const char* name, Fn& fn) {
        fn = Function<Fn>(name);
        return fn != nullptr;
    }
    void Unload();

    bool IsLoaded() const { return m_handle != nullptr; }
    const std::string& Path() const { return m_path; }
    // The reason of the last failure, as text.
    const std::string& Error() const { return m_error; }

private:
    void* m_handle = nullptr;
    std::string m_path;
    std::string m_error;
};

} // namespace platform
