// sonvara: the music player and module host.
#include "platform/Paths.h"
#include "shell/DesktopHooks.h"
#include "shell/KelFrameApp.h"
#include "shell/SingleInstance.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // The subsystems' hooks; the frame hands the module host to them.
    shell::CDesktopHooks later(QCoreApplication::applicationFilePath().toStdString(), {});
    shell::CKelFrameApp app(argc, argv, later);

    // A start that only opens files while the program runs hands them over
    // and ends; registration flags always run here.
    const auto& commandLine = app.CommandLine();
    const bool registration = commandLine.HasFlag("reg") || commandLine.HasFlag("unreg") ||
                              commandLine.HasFlag("nostart");
    shell::CSingleInstance instance(
        shell::CSingleInstance::NameForSettings(platform::SettingsDirectory()));
    if (!registration && !commandLine.Parameters().empty() &&
        instance.SendToRunning(commandLine.Parameters()))
        return 0;
    if (!registration) instance.Listen([&app](const auto& files) { app.OpenFiles(files); });
    return app.Run();
}
