// sonvara: the music player and module host.
#include "modules/ShellBridge.h"
#include "shell/KelFrameApp.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // The module host's hooks; the frame hands it its host. Menus, adverts
    // and the tray keep the shell's defaults until they arrive.
    modules::CModuleHostBridge later;
    shell::CKelFrameApp app(argc, argv, later);
    return app.Run();
}
