// sonvara: the music player and module host.
#include "shell/KelFrameApp.h"
#include "shell/LaterSubsystems.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    shell::CLaterSubsystems later; // filled as the module host, menus and player arrive
    shell::CKelFrameApp app(argc, argv, later);
    return app.Run();
}
