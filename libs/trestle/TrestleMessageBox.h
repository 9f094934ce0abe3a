// Trestle's message and question boxes (Qt). The host asks its questions and
// reports its fatal errors through AfxSCMessageBox; modules reach
// ShowMessageBox through IApplication::ShowMessage.
//
// Every box can be answered without a window, so no test and no unattended
// run ever waits on one: a hook installed with SetMessageBoxHook answers
// instead (tests), and so does the environment variable
// SONVARA_MESSAGE_BOX_ANSWER (a result number, e.g. 6 for Yes; the text goes
// to standard error instead of a window).
//
// Window-thread only, like every other widget.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace trestle {

// Buttons (low four bits of the type) and icons, with the numbers callers
// pass through the module interface.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_YESNOCANCEL = 0x3;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONWARNING = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;

// Results.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

struct MessageBoxRequest {
    std::string text;
    std::string caption;
    unsigned type = MB_OK;
};

// Answers every box instead of showing it while set; null removes it.
using MessageBoxHook = std::function<int(const MessageBoxRequest&)>;
void SetMessageBoxHook(MessageBoxHook hook);

// The caption of boxes that do not name one (the host sets its product name).
void SetDefaultCaption(const std::string& caption);

// Turns the string ids of ShowMessageBox into texts (the host installs its
// string table).
using StringResolver = std::function<std::string(std::uint32_t id)>;
void SetStringResolver(StringResolver resolver);

// Shows text with the buttons and icon of type, modal to the active window,
// and returns the button pressed (IDOK ... IDNO). Closing the box without a
// button counts as Cancel where there is one, else No, else OK. helpId is
// accepted for callers that pass one; there is no context help.
int AfxSCMessageBox(const char* text, unsigned type = MB_OK, unsigned helpId = 0);

// The module interface's box, five words: the text, the caption (0: the
// default caption), the type as for AfxSCMessageBox, and two reserved words.
// Text and caption are each either a string id of the host (a value below
// 0x10000, see IsStringId) or a pointer to the caller's own NUL-terminated
// UTF-8 text. A text that is empty shows nothing and returns 0.
int ShowMessageBox(std::intptr_t text, std::intptr_t caption, std::intptr_t type,
                   std::intptr_t reserved1, std::intptr_t reserved2);

// Whether a word of ShowMessageBox is a string id rather than a text.
inline bool IsStringId(std::intptr_t word) {
    return word > 0 && word < 0x10000;
}

} // namespace trestle
