// The host application as a module sees it: settings, menus, paths, message
// boxes, help, the active module and the status line.
//
// Slot order is fixed. Strings passed in are NUL-terminated UTF-8 that the
// host does not keep; strings returned stay owned by the host. BOOL results
// are int, non-zero for true. Window thread only, except SetStatusText and
// ShowStatusMessage, which any thread may call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class IApplication {
public:
    // Writes key=value in the owner's section ("<owner>: params") of
    // config.ini. FALSE for an owner that is neither "Main frame" nor a
    // loaded module's display name (letter case ignored).
    virtual int SetParam(const char* owner, const char* key, const char* value) = 0;
    // Reads the key into buffer (at most size characters with the NUL).
    // FALSE for an unknown owner (buffer untouched) or an empty value.
    // The host's own section ("Main frame") holds the recording format the
    // user chose: see sonvara/RecordingFormat.h.
    virtual int GetParam(const char* owner, const char* key, char* buffer, unsigned size) = 0;
    // Fetches the named module's menu again (KelGetMenu) and rebuilds the
    // frame menu when that module is active. FALSE when no module has the
    // name (letter case ignored).
    virtual int RefreshModuleMenu(const char* moduleName) = 0;
    // The program directory, ending with '/'.
    virtual const char* GetAppPath() = 0;
    // Passed unchanged to the host's message box: a = the text, b = the
    // caption (0: the product's name), c = the type (buttons and icon as
    // Windows numbers them: 0 OK, 1 OK/Cancel, 3 Yes/No/Cancel, 4 Yes/No;
    // 0x10 error, 0x20 question, 0x30 warning, 0x40 information), d and e
    // reserved (0). Text and caption are each a pointer to the module's own
    // NUL-terminated UTF-8 string, e.g. reinterpret_cast<std::intptr_t>("Hi"),
    // or a value below 0x10000, which names one of the host's strings.
    // Returns the button pressed (1 OK, 2 Cancel, 6 Yes, 7 No), 0 for an
    // empty text.
    virtual int ShowMessage(std::intptr_t a, std::intptr_t b, std::intptr_t c, std::intptr_t d,
                            std::intptr_t e) = 0;
    // Opens the help, Help/index.html of the program directory, in the
    // desktop's browser. TRUE.
    virtual int ShowHelp() = 0;
    // Removes the first "key=" line of the owner's section. FALSE for an
    // unknown owner or a missing section.
    virtual int DeleteParam(const char* owner, const char* key) = 0;
    // Reserved: ignores its arguments and returns TRUE.
    virtual int Reserved(std::uint32_t a, std::uint32_t b, std::uint32_t c) = 0;
    // The active module's display name, or null when none is active.
    virtual const char* GetActiveModuleName() = 0;
    // Activates the first module whose display name equals name exactly
    // (letter case counts). FALSE when none does.
    virtual int ActivateModuleByName(const char* name) = 0;
    // Sets the status line and keeps the text as the frame's status. Any thread.
    virtual void SetStatusText(const char* text) = 0;
    // Shows text in the status line for milliseconds, then the kept status
    // returns. A null text does nothing. Any thread.
    virtual void ShowStatusMessage(const char* text, unsigned milliseconds) = 0;
    // Shows the music library (playlists.xml and fileDB.dat of the settings
    // folder) modally; the files of the playlist the user double-clicks, in
    // playlist order. Empty when the user closes the dialog, double-clicks a
    // track or has no library. The list stays owned by the host and valid
    // until the next call.
    virtual const std::vector<std::string>* SelectLibraryFiles() = 0;

protected:
    ~IApplication() = default;
};
