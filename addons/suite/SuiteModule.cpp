// "Sonvara Suite": the music player module. The Kel... entry points the host
// calls; everything else lives in window/ (the window and its player logic) and
// core/ (decoding, playlists, library files).
#include "window/SuiteWindow.h"

#include "sonvara/Accelerators.h"
#include "sonvara/IPlayer.h"
#include "sonvara/IQueryInterface.h"
#include "sonvara/MenuTree.h"
#include "sonvara/ModuleInfo.h"

#include <QPointer>

#define SUITE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

QPointer<suite::SuiteWindow> g_window;
SvMenuTree g_menu;
SvAcceleratorList g_accelerators;

void BuildMenu() {
    using namespace suite;
    using suite::ReplayGainMode;
    g_menu = {};
    SvMenuTree& file = g_menu.AddPopup("&File");
    file.AddCommand("&Open Files...", kCmdOpenFiles);
    file.AddCommand("Open &Folder...", kCmdOpenFolder);
    file.AddCommand("Add from &Library...", kCmdAddFromLibrary);
    file.AddSeparator();
    file.AddCommand("&Load Playlist...", kCmdLoadPlaylist);
    file.AddCommand("&Save Playlist As...", kCmdSavePlaylist);
    SvMenuTree& edit = g_menu.AddPopup("&Edit");
    edit.AddCommand("&Remove Selected", kCmdRemove);
    edit.AddCommand("&Clear Playlist", kCmdClear);
    g_menu.AddPopup("&View");
    SvMenuTree& play = g_menu.AddPopup("&Play");
    const ReplayGainMode mode = g_window ? g_window->ReplayGain() : ReplayGainMode::Off;
    const auto radio = [mode](ReplayGainMode m) {
        return SvMenuItem::RadioCheck | (m == mode ? SvMenuItem::Checked : 0u);
    };
    play.AddCommand("ReplayGain &Off", kCmdReplayGainOff, radio(ReplayGainMode::Off));
    play.AddCommand("ReplayGain by &Track", kCmdReplayGainTrack, radio(ReplayGainMode::Track));
    play.AddCommand("ReplayGain by &Album", kCmdReplayGainAlbum, radio(ReplayGainMode::Album));
}

} // namespace

SUITE_EXPORT int KelGetModuleInfo(QWidget*, _MODULE_INFO_* info) {
    if (!info || info->Size != sizeof(_MODULE_INFO_)) return 0;
    info->Name = suite::kModuleName;
    return 1;
}

SUITE_EXPORT QWidget* KelInitialize(QWidget* clientArea, char*, unsigned, IQueryInterface* query) {
    if (!query || query->GetVersion() >> 24 != 4) return nullptr;
    try {
        g_window = new suite::SuiteWindow(clientArea, query);
    } catch (...) {
        return nullptr;
    }
    g_window->hide();
    query->GetPlayer()->EnablePlayerControls(suite::kModuleName, 1);
    g_accelerators.entries = {{"Space", suite::kCmdPlayPause},
                              {"Left", suite::kCmdSeekBack},
                              {"Right", suite::kCmdSeekForward},
                              {"Ctrl+O", suite::kCmdOpenFiles}};
    return g_window;
}

SUITE_EXPORT SvMenuTree* KelGetMenu(QWidget*) {
    BuildMenu();
    return &g_menu;
}

SUITE_EXPORT SvAcceleratorList* KelGetAccelTable(QWidget*) {
    return &g_accelerators;
}

SUITE_EXPORT int KelChangeState(QWidget*, int) {
    return 1;
}

SUITE_EXPORT int KelLoadSkin(QWidget*, int) {
    if (g_window) g_window->ApplySkin();
    return 1;
}

SUITE_EXPORT int KelPassMessage(QWidget*, const char* sender, const char* message) {
    try {
        return g_window && g_window->PassMessage(sender, message) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

SUITE_EXPORT int KelOnCmdMsg(QWidget*, unsigned commandId, int, void*, void*) {
    try {
        return g_window && g_window->OnCommand(commandId) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}
