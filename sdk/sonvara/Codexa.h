// The audio coders (Codexa): which file types the host can read, and the
// panel on which the user chooses the recording format.
//
// The sonvara program exports the two functions below from its executable.
// A module finds them at run time (it does not link them, so it also loads
// into a program that lacks them): SvSupportedFileExtensions() below looks
// the list up and parses it, and returns an empty list when the host has no
// coders, so a module then falls back to its own list.
//
// The extension list is a file-dialog filter: a description, "|", then one
// "*.ext;" per extension, for example
//     "Audio files|*.wav;*.flac;*.ogg;"
// It names every type the installed libsndfile can read (MP3, Opus and the
// rest where the library was built with them). Headerless types that only
// open when the reader is told the format (raw PCM, VOX) are left out.
//
// Window thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

class QWidget;

extern "C" {
// Fills buffer (size bytes with the NUL) with the extension filter; 1 when
// it fitted, 0 (buffer holding "") when it did not. 10240 bytes suffice.
using KelGetSupportedFileExtensionsFn = int (*)(char* buffer, std::uint32_t size);
// show 1: creates the coders' settings panel as a child of parent, sized to
// its contents and shown; show 0: removes the panel from parent again. The
// panel keeps the user's choice in config.ini at once (see
// sonvara/RecordingFormat.h). coderName may be null or empty. 1 on success.
using KelCoderShowSettingsFn = int (*)(const char* coderName, QWidget* parent, int show);
}

inline constexpr const char* kKelGetSupportedFileExtensions = "KelGetSupportedFileExtensions";
inline constexpr const char* kKelCoderShowSettings = "KelCoderShowSettings";
inline constexpr std::uint32_t kSvExtensionBufferSize = 10240;

// The extensions of a filter text, each with its dot (".wav"), in order.
// The rule the host has always read the list by: after the "|" and after each
// ";" two characters are skipped (the separator and the "*"), and the text up
// to the next ";" is one extension. The list ends at an empty remainder, at a
// "|" (the start of another filter: "Audio|*.wav;|Video|*.avi;" gives only
// ".wav") and where no ";" follows, so a last pattern without its ";" is not
// taken.
inline std::vector<std::string> SvParseExtensionFilter(const char* filter) {
    std::vector<std::string> out;
    if (!filter) return out;
    const std::string text(filter);
    std::size_t pos = text.find('|'); // pos is always at a separator
    while (pos != std::string::npos && pos + 2 < text.size()) {
        if (text[pos + 1] == '|') break; // another filter starts here
        const std::size_t begin = pos + 2;
        const std::size_t end = text.find(';', begin);
        if (end == std::string::npos) break;
        std::string ext = text.substr(begin, end - begin);
        if (ext.find('|') != std::string::npos) break;
        out.push_back(std::move(ext));
        pos = end;
    }
    return out;
}

// The host's readable extensions (".wav", ".flac" ...); empty when the
// program has no coders.
inline std::vector<std::string> SvSupportedFileExtensions() {
#if defined(_WIN32)
    auto fn = reinterpret_cast<KelGetSupportedFileExtensionsFn>(
        ::GetProcAddress(::GetModuleHandleA(nullptr), kKelGetSupportedFileExtensions));
#else
    auto fn = reinterpret_cast<KelGetSupportedFileExtensionsFn>(
        ::dlsym(RTLD_DEFAULT, kKelGetSupportedFileExtensions));
#endif
    if (!fn) return {};
    std::vector<char> buffer(kSvExtensionBufferSize);
    if (fn(buffer.data(), kSvExtensionBufferSize) != 1) return {};
    return SvParseExtensionFilter(buffer.data());
}
