#include "ModulesTestSupport.h"

#include "platform/audio/TimedCaptureDevice.h"
#include "platform/audio/TimedOutputDevice.h"
#include "support/TransportStress.h"

#include <filesystem>
#include <mutex>

namespace {
std::mutex g_journalLock;
}

std::vector<std::string>& Journal() {
    static std::vector<std::string> journal;
    return journal;
}

void ClearJournal() {
    std::lock_guard<std::mutex> guard(g_journalLock);
    Journal().clear();
}

// Looked up by the probe modules in the test program.
extern "C" __attribute__((visibility("default"))) void SvTestRecord(const char* line) {
    std::lock_guard<std::mutex> guard(g_journalLock);
    Journal().push_back(line);
}

std::intptr_t RecordingSite::SendWindowMessage(QWidget* window, unsigned message,
                                               std::uintptr_t wParam, std::intptr_t) {
    messages.push_back((nameOf ? nameOf(window) : std::string("?")) + " " +
                       std::to_string(message) + " " + std::to_string(wParam));
    return 0;
}

void RecordingSite::ShowModuleWindow(QWidget* window, bool show) {
    shown[window] = show;
}

bool RecordingSite::GetParam(const char* owner, const char* key, char* buffer, unsigned size) {
    return settings.GetParam(owner, key, buffer, size);
}

bool RecordingSite::SetParam(const char* owner, const char* key, const char* value) {
    return settings.SetParam(owner, key, value);
}

bool RecordingSite::DeleteParam(const char* owner, const char* key) {
    return settings.DeleteParam(owner, key);
}

std::optional<int> RecordingSite::FirstSliderPosition(modules::EPlayerSlider kind) {
    auto it = sliders.find(static_cast<int>(kind));
    if (it == sliders.end()) return std::nullopt;
    return it->second;
}

void RecordingSite::SetSliderPositions(modules::EPlayerSlider kind, int position, bool) {
    sliders[static_cast<int>(kind)] = position;
}

ProbeFolder::ProbeFolder(const std::vector<std::string>& probes) {
    for (std::size_t i = 0; i < probes.size(); ++i) {
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "%02zu_", i);
        const std::string link = m_dir.file(prefix + probes[i] + ".so");
        std::filesystem::create_symlink(std::string(PROBE_DIR) + "/" + probes[i] + ".so", link);
        m_links.push_back(link);
    }
}

std::string ProbeFolder::LinkPath(std::size_t i) const {
    return m_links.at(i);
}

HostFixture::HostFixture(bool realTimeDevices) {
    ClearJournal();
    site.settings.SetPath(settingsDir.file("config.ini"));
    if (realTimeDevices) {
        player = testsupport::MakeNullPlayer();
        micro = testsupport::MakeNullMicro();
    } else {
        player = std::make_unique<CExtPlayerDX>([](std::string*) {
            return std::unique_ptr<platform::audio::OutputDevice>(
                std::make_unique<platform::audio::VirtualOutputDevice>());
        });
        micro = std::make_unique<CExtMicro>([](std::string*) {
            return std::unique_ptr<platform::audio::CaptureDevice>(
                std::make_unique<platform::audio::VirtualCaptureDevice>());
        });
    }
    host = std::make_unique<modules::CModuleHost>(site, *player, micro.get());
    host->SetLogSink([this](const std::string& line) { log.push_back(line); });
    site.settings.SetModuleNameTest(
        [this](const char* name) { return host->IsLoadedModule(name); });
    site.nameOf = [this](QWidget* w) {
        for (std::size_t i = 0; i < host->Count(); ++i)
            if (host->Entry(i).Window == w) return host->Entry(i).Name;
        return std::string("?");
    };
}

HostFixture::~HostFixture() {
    host->ActivateModule(-1);
    host->ReleaseModules();
}

void HostFixture::Load(const std::vector<std::string>& probes) {
    folder = std::make_unique<ProbeFolder>(probes);
    host->LoadModules(folder->Path());
}
