// Shared by the fuzz targets: a private scratch folder for inputs that the
// code under test only reads from files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fuzzsupport {

// One folder per process, made on first use and removed when the process
// exits normally (libFuzzer's fork mode starts hundreds of them; one that
// is killed leaves its folder behind).
inline const std::string& ScratchFolder() {
    static const std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/sonvara-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) std::abort();
        return pattern;
    }();
    static const bool removal = [] {
        return std::atexit([] {
                   std::error_code ec;
                   std::filesystem::remove_all(folder, ec);
               }) == 0;
    }();
    (void)removal;
    return folder;
}

// Writes the input to name inside the scratch folder; returns its path.
inline std::string WriteInput(const char* name, const std::uint8_t* data, std::size_t size) {
    const std::string path = ScratchFolder() + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
    return path;
}

} // namespace fuzzsupport
