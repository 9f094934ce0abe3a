// The module's window: the effect chooser and the effect's own settings
// panel, the live controls (live morphing, monitor, record, level meter),
// and the offline controls (open, progress, cancel, play, save).
//
// It owns the chosen effect object (made by the host's effect manager), the
// live path and the offline job, and answers the host's ownership messages
// for the microphone and the player. Window thread only.
#pragma once

#include "engine/LiveMorph.h"
#include "engine/OfflineMorph.h"
#include "engine/RecordingWriter.h"

#include "sonvara/EffectManager.h"
#include "sonvara/IPlayer.h"

#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

class IQueryInterface;
class IApplication;
class IPlayer;
class IMicro;
class ISkin;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace mardrel {

class LevelMeter;

inline constexpr const char* kModuleName = "Mardrel";

// Commands of the module's menu and accelerators (outside the host's ranges).
enum MardrelCommand : unsigned {
    kCmdOpenRecording = 42001,
    kCmdSaveMorphed,
    kCmdLive,
    kCmdMonitor,
    kCmdLoadPreset,
    kCmdSavePreset,
    kCmdPlayMorphed,
    kCmdCancelOffline,
    // The "Single Effects" list: first id + the effect's place in the list.
    kCmdEffectFirst = 42100,
    kCmdEffectLast = 42199,
};

class MardrelWindow : public QWidget {
public:
    MardrelWindow(QWidget* parent, IQueryInterface* query);
    ~MardrelWindow() override;

    // A command of the menu or an accelerator; true when handled.
    bool OnCommand(unsigned id);
    // The bus's "open" message: the file is morphed offline.
    bool PassMessage(const char* sender, const char* message);
    void ApplySkin();

    // The voice-morphing effects the manager offers, in its order.
    const std::vector<SvEffectDescription>& Effects() const { return m_effects; }
    int CurrentEffect() const { return m_current; }
    bool ChooseEffect(int index);

    // Live morphing.
    bool StartLive();
    void StopLive(const std::string& status = {});
    bool IsLive() const { return m_live.IsOpen(); }
    void SetMonitor(bool on);
    bool Monitor() const { return m_monitor; }
    bool StartRecording();
    void StopRecording();
    bool IsRecording() const { return m_writer.IsRecording(); }
    const std::string& LastRecording() const { return m_lastRecording; }
    const LiveMorph& Live() const { return m_live; }

    // Offline: the file is read and morphed on a worker; Finished when done.
    bool OpenRecording(const std::string& path);
    bool SaveMorphed(const std::string& path);
    bool PlayMorphed();
    OfflineMorph& Offline() { return m_offline; }

    // Presets through the effect's own calls: an .xml file holds one preset
    // (through the program's XML preset function), anything else is an INI
    // file whose section is the effect's name.
    bool SavePreset(const std::string& path);
    bool LoadPreset(const std::string& path);

    // The folder recordings go to (ends with '/').
    static std::string RecordingFolder();

protected:
    bool event(QEvent* e) override;

private:
    // Live morphing ends; keepRecording leaves a recording's file open for
    // the run that follows (another effect, a preset loaded).
    void EndLive(const std::string& status, bool keepRecording);
    // Stops live morphing for a change of effect or settings (false when it
    // was not running) and starts it again; a recording goes on into the
    // same file.
    bool SuspendLive();
    void ResumeLive();
    void BuildWindow();
    void Tick();
    void UpdateControls();
    void ShowPanel();
    void ClosePanel();
    void Status(const std::string& text);
    void Error(const std::string& text);
    std::string Setting(const char* key) const;
    void SetSetting(const char* key, const std::string& value);
    std::string EffectSettingsFile() const;
    std::string EffectSection() const;
    void StoreEffectSettings();
    bool TakePlayer(PlayerStreamCallback callback, void* user, std::uint16_t channels,
                    std::uint32_t rate, std::uint32_t segmentFrames, std::uint32_t segments);
    void GivePlayerBack();
    void OfflineFinished();
    void RefreshMenu();

    IQueryInterface* m_query;
    IApplication* m_app;
    IPlayer* m_player;
    IMicro* m_micro;
    ISkin* m_skin;
    IEffectManager* m_manager;
    std::string m_settingsFolder;

    std::vector<SvEffectDescription> m_effects;
    int m_current = -1;
    std::unique_ptr<CSimpleEffect> m_effect;
    QWidget* m_panel = nullptr;

    LiveMorph m_live;
    RecordingWriter m_writer;
    OfflineMorph m_offline;
    bool m_monitor = true;
    bool m_microOwned = false;
    // What the player is used for while this module has it.
    enum class PlayerUse { None, Monitor, Morphed } m_playerUse = PlayerUse::None;
    std::uint32_t m_savedBufferCount = 0, m_savedBufferSize = 0;
    std::uint32_t m_savedMicroCount = 0, m_savedMicroSize = 0;
    WAVEFORMATEX m_savedMicroFormat{};
    std::string m_lastRecording;
    std::uint64_t m_lastLate = 0;

    QComboBox* m_effectBox = nullptr;
    QWidget* m_panelHost = nullptr;
    QVBoxLayout* m_panelLayout = nullptr;
    QLabel* m_noPanel = nullptr;
    QPushButton* m_loadPreset = nullptr;
    QPushButton* m_savePreset = nullptr;
    QGroupBox* m_liveBox = nullptr;
    QPushButton* m_liveButton = nullptr;
    QCheckBox* m_monitorBox = nullptr;
    QPushButton* m_recordButton = nullptr;
    LevelMeter* m_meter = nullptr;
    QLabel* m_liveInfo = nullptr;
    QGroupBox* m_fileBox = nullptr;
    QPushButton* m_openButton = nullptr;
    QLabel* m_fileLabel = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_playButton = nullptr;
    QPushButton* m_saveButton = nullptr;
    QTimer m_tick;
};

} // namespace mardrel
