// A language library for the panel tests: it translates the caption of the
// law frame (id 31946) and nothing else, and only while the test asks for it
// (STAVO_PANEL_TRANSLATE set), so that the screenshots stay English.
#include <cstdlib>
#include <cstring>

extern "C" __attribute__((visibility("default"))) int GetLanguageLibraryVersion() {
    return 0x1000;
}

extern "C" __attribute__((visibility("default"))) int GetLanguageName(char* buffer, int size) {
    std::strncpy(buffer, "Test", static_cast<std::size_t>(size) - 1);
    return 4;
}

extern "C" __attribute__((visibility("default"))) int GetLanguageString(unsigned id, char* buffer,
                                                                        int size) {
    static const char kLaw[] = "Loi des tons";
    if (!std::getenv("STAVO_PANEL_TRANSLATE") || id != 31946 ||
        size < static_cast<int>(sizeof kLaw))
        return 0;
    std::strcpy(buffer, kLaw);
    return static_cast<int>(sizeof kLaw) - 1;
}
