// sonvara: the music player and module host.
#include "libs/codexa/CoderFormats.h"
#include "platform/Paths.h"
#include "shell/HostSubsystems.h"
#include "shell/KelFrameApp.h"
#include "shell/SingleInstance.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // The module host, menus, effect manager, tray and the desktop's
    // default-player hooks; the frame hands itself and its host over.
    // Registration names this program file and the coders' extensions.
    shell::CHostSubsystems later(QCoreApplication::applicationFilePath().toStdString(),
                                 []() -> std::optional<std::string> {
                                     std::string filter = codexa::ExtensionFilter();
                                     if (filter.empty()) return std::nullopt;
                                     return filter;
                                 });
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
