// CKelFrameApp: the application object. It runs the start-up sequence (the
// language libraries, the command line, the splash, the main frame, the
// stored placement, the default-player question and the hand-over of files
// named on the command line), the idle hook, and at the end restarts the
// program when a language change asked for it.
//
// Needs a QApplication to exist. Window thread only.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/DynamicLibrary.h"
#include "shell/CommandLine.h"
#include "shell/Languages.h"

namespace shell {

class CLaterSubsystems;
class CMainFrame;
class CStartingDlg;

class CKelFrameApp : public QObject {
    Q_OBJECT
public:
    // argv without the options Qt took for itself (as QApplication left it).
    CKelFrameApp(int argc, const char* const* argv, CLaterSubsystems& later);
    ~CKelFrameApp() override;

    // The start-up sequence. False ends the program at once with ExitCode().
    bool InitInstance();
    // After the event loop: restarts the program when RestartFlag is set.
    // Returns the exit code of the loop.
    int ExitInstance(int loopResult);
    // InitInstance, the event loop and ExitInstance: the whole program.
    int Run();

    // Idle time: the active module's idle entry point. The count is the
    // number of idle calls since the last message; false means no more idle
    // work is wanted until the next one.
    bool OnIdle(int count);

    // Files handed over later, by a second start of the program (see
    // SingleInstance.h): they go to a module as the command line's do, and
    // the frame comes to the front.
    void OpenFiles(const std::vector<std::string>& files);

    // Language commands (600 to 630) and their check marks.
    void OnLanguageCommand(unsigned id);
    bool IsLanguageChecked(unsigned id) const;

    int ExitCode() const { return m_exitCode; }
    bool RestartFlag() const { return m_restart; }
    const std::vector<CLanguageEntry>& Languages() const { return m_languages; }
    const CKelCommandLineInfo& CommandLine() const { return m_commandLine; }
    CMainFrame* Frame() const { return m_frame.get(); }
    std::string LanguageXmlPath() const;

    // How the program starts itself again; the default starts the executable
    // detached, without arguments. Tests replace it.
    void SetRestartLauncher(std::function<bool()> launcher) { m_launch = std::move(launcher); }
    // Where the frame is told to keep its settings (tests); empty: the
    // settings folder's config.ini.
    void SetConfigPath(std::string path) { m_configPath = std::move(path); }

private:
    // Ctrl+C or a termination request closes the frame the normal way, so
    // the settings are saved as on any other close.
    void InstallTerminationHandler();
    // Closes the frame, first cancelling any modal dialog (and waiting for
    // its event loop to return).
    void CloseOnceNoDialogIsOpen();
    void LoadTranslations();
    void HandleRegistrationFlags();
    void AskDefaultPlayer();
    void HandOverFiles(const std::vector<std::string>& files);
    // Tells the user in the status line and the debug log that no module took
    // the command line's files.
    void ReportFilesNotHandedOver(const std::string& module, int result);
    void CloseSplash();
    std::string HostParam(const char* key, unsigned size) const;

    CLaterSubsystems& m_later;
    CKelCommandLineInfo m_commandLine;
    std::vector<CLanguageEntry> m_languages;
    platform::DynamicLibrary m_languageLibrary; // the chosen one, for translated texts
    std::unique_ptr<CStartingDlg> m_splash;
    std::unique_ptr<CMainFrame> m_frame;
    std::function<bool()> m_launch;
    std::string m_configPath;
    bool m_restart = false;
    int m_exitCode = 0;
    int m_idleCount = 0;
    int m_signalPipe[2] = {-1, -1};
    int m_terminationRequests = 0;
};

} // namespace shell
