#include "shell/KelFrameApp.h"

#include "libs/lacquer/Lacquer.h"
#include "libs/ledgerline/Ledgerline.h"
#include "libs/trestle/TrestleMessageBox.h"
#include "libs/veneer/SkinBase.h"
#include "platform/Paths.h"
#include "shell/LanguageLibrary.h"
#include "shell/LaterSubsystems.h"
#include "shell/MainFrame.h"
#include "shell/StartingDlg.h"
#include "shell/StringTable.h"
#include "sonvara/IModuleCom.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

namespace shell {

namespace {

constexpr const char* kDefaultAutoOpenModule = "Sonvara Suite";

// Written by the signal handler, read by the window thread.
int g_signalWriteEnd = -1;

void OnTerminationSignal(int) {
    const char byte = 1;
    // Only async-signal-safe calls here; a full pipe means a close is pending.
    [[maybe_unused]] ssize_t n = ::write(g_signalWriteEnd, &byte, 1);
}

} // namespace

CKelFrameApp::CKelFrameApp(int argc, const char* const* argv, CLaterSubsystems& later)
    : m_later(later) {
    m_commandLine.ParseCommandLine(argc, argv);
    m_launch = [] { return QProcess::startDetached(QCoreApplication::applicationFilePath(), {}); };
}

CKelFrameApp::~CKelFrameApp() {
    if (m_signalPipe[0] >= 0) {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        g_signalWriteEnd = -1;
        ::close(m_signalPipe[0]);
        ::close(m_signalPipe[1]);
    }
    m_frame.reset();
    m_splash.reset();
    SetStringTranslator(nullptr);
}

std::string CKelFrameApp::LanguageXmlPath() const {
    return platform::SettingsDirectory() + "Language.xml";
}

bool CKelFrameApp::InitInstance() {
    // 1. - 3. The languages and the remembered choice.
    m_languages = ScanLanguageLibraries(platform::ProgramDirectory() + "Language");
    ChooseCurrentLanguage(m_languages, LanguageXmlPath());
    LoadTranslations();
    trestle::SetDefaultCaption(LoadString(IDS_PRODUCT_NAME));
    trestle::SetStringResolver([](std::uint32_t id) { return LoadString(id); });

    // 4. reg / unreg / nostart.
    HandleRegistrationFlags();
    if (m_commandLine.HasFlag("nostart")) {
        m_exitCode = 0;
        return false;
    }

    // 5. The splash.
    m_splash = std::make_unique<CStartingDlg>();
    m_splash->show();
    m_splash->SetProgressText(QString::fromStdString(LoadString(IDS_LOADING)));

    // 6. The skinned controls find the skin manager through its query object.
    void* query = nullptr;
    lacquer::GetSWQueryInterface(&query);
    veneer::SetSWQueryInterface(query);

    // 7. The main frame.
    m_splash->SetProgressText(QString::fromStdString(LoadString(IDS_CREATING_MAIN_FRAME)));
    m_frame = std::make_unique<CMainFrame>(m_later);
    if (!m_configPath.empty()) m_frame->Settings().SetPath(m_configPath);
    m_frame->SetLanguageCommandHandler([this](unsigned id) { OnLanguageCommand(id); });
    m_frame->SetLanguageMenuSource([this] {
        std::vector<std::pair<std::string, bool>> items;
        for (const auto& e : m_languages)
            items.emplace_back(e.Name, e.Selected);
        return items;
    });
    if (int code = m_frame->Create(); code != 0) {
        m_exitCode = code;
        CloseSplash();
        m_frame.reset();
        return false;
    }

    // 8. The frame menu and the first module.
    m_later.BuildFrameMenu();
    m_later.ActivateModule(0);

    // 9. The stored placement.
    m_splash->SetProgressText(QString::fromStdString(LoadString(IDS_CREATING_MAIN_MENU)));
    m_frame->RestorePlacement();
    m_frame->activateWindow();

    // 10.
    CloseSplash();

    // 11. - 12.
    AskDefaultPlayer();
    HandOverFiles(m_commandLine.Parameters());

    InstallTerminationHandler();

    // Idle time is when the event loop is about to wait.
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                [this] { OnIdle(m_idleCount++); });
        connect(dispatcher, &QAbstractEventDispatcher::awake, this, [this] { m_idleCount = 0; });
    }
    return true;
}

void CKelFrameApp::InstallTerminationHandler() {
    if (g_signalWriteEnd >= 0 || ::pipe2(m_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    g_signalWriteEnd = m_signalPipe[1];
    auto* notifier = new QSocketNotifier(m_signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char buffer[16];
        while (::read(m_signalPipe[0], buffer, sizeof buffer) > 0) {
        }
        // A module may refuse the first request; a second one closes over
        // its refusal, as a pending restart does: the user asked twice.
        if (!m_frame) return;
        if (++m_terminationRequests > 1) m_frame->SetRestartPending(true);
        CloseOnceNoDialogIsOpen();
    });
    std::signal(SIGINT, OnTerminationSignal);
    std::signal(SIGTERM, OnTerminationSignal);
}

void CKelFrameApp::CloseOnceNoDialogIsOpen() {
    if (!m_frame) return;
    // A modal dialog (a module's file dialog, say) runs an event loop of its
    // own, on the stack of the window that opened it and as that window's
    // child: closing the frame from inside that loop would destroy the
    // window, and the dialog with it, under the running dialog. The dialog
    // is cancelled instead, and the frame closes once its loop has returned.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->close();
        QTimer::singleShot(10, this, [this] { CloseOnceNoDialogIsOpen(); });
        return;
    }
    m_frame->close();
}

void CKelFrameApp::LoadTranslations() {
    // The chosen library stays loaded for the program's life so that its
    // translations can be looked up at any time.
    const CLanguageEntry* chosen = SelectedLanguage(m_languages);
    if (!chosen || chosen->Path.empty() || !m_languageLibrary.Load(chosen->Path)) return;
    if (auto fn = m_languageLibrary.Function<GetLanguageStringFn>(kGetLanguageString))
        SetStringTranslator(fn);
}

void CKelFrameApp::HandleRegistrationFlags() {
    switch (RegistrationFlag(m_commandLine)) {
    case RegistrationRequest::Register:
        if (m_later.IsDefaultPlayer() == false) m_later.RegisterDefaultPlayer();
        break;
    case RegistrationRequest::Unregister:
        if (m_later.IsDefaultPlayer() == true) m_later.UnregisterDefaultPlayer();
        break;
    case RegistrationRequest::None:
        break;
    }
}

std::string CKelFrameApp::HostParam(const char* key, unsigned size) const {
    std::string buffer(size, '\0');
    if (!m_frame->Settings().GetParam(kHostOwner, key, buffer.data(), size)) return {};
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

void CKelFrameApp::AskDefaultPlayer() {
    if (::strcasecmp(HostParam("CheckDefaultPlayer", 10).c_str(), "No") == 0) return;
    if (m_later.IsDefaultPlayer() != false) return; // already, or no registration yet
    if (m_later.AskDefaultPlayer() == trestle::IDYES) m_later.RegisterDefaultPlayer();
}

void CKelFrameApp::OpenFiles(const std::vector<std::string>& files) {
    if (!m_frame) return;
    if (m_frame->isMinimized()) m_frame->showNormal();
    m_frame->show();
    m_frame->raise();
    m_frame->activateWindow();
    HandOverFiles(files);
}

void CKelFrameApp::HandOverFiles(const std::vector<std::string>& files) {
    if (files.empty()) return;
    const std::string message = BuildOpenMessage(files);
    const std::string askMe = HostParam("AutoOpen_AskMe", 10);
    if (askMe.empty() || ::strcasecmp(askMe.c_str(), "Yes") == 0) {
        if (m_later.ChooseModuleForFiles() != trestle::IDOK) return;
    }
    std::string module = HostParam("AutoOpen", 260);
    if (module.empty()) module = kDefaultAutoOpenModule;
    m_later.ActivateModuleByName(module);
    const int result = m_later.SendModuleMessage(module, kHostOwner, message);
    if (result != MESSAGE_OK) ReportFilesNotHandedOver(module, result);
}

void CKelFrameApp::ReportFilesNotHandedOver(const std::string& module, int result) {
    // The files must not vanish without a word: the status line names them
    // and the module, the debug log has their full paths.
    std::string names, paths;
    for (const std::string& file : m_commandLine.Parameters()) {
        const std::size_t slash = file.find_last_of('/');
        names += (names.empty() ? "\"" : ", \"") +
                 (slash == std::string::npos ? file : file.substr(slash + 1)) + "\"";
        paths += (paths.empty() ? "\"" : ", \"") + file + "\"";
    }
    // Short enough for the status line of the smallest window.
    const std::string why = result == MESSAGE_RECIPIER_NOT_FOUND ? "no module \"" + module + "\""
                                                                 : "refused by \"" + module + "\"";
    if (m_frame) m_frame->SetStatusText(("Not opened: " + names + " (" + why + ")").c_str());
    enLedgerline()->WriteLogMessage("MainFrame", "Files not handed to module %s (result %d): %s",
                                    module.c_str(), result, paths.c_str());
}

void CKelFrameApp::CloseSplash() {
    if (!m_splash) return;
    m_splash->hide();
    m_splash.reset(); // clears CStartingDlg::Current()
}

int CKelFrameApp::Run() {
    if (!InitInstance()) return m_exitCode;
    return ExitInstance(QApplication::exec());
}

int CKelFrameApp::ExitInstance(int loopResult) {
    m_frame.reset();
    if (m_restart) m_launch();
    return loopResult;
}

bool CKelFrameApp::OnIdle(int /*count*/) {
    m_later.ModuleIdle();
    return false;
}

void CKelFrameApp::OnLanguageCommand(unsigned id) {
    const std::size_t index = id - ID_LANGUAGE_FIRST;
    if (id < ID_LANGUAGE_FIRST || index >= m_languages.size()) return;
    const CLanguageEntry& entry = m_languages[index];
    WriteLanguageXml(m_languages, entry.Name, LanguageXmlPath());
    if (entry.Selected) return;
    const std::string question = LoadString(IDS_LANGUAGE_RESTART);
    if (trestle::AfxSCMessageBox(question.c_str(), trestle::MB_YESNO | trestle::MB_ICONQUESTION) !=
        trestle::IDYES)
        return;
    m_restart = true;
    if (m_frame) {
        m_frame->SetRestartPending(true);
        QMetaObject::invokeMethod(m_frame.get(), &QWidget::close, Qt::QueuedConnection);
    }
}

bool CKelFrameApp::IsLanguageChecked(unsigned id) const {
    const std::size_t index = id - ID_LANGUAGE_FIRST;
    return id >= ID_LANGUAGE_FIRST && index < m_languages.size() && m_languages[index].Selected;
}

} // namespace shell
