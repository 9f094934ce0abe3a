// The English language library. The host's built-in texts are English, so
// this library translates nothing; it exists so that English is a real entry
// of the language menu with a library path that modules can load.
#include "shell/LanguageLibrary.h"

#include <cstring>

extern "C" {

__attribute__((visibility("default"))) int GetLanguageLibraryVersion() {
    return shell::kMaxLanguageLibraryVersion;
}

__attribute__((visibility("default"))) int GetLanguageName(char* buffer, int size) {
    static const char kName[] = "English";
    if (!buffer || size <= 0) return 0;
    std::strncpy(buffer, kName, static_cast<std::size_t>(size) - 1);
    buffer[size - 1] = '\0';
    return static_cast<int>(std::strlen(buffer));
}

__attribute__((visibility("default"))) int GetLanguageString(unsigned, char* buffer, int size) {
    if (buffer && size > 0) buffer[0] = '\0';
    return 0;
}

} // extern "C"
