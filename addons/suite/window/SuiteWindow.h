// The module's window and its player logic: the playlist, the transport
// commands of the host, the stream callback's run (PlaybackEngine), the
// position slider and status line, persistence across restarts, and the
// library files.
//
// Window thread only (messages from other threads are posted to it).
#pragma once

#include "core/PlaybackEngine.h"
#include "core/Playlist.h"

#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <map>
#include <mutex>
#include <random>
#include <thread>

class IQueryInterface;
class IApplication;
class IPlayer;
class ISkin;
class QLabel;
class QLineEdit;

namespace suite {

class PlaylistView;
class WaveformBar;
class MprisService;

// The module's display name.
inline constexpr const char* kModuleName = "Sonvara Suite";

// Commands of the module's menu and accelerators (outside the host's ranges).
enum SuiteCommand : unsigned {
    kCmdOpenFiles = 41001,
    kCmdOpenFolder,
    kCmdAddFromLibrary,
    kCmdLoadPlaylist,
    kCmdSavePlaylist,
    kCmdRemove,
    kCmdClear,
    kCmdPlayPause,
    kCmdSeekBack,
    kCmdSeekForward,
    kCmdReplayGainOff,
    kCmdReplayGainTrack,
    kCmdReplayGainAlbum,
};

class SuiteWindow : public QWidget {
    Q_OBJECT
public:
    SuiteWindow(QWidget* parent, IQueryInterface* query);
    ~SuiteWindow() override;

    // The bus's "open" message (any thread). True when it was one.
    bool PassMessage(const char* sender, const char* message);
    // A command of the module's menu or accelerators; true when handled.
    bool OnCommand(unsigned id);
    void ApplySkin();

    // What the player is doing, for the MPRIS service and tests.
    enum class Status { Stopped, Playing, Paused };
    Status PlaybackStatus() const;
    const Playlist& GetPlaylist() const { return m_playlist; }
    // The playing (or paused) entry's row, -1 when none.
    int CurrentRow() const;
    double PositionSeconds() const { return m_positionSeconds; }
    double CurrentLength() const;

    // Transport, also driven by MPRIS.
    void Add(const std::vector<std::string>& paths, bool playFirst);
    void PlayRow(std::size_t row, double seconds = 0.0);
    void PlayOrResume();
    void Pause();
    void StopPlayback();
    void Next();
    void Previous();
    void SeekTo(double seconds);
    void SetVolume(unsigned volume);
    ReplayGainMode ReplayGain() const;
    unsigned Volume() const;

Q_SIGNALS:
    // For MPRIS: the track, the status or the position jumped.
    void TrackChanged();
    void StatusChanged();
    void Seeked(double seconds);

protected:
    bool event(QEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void HandleTransport(unsigned id, std::intptr_t param);
    void StartRun(std::vector<QueuedTrack> queue, std::size_t at, double seconds);
    void EndRun();
    void Tick();
    void ReportSkip(const std::string& path, const std::string& reason);
    void PlaylistChanged();
    void SavePlaylistNow();
    void SavePosition();
    void Restore();
    void ReadTagsInBackground();
    void TagsArrived(std::uint64_t id, TrackInfo info);
    void LoadWaveform(const std::string& path);
    void OpenFilesDialog(bool folder);
    void LoadPlaylistDialog();
    void SavePlaylistDialog();
    void AddFromLibrary();
    void SetReplayGain(ReplayGainMode mode);
    QueuedTrack Queued(std::size_t row) const;
    std::string Setting(const char* key) const;
    void SetSetting(const char* key, const std::string& value);

    IQueryInterface* m_query;
    IApplication* m_app;
    IPlayer* m_player;
    ISkin* m_skin;
    std::string m_settingsFolder;

    Playlist m_playlist;
    PlaybackEngine m_engine;
    bool m_runActive = false;
    bool m_owner = false;
    std::uint64_t m_currentId = 0;  // entry playing (0: none)
    std::size_t m_queueIndex = 0;   // its place in the run's queue
    double m_positionSeconds = 0.0; // in the current track
    double m_lengthSeconds = 0.0;
    std::string m_lastStatus;
    unsigned m_lastPercent = ~0u;
    std::mt19937 m_random{std::random_device{}()};
    ReplayGainMode m_replayGain = ReplayGainMode::Off;
    // Where the last session stopped: played by the first Play.
    int m_resumeRow = -1;
    double m_resumeSeconds = 0.0;

    PlaylistView* m_view = nullptr;
    QLineEdit* m_find = nullptr;
    QLabel* m_nowPlaying = nullptr;
    WaveformBar* m_wave = nullptr;
    MprisService* m_mpris = nullptr;
    QTimer m_tick;
    QTimer m_saveSoon;

    // Tags are read on a worker thread; results come back queued.
    std::thread m_tagThread;
    std::atomic<bool> m_tagStop{false};
    // Waveforms: computed on a worker, kept for the last tracks.
    std::thread m_waveThread;
    std::atomic<bool> m_waveStop{false};
    std::map<std::string, std::vector<float>> m_waveCache;
    std::string m_waveShown;
};

} // namespace suite
