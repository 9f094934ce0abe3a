#include "libs/veneer/ModalDialog.h"

#include <QDialog>
#include <QTimer>

namespace veneer {

namespace {
ModalDialogHook& Hook() {
    static ModalDialogHook hook;
    return hook;
}
} // namespace

void SetModalDialogHook(ModalDialogHook hook) {
    Hook() = std::move(hook);
}

int DoModal(QDialog& dialog) {
    if (Hook()) {
        ModalDialogHook hook = Hook();
        QTimer::singleShot(0, &dialog, [&dialog, hook] {
            hook(dialog);
            if (dialog.isVisible()) dialog.done(0);
        });
    }
    return dialog.exec();
}

} // namespace veneer
