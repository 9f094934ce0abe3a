// Shared pieces of the module host tests: the journal the probe modules
// write to, a site that records what the host asks of the frame, and a
// Modules folder made of links to chosen probe libraries.
#pragma once

#include "audio/ExtMicro.h"
#include "audio/ExtPlayerDX.h"
#include "modules/ModuleHost.h"
#include "shell/Settings.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testsupport::TempDir;

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// Every line the probe modules recorded since the last Clear.
std::vector<std::string>& Journal();
void ClearJournal();

class RecordingSite : public modules::IModuleHostSite {
public:
    std::function<void(QWidget*)> onDestroy;
    std::intptr_t SendWindowMessage(QWidget* window, unsigned message, std::uintptr_t wParam,
                                    std::intptr_t lParam) override;
    void ShowModuleWindow(QWidget* window, bool show) override;
    void DestroyModuleWindow(QWidget* window) override {
        destroyed.push_back(window);
        if (onDestroy) onDestroy(window);
    }
    void SetFrameTitle(const std::string& t) override { title = t; }
    void SetModuleButtonChecked(QWidget* button, bool on) override { checked[button] = on; }
    void RebuildFrameMenu() override { calls.push_back("menu"); }
    void SetFrameAccelerators(const SvAcceleratorList& merged) override { accelerators = merged; }
    void RefreshControlStates() override { calls.push_back("controls"); }
    bool GetParam(const char* owner, const char* key, char* buffer, unsigned size) override;
    bool SetParam(const char* owner, const char* key, const char* value) override;
    bool DeleteParam(const char* owner, const char* key) override;
    std::string CurrentSkinName() override { return skinName; }
    void SetStatusText(const char* text) override { status = text; }
    void ShowStatusMessage(const char* text, unsigned ms) override {
        statusMessage = text + std::string("/") + std::to_string(ms);
    }
    bool OpenUrl(const std::string& url) override {
        opened = url;
        return true;
    }
    std::optional<int> FirstSliderPosition(modules::EPlayerSlider kind) override;
    void SetSliderPositions(modules::EPlayerSlider kind, int position, bool skip) override;
    void SetControlEnabled(unsigned id, bool enabled) override { enabledState[id] = enabled; }
    void SetPlayPauseVisibility(bool playing) override { pauseShown = playing; }
    void StartPositionTimer() override { timerRunning = true; }
    void StopPositionTimer() override { timerRunning = false; }

    // Which module a window message went to: "<name> <message> <wParam>".
    std::function<std::string(QWidget*)> nameOf;
    std::vector<std::string> messages;
    std::vector<std::string> calls;
    std::vector<QWidget*> destroyed;
    std::map<QWidget*, bool> shown;
    std::map<QWidget*, bool> checked; // module buttons: pressed or released
    std::string title;
    std::string status;
    std::string statusMessage;
    std::string opened;
    std::string skinName;
    shell::CSettings settings; // the frame's own settings code
    SvAcceleratorList accelerators;
    std::map<int, int> sliders; // EPlayerSlider -> position (absent: no slider)
    std::map<unsigned, bool> enabledState;
    bool pauseShown = false;
    bool timerRunning = false;
};

// A Modules folder with links "NN_<probe>.so" to the probe libraries, in
// the order given (the host loads in file-name order).
class ProbeFolder {
public:
    explicit ProbeFolder(const std::vector<std::string>& probes);
    const std::string& Path() const { return m_dir.path(); }
    std::string LinkPath(std::size_t i) const;

private:
    TempDir m_dir;
    std::vector<std::string> m_links;
};

// A host over a player and a recorder on the manual-clock test devices (or
// the real-time null devices), its site, and the log lines the loader wrote.
struct HostFixture {
    explicit HostFixture(bool realTimeDevices = false);
    ~HostFixture();
    void Load(const std::vector<std::string>& probes);

    RecordingSite site;
    std::unique_ptr<CExtPlayerDX> player;
    std::unique_ptr<CExtMicro> micro;
    std::unique_ptr<modules::CModuleHost> host;
    std::unique_ptr<ProbeFolder> folder;
    std::vector<std::string> log;
    TempDir settingsDir;
};
