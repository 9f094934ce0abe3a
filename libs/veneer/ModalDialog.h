// Running a dialog modally so that a test can always answer it: while a hook
// is installed, DoModal still runs the dialog's own modal loop, but first
// hands the shown dialog to the hook, which acts on it as a user would
// (fills fields, double-clicks, grabs a picture). A dialog the hook left
// open is then closed with result 0, so no run ever waits on a window.
//
// Window thread only.
#pragma once

#include <functional>

class QDialog;

namespace veneer {

using ModalDialogHook = std::function<void(QDialog& dialog)>;
// Null removes the hook.
void SetModalDialogHook(ModalDialogHook hook);

// Shows the dialog modally; its result code.
int DoModal(QDialog& dialog);

} // namespace veneer
