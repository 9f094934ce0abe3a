// sonvara: the music player and module host.
#include "shell/HostSubsystems.h"
#include "shell/KelFrameApp.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // The module host, menus, effect manager and tray; the frame hands
    // itself and its host over. Adverts keep the shell's defaults until they
    // arrive.
    shell::CHostSubsystems later;
    shell::CKelFrameApp app(argc, argv, later);
    return app.Run();
}
