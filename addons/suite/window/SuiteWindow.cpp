#include "window/SuiteWindow.h"

#include "core/LibraryFiles.h"
#include "core/MediaPaths.h"
#include "core/PlaylistFiles.h"
#include "core/TagReader.h"
#include "core/TrackDecoder.h"
#include "core/Waveform.h"
#include "window/MprisService.h"
#include "window/PlaylistView.h"
#include "window/SkinColors.h"
#include "window/WaveformBar.h"

#include "sonvara/IApplication.h"
#include "sonvara/IPlayer.h"
#include "sonvara/IQueryInterface.h"
#include "sonvara/ISkin.h"
#include "sonvara/MessageEvent.h"
#include "sonvara/Messages.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QThread>
#include <QVBoxLayout>
#include <QtDebug>
#include <algorithm>
#include <cstdlib>

namespace suite {

namespace {

constexpr const char* kSessionPlaylist = "SonvaraSuite.m3u8";
constexpr const char* kLibraryPlaylist = "Now Playing";
constexpr double kSeekStepSeconds = 10.0;
constexpr std::size_t kWaveColumns = 800;

std::string FileName(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

// Speaker masks by channel count for the player's format record.
std::uint32_t ChannelMask(unsigned channels) {
    static const std::uint32_t masks[] = {0, 0x4, 0x3, 0x7, 0x33, 0x37, 0x3F, 0x13F, 0x63F};
    return channels <= 8 ? masks[channels] : 0;
}

} // namespace

SuiteWindow::SuiteWindow(QWidget* parent, IQueryInterface* query)
    : QWidget(parent), m_query(query), m_app(query->GetApplication()), m_player(query->GetPlayer()),
      m_skin(query->GetSkin()) {
    setObjectName(QStringLiteral("SonvaraSuite"));
    setAcceptDrops(true);
    m_settingsFolder = SettingsFolder(m_app->GetAppPath() ? m_app->GetAppPath() : "");

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(6);
    m_nowPlaying = new QLabel(QStringLiteral("Nothing playing"), this);
    m_nowPlaying->setObjectName(QStringLiteral("SuiteNowPlaying"));
    QFont big = m_nowPlaying->font();
    big.setPointSizeF(big.pointSizeF() * 1.25);
    big.setBold(true);
    m_nowPlaying->setFont(big);
    m_wave = new WaveformBar(this);
    m_find = new QLineEdit(this);
    m_find->setObjectName(QStringLiteral("SuiteFind"));
    m_find->setPlaceholderText(QStringLiteral("Find in playlist"));
    m_find->setClearButtonEnabled(true);
    m_view = new PlaylistView(this);
    layout->addWidget(m_nowPlaying);
    layout->addWidget(m_wave);
    layout->addWidget(m_find);
    layout->addWidget(m_view, 1);

    connect(m_find, &QLineEdit::textChanged, m_view, &PlaylistView::Filter);
    // The list has the keyboard first (arrows, Enter, Delete, and letters
    // that start a search); a find field holding the focus would also blink
    // its cursor, a repaint twice a second for as long as music plays.
    setFocusProxy(m_view);
    m_view->setFocus();
    connect(m_view, &PlaylistView::FindTyped, this, [this](const QString& text) {
        m_find->setFocus();
        m_find->insert(text);
    });
    connect(m_find, &QLineEdit::returnPressed, m_view, [this] { m_view->setFocus(); });
    connect(m_view, &PlaylistView::PlayRequested, this, [this](std::size_t row) { PlayRow(row); });
    connect(m_view, &PlaylistView::RemoveRequested, this, [this](std::vector<std::size_t> rows) {
        m_playlist.Remove(std::move(rows));
        PlaylistChanged();
    });
    connect(m_view, &PlaylistView::MoveRequested, this,
            [this](std::vector<std::size_t> rows, std::size_t to) {
                const std::size_t first = m_playlist.Move(rows, to);
                PlaylistChanged();
                m_view->clearSelection();
                for (std::size_t i = 0; i < rows.size(); ++i)
                    if (auto* item = m_view->topLevelItem(static_cast<int>(first + i)))
                        item->setSelected(true);
            });
    connect(m_view, &PlaylistView::FilesDropped, this, [this](const QStringList& paths) {
        std::vector<std::string> list;
        for (const QString& p : paths)
            list.push_back(p.toStdString());
        Add(ExpandToFiles(list), false);
    });
    connect(m_wave, &WaveformBar::SeekRequested, this, [this](double fraction) {
        if (m_runActive) SeekTo(fraction * CurrentLength());
    });
    m_tick.setInterval(100);
    connect(&m_tick, &QTimer::timeout, this, &SuiteWindow::Tick);
    m_saveSoon.setSingleShot(true);
    m_saveSoon.setInterval(500);
    connect(&m_saveSoon, &QTimer::timeout, this, &SuiteWindow::SavePlaylistNow);

    Restore();
    ApplySkin();
    m_mpris = new MprisService(this);
}

SuiteWindow::~SuiteWindow() {
    if (m_saveSoon.isActive()) SavePlaylistNow();
    SavePosition();
    // The player must not call into the engine once it is gone.
    if (m_engine.Attached()) {
        if (m_player->GetState() <= 1) m_player->Stop();
        m_player->SetStreamCallback(nullptr, nullptr);
    }
    m_engine.Stop();
    m_tagStop = true;
    if (m_tagThread.joinable()) m_tagThread.join();
    m_waveStop = true;
    if (m_waveThread.joinable()) m_waveThread.join();
}

std::string SuiteWindow::Setting(const char* key) const {
    char buffer[1024] = {};
    if (!m_app->GetParam(kModuleName, key, buffer, sizeof buffer)) return {};
    return buffer;
}

void SuiteWindow::SetSetting(const char* key, const std::string& value) {
    m_app->SetParam(kModuleName, key, value.c_str());
}

// ---- messages and commands ----

bool SuiteWindow::event(QEvent* e) {
    if (e->type() != sonvara::CWindowMessageEvent::kType) return QWidget::event(e);
    auto* message = static_cast<sonvara::CWindowMessageEvent*>(e);
    switch (message->Message()) {
    case sonvara::WM_PLAYER_ACQUIRED:
        m_owner = true;
        break;
    case sonvara::WM_PLAYER_LOST:
        m_owner = false;
        if (m_runActive) EndRun();
        break;
    case sonvara::WM_COMMAND:
        HandleTransport(static_cast<unsigned>(message->WParam()), message->LParam());
        break;
    case sonvara::WM_SKIN_CHANGED:
        ApplySkin();
        break;
    default:
        break;
    }
    message->SetResult(1);
    return true;
}

void SuiteWindow::HandleTransport(unsigned id, std::intptr_t param) {
    switch (id) {
    case sonvara::ID_PLAYER_PLAY:
        PlayOrResume();
        break;
    case sonvara::ID_PLAYER_PAUSE:
        Pause();
        break;
    case sonvara::ID_PLAYER_STOP:
        StopPlayback();
        break;
    case sonvara::ID_PLAYER_GOTONEXT:
        Next();
        break;
    case sonvara::ID_PLAYER_GOTOPREV:
        Previous();
        break;
    case sonvara::ID_PLAYER_BACKWARD:
        SeekTo(m_positionSeconds - kSeekStepSeconds);
        break;
    case sonvara::ID_PLAYER_FORWARD:
        SeekTo(m_positionSeconds + kSeekStepSeconds);
        break;
    case sonvara::ID_PLAYER_SEEK:
        // The position slider runs 0..100.
        SeekTo(CurrentLength() * static_cast<double>(std::clamp<std::intptr_t>(param, 0, 100)) /
               100.0);
        break;
    default:
        break;
    }
}

bool SuiteWindow::OnCommand(unsigned id) {
    switch (id) {
    case kCmdOpenFiles:
        OpenFilesDialog(false);
        return true;
    case kCmdOpenFolder:
        OpenFilesDialog(true);
        return true;
    case kCmdAddFromLibrary:
        AddFromLibrary();
        return true;
    case kCmdLoadPlaylist:
        LoadPlaylistDialog();
        return true;
    case kCmdSavePlaylist:
        SavePlaylistDialog();
        return true;
    case kCmdRemove:
        m_playlist.Remove(m_view->SelectedRows());
        PlaylistChanged();
        return true;
    case kCmdClear:
        m_playlist.Clear();
        PlaylistChanged();
        return true;
    case kCmdPlayPause:
        if (PlaybackStatus() == Status::Playing)
            Pause();
        else
            PlayOrResume();
        return true;
    case kCmdSeekBack:
        SeekTo(m_positionSeconds - kSeekStepSeconds);
        return true;
    case kCmdSeekForward:
        SeekTo(m_positionSeconds + kSeekStepSeconds);
        return true;
    case kCmdReplayGainOff:
        SetReplayGain(ReplayGainMode::Off);
        return true;
    case kCmdReplayGainTrack:
        SetReplayGain(ReplayGainMode::Track);
        return true;
    case kCmdReplayGainAlbum:
        SetReplayGain(ReplayGainMode::Album);
        return true;
    default:
        return false;
    }
}

bool SuiteWindow::PassMessage(const char*, const char* message) {
    if (!message) return false;
    std::vector<std::string> paths = ParseOpenMessage(message);
    if (paths.empty()) return false;
    auto open = [this, paths] {
        std::vector<std::string> files = ExpandToFiles(paths);
        for (const std::string& p : paths)
            if (std::find(files.begin(), files.end(), p) == files.end() &&
                !QFileInfo::exists(QString::fromStdString(p)))
                ReportSkip(p, "no such file");
        // A file opened again from the desktop plays where it is listed
        // rather than being listed a second time.
        std::vector<std::string> fresh;
        for (const std::string& f : files)
            if (m_playlist.RowOfPath(f) < 0 &&
                std::find(fresh.begin(), fresh.end(), f) == fresh.end())
                fresh.push_back(f);
        if (!fresh.empty()) {
            m_playlist.Add(fresh);
            PlaylistChanged();
        }
        if (!files.empty())
            if (const int row = m_playlist.RowOfPath(files.front()); row >= 0)
                PlayRow(static_cast<std::size_t>(row));
    };
    if (QThread::currentThread() == thread())
        open();
    else
        QMetaObject::invokeMethod(this, open, Qt::QueuedConnection);
    return true;
}

void SuiteWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void SuiteWindow::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    event->acceptProposedAction();
    Add(ExpandToFiles(paths), false);
}

// ---- playlist ----

void SuiteWindow::Add(const std::vector<std::string>& paths, bool playFirst) {
    if (paths.empty()) return;
    const std::size_t first = m_playlist.Add(paths);
    PlaylistChanged();
    if (playFirst) PlayRow(first);
}

void SuiteWindow::PlaylistChanged() {
    m_view->Show(m_playlist);
    m_view->SetPlaying(m_currentId);
    ReadTagsInBackground();
    m_saveSoon.start();
}

void SuiteWindow::ReadTagsInBackground() {
    std::vector<std::pair<std::uint64_t, std::string>> todo;
    for (const PlaylistEntry& e : m_playlist.Entries())
        if (!e.info.tagsRead) todo.emplace_back(e.id, e.path);
    if (todo.empty()) return;
    // One worker at a time; a new batch waits for the previous one.
    m_tagStop = true;
    if (m_tagThread.joinable()) m_tagThread.join();
    m_tagStop = false;
    m_tagThread = std::thread([this, todo = std::move(todo)] {
        for (const auto& [id, path] : todo) {
            if (m_tagStop) return;
            TrackInfo info;
            ReadTags(path, info);
            QMetaObject::invokeMethod(
                this, [this, id = id, info] { TagsArrived(id, info); }, Qt::QueuedConnection);
        }
    });
}

void SuiteWindow::TagsArrived(std::uint64_t id, TrackInfo info) {
    const int row = m_playlist.RowOf(id);
    if (row < 0) return;
    m_playlist.At(static_cast<std::size_t>(row)).info = std::move(info);
    m_view->UpdateRow(m_playlist, static_cast<std::size_t>(row));
    if (id == m_currentId) Q_EMIT TrackChanged();
}

QueuedTrack SuiteWindow::Queued(std::size_t row) const {
    const PlaylistEntry& e = m_playlist.At(row);
    // Tags not read yet: the decoding thread reads them when it gets there.
    if (m_replayGain != ReplayGainMode::Off && !e.info.tagsRead)
        return {e.id, e.path, NAN, m_replayGain};
    return {e.id, e.path, ReplayGainFactor(e.info, m_replayGain), m_replayGain};
}

// ---- playback ----

SuiteWindow::Status SuiteWindow::PlaybackStatus() const {
    if (!m_runActive) return Status::Stopped;
    return m_player->GetState() == 1 ? Status::Paused : Status::Playing;
}

int SuiteWindow::CurrentRow() const {
    return m_currentId ? m_playlist.RowOf(m_currentId) : -1;
}

double SuiteWindow::CurrentLength() const {
    if (m_lengthSeconds > 0) return m_lengthSeconds;
    const int row = CurrentRow();
    return row >= 0 ? m_playlist.At(static_cast<std::size_t>(row)).info.seconds : 0.0;
}

void SuiteWindow::PlayOrResume() {
    if (m_runActive) {
        if (m_player->GetState() == 1) m_player->Pause(); // resumes
        Q_EMIT StatusChanged();
        return;
    }
    if (m_playlist.Size() == 0) {
        m_app->ShowStatusMessage("The playlist is empty: open files or drop them here", 4000);
        return;
    }
    const auto selected = m_view->SelectedRows();
    if (!selected.empty()) {
        PlayRow(selected.front());
    } else if (m_resumeRow >= 0 && static_cast<std::size_t>(m_resumeRow) < m_playlist.Size()) {
        PlayRow(static_cast<std::size_t>(m_resumeRow), m_resumeSeconds);
    } else {
        const int current = CurrentRow();
        PlayRow(current >= 0 ? static_cast<std::size_t>(current) : 0);
    }
}

void SuiteWindow::PlayRow(std::size_t row, double seconds) {
    if (row >= m_playlist.Size()) return;
    m_resumeRow = -1;
    const std::vector<std::size_t> order =
        m_playlist.PlayOrder(row, m_player->GetShuffle() != 0, m_random);
    const std::size_t at =
        static_cast<std::size_t>(std::find(order.begin(), order.end(), row) - order.begin());
    std::vector<QueuedTrack> queue;
    queue.reserve(order.size());
    for (std::size_t r : order)
        queue.push_back(Queued(r));
    StartRun(std::move(queue), at, seconds);
}

void SuiteWindow::StartRun(std::vector<QueuedTrack> queue, std::size_t at, double seconds) {
    if (queue.empty() || at >= queue.size()) return;
    // The host forgets the owner when its Stop button is pressed; without
    // owning the player again its transport buttons would not reach us.
    const char* owner = m_player->GetPlayerOwner();
    if (!owner ||
        QString::fromUtf8(owner).compare(QLatin1String(kModuleName), Qt::CaseInsensitive) != 0) {
        m_owner = false;
        m_player->AcquirePlayer(kModuleName); // answered by WM_PLAYER_ACQUIRED
    }
    if (!m_owner) return;
    const std::uint32_t state = m_player->GetState();
    if (state == 0 || state == 1) m_player->Stop();
    m_engine.Stop();
    m_runActive = false;

    // The run's format is the first playable track's; later tracks of
    // another rate or channel count are converted to it, so they follow
    // without a gap.
    SourceFormat format;
    for (; at < queue.size(); ++at, seconds = 0) {
        std::string error;
        if (TrackDecoder::Probe(queue[at].path, format, error)) break;
        ReportSkip(queue[at].path, error);
    }
    if (at >= queue.size()) {
        EndRun();
        m_app->ShowStatusMessage("Nothing in the playlist could be played", 4000);
        return;
    }
    const unsigned channels = std::min(format.channels, 8u);
    WAVEFORMATEXTENSIBLE wave = *m_player->GetFormat();
    if (wave.Format.nChannels != channels || wave.Format.nSamplesPerSec != format.rate) {
        const unsigned bytes = wave.Format.wBitsPerSample ? wave.Format.wBitsPerSample / 8u : 2u;
        wave.Format.nChannels = static_cast<std::uint16_t>(channels);
        wave.Format.nSamplesPerSec = format.rate;
        wave.Format.nBlockAlign = static_cast<std::uint16_t>(bytes * channels);
        wave.Format.nAvgBytesPerSec = format.rate * wave.Format.nBlockAlign;
        wave.dwChannelMask = ChannelMask(channels);
        if (!m_player->SetFormat(&wave)) {
            m_app->ShowStatusMessage("The player refused the track's sound format", 4000);
            return;
        }
    }
    m_player->SetStreamCallback(&PlaybackEngine::Pull, &m_engine);
    m_engine.MarkAttached();
    const auto startFrame = static_cast<std::uint64_t>(std::max(0.0, seconds) * format.rate);
    m_engine.Start(std::move(queue), at, startFrame, format.rate, channels,
                   m_player->GetRepeat() != 0);
    // The device's first fill takes its whole buffer at once: have it ready.
    const WAVEFORMATEXTENSIBLE* now = m_player->GetFormat();
    const std::size_t deviceFrames = static_cast<std::size_t>(m_player->GetBufferCount()) *
                                     m_player->GetBufferSize() /
                                     std::max<unsigned>(1, now->Format.nBlockAlign);
    m_engine.WaitForBuffered(deviceFrames + format.rate / 4, std::chrono::milliseconds(3000));
    if (!m_player->Play()) {
        m_engine.Stop();
        m_app->ShowStatusMessage("The sound device could not be opened", 5000);
        return;
    }
    m_runActive = true;
    m_queueIndex = at;
    m_currentId = m_engine.Queue()[at].id;
    m_positionSeconds = seconds;
    m_lengthSeconds = 0;
    m_lastStatus.clear();
    m_lastPercent = ~0u;
    m_view->SetPlaying(m_currentId);
    m_tick.start();
    Tick();
    Q_EMIT TrackChanged();
    Q_EMIT StatusChanged();
}

void SuiteWindow::EndRun() {
    m_tick.stop();
    m_engine.Stop();
    m_runActive = false;
    m_nowPlaying->setText(QStringLiteral("Nothing playing"));
    m_wave->SetProgress(-1.0);
    Q_EMIT StatusChanged();
}

void SuiteWindow::Pause() {
    if (!m_runActive) return;
    m_player->Pause();
    SavePosition();
    Q_EMIT StatusChanged();
}

void SuiteWindow::StopPlayback() {
    const bool was = m_runActive;
    if (m_owner && m_player->GetState() <= 1) m_player->Stop();
    if (was) {
        m_positionSeconds = 0;
        SavePosition();
    }
    EndRun();
}

void SuiteWindow::Next() {
    if (!m_runActive) {
        const int row = CurrentRow();
        if (m_playlist.Size())
            PlayRow(row >= 0 ? (static_cast<std::size_t>(row) + 1) % m_playlist.Size() : 0);
        return;
    }
    std::vector<QueuedTrack> queue = m_engine.Queue();
    std::size_t next = m_queueIndex + 1;
    if (next >= queue.size()) {
        if (!m_player->GetRepeat()) {
            StopPlayback();
            return;
        }
        next = 0;
    }
    StartRun(std::move(queue), next, 0);
}

void SuiteWindow::Previous() {
    if (!m_runActive) {
        const int row = CurrentRow();
        if (row > 0) PlayRow(static_cast<std::size_t>(row) - 1);
        return;
    }
    // A few seconds in, "previous" means the start of this track.
    if (m_positionSeconds > 3.0) {
        SeekTo(0);
        return;
    }
    std::vector<QueuedTrack> queue = m_engine.Queue();
    std::size_t previous = m_queueIndex;
    if (previous == 0)
        previous = m_player->GetRepeat() ? queue.size() - 1 : 0;
    else
        --previous;
    StartRun(std::move(queue), previous, 0);
}

void SuiteWindow::SeekTo(double seconds) {
    if (!m_runActive) return;
    const double length = CurrentLength();
    seconds = std::max(0.0, seconds);
    if (length > 0 && seconds >= length) {
        Next();
        return;
    }
    const bool paused = m_player->GetState() == 1;
    StartRun(m_engine.Queue(), m_queueIndex, seconds);
    if (paused && m_runActive) m_player->Pause();
    Q_EMIT Seeked(seconds);
}

void SuiteWindow::SetVolume(unsigned volume) {
    m_player->SetVolume(std::min(volume, 100u));
}

unsigned SuiteWindow::Volume() const {
    return m_player->GetVolume();
}

void SuiteWindow::ReportSkip(const std::string& path, const std::string& reason) {
    const std::string text = "Skipped " + FileName(path) + ": " + reason;
    qWarning("Sonvara Suite: skipped %s: %s", path.c_str(), reason.c_str());
    m_app->ShowStatusMessage(text.c_str(), 5000);
}

void SuiteWindow::Tick() {
    if (!m_runActive) return;
    for (const EngineEvent& e : m_engine.TakeEvents())
        if (e.queueIndex < m_engine.Queue().size())
            ReportSkip(m_engine.Queue()[e.queueIndex].path, e.message);
    m_engine.SetRepeat(m_player->GetRepeat() != 0);

    const std::uint32_t state = m_player->GetState();
    if (state == 2 || state == 3) {
        // Played out (or stopped by the host, or the device failed).
        const bool finished = m_engine.Exhausted();
        const std::uint64_t lastId = m_currentId;
        EndRun();
        m_positionSeconds = 0;
        if (state == 3) m_app->ShowStatusMessage("The sound device failed", 5000);
        // Tracks added after the run began follow the last one it played.
        if (finished && !m_player->GetShuffle()) {
            const int row = m_playlist.RowOf(lastId);
            if (row >= 0 && static_cast<std::size_t>(row) + 1 < m_playlist.Size() &&
                m_engine.Queue().size() < m_playlist.Size() &&
                std::none_of(m_engine.Queue().begin(), m_engine.Queue().end(),
                             [&](const QueuedTrack& t) {
                                 return t.id == m_playlist.At(static_cast<std::size_t>(row) + 1).id;
                             })) {
                PlayRow(static_cast<std::size_t>(row) + 1);
                return;
            }
        }
        SavePosition();
        return;
    }

    // What the device has taken but not yet played: its whole buffer.
    const WAVEFORMATEXTENSIBLE* format = m_player->GetFormat();
    const std::uint64_t latency = static_cast<std::uint64_t>(m_player->GetBufferCount()) *
                                  m_player->GetBufferSize() /
                                  std::max<unsigned>(1, format->Format.nBlockAlign);
    const std::uint64_t consumed = m_engine.Consumed();
    const std::uint64_t played = consumed > latency ? consumed - latency : 0;
    const auto mark = m_engine.MarkAt(played);
    if (!mark) return;
    const QueuedTrack& track = m_engine.Queue()[mark->queueIndex];
    const double rate = m_engine.Rate();
    if (track.id != m_currentId || mark->queueIndex != m_queueIndex) {
        m_currentId = track.id;
        m_queueIndex = mark->queueIndex;
        m_view->SetPlaying(m_currentId);
        Q_EMIT TrackChanged();
    }
    m_positionSeconds = static_cast<double>(played - mark->startFrame + mark->offset) / rate;
    m_lengthSeconds = mark->frames ? static_cast<double>(mark->frames) / rate : 0.0;
    const double length = CurrentLength();
    const unsigned percent =
        length > 0 ? static_cast<unsigned>(std::clamp(m_positionSeconds / length, 0.0, 1.0) * 100)
                   : 0;
    if (percent != m_lastPercent) {
        m_player->SetPosition(percent);
        m_lastPercent = percent;
    }
    m_wave->SetProgress(length > 0 ? m_positionSeconds / length : -1.0);

    const int row = m_playlist.RowOf(m_currentId);
    std::string title = FileName(track.path), artist;
    if (row >= 0) {
        const PlaylistEntry& e = m_playlist.At(static_cast<std::size_t>(row));
        title = DisplayTitle(e);
        artist = e.info.artist;
        if (m_waveShown != e.path) LoadWaveform(e.path);
    }
    std::string status = (state == 1 ? "Paused: " : "") + title;
    if (!artist.empty()) status += " \u2013 " + artist;
    status += "   " + FormatTime(m_positionSeconds) + " / " + FormatTime(length);
    if (status != m_lastStatus) {
        m_lastStatus = status;
        m_app->SetStatusText(status.c_str());
        m_nowPlaying->setText(
            QString::fromStdString(artist.empty() ? title : title + " \u2013 " + artist));
    }
}

// ---- persistence, library, dialogs ----

void SuiteWindow::SavePlaylistNow() {
    m_saveSoon.stop();
    std::vector<PlaylistItem> items;
    std::vector<std::string> paths;
    for (const PlaylistEntry& e : m_playlist.Entries()) {
        items.push_back({e.path, e.info.title, e.info.tagsRead ? e.info.seconds : -1.0});
        paths.push_back(e.path);
    }
    std::string error;
    if (!WritePlaylistFile(m_settingsFolder + kSessionPlaylist, items, error))
        qWarning("Sonvara Suite: cannot keep the playlist: %s", error.c_str());
    if (!LibraryFiles(m_settingsFolder).UpdatePlaylist(kLibraryPlaylist, paths, error))
        qWarning("Sonvara Suite: library not updated: %s", error.c_str());
}

void SuiteWindow::SavePosition() {
    const int row = CurrentRow();
    SetSetting("LastTrack", std::to_string(row));
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", row >= 0 ? m_positionSeconds : 0.0);
    SetSetting("LastPosition", seconds);
}

void SuiteWindow::Restore() {
    const std::string mode = Setting("ReplayGain");
    m_replayGain = mode == "Track"   ? ReplayGainMode::Track
                   : mode == "Album" ? ReplayGainMode::Album
                                     : ReplayGainMode::Off;
    PlaylistReadResult saved;
    std::string error;
    if (QFileInfo::exists(QString::fromStdString(m_settingsFolder + kSessionPlaylist)) &&
        ReadPlaylistFile(m_settingsFolder + kSessionPlaylist, saved, error)) {
        std::vector<std::string> paths;
        for (const PlaylistItem& item : saved.items)
            paths.push_back(item.path);
        m_playlist.Add(paths);
        m_view->Show(m_playlist);
        ReadTagsInBackground();
    }
    const std::string track = Setting("LastTrack");
    if (!track.empty()) m_resumeRow = std::atoi(track.c_str());
    const std::string position = Setting("LastPosition");
    if (!position.empty()) m_resumeSeconds = std::max(0.0, std::atof(position.c_str()));
    if (m_resumeRow >= 0 && static_cast<std::size_t>(m_resumeRow) < m_playlist.Size())
        if (auto* item = m_view->topLevelItem(m_resumeRow)) m_view->scrollToItem(item);
}

void SuiteWindow::LoadWaveform(const std::string& path) {
    m_waveShown = path;
    if (auto it = m_waveCache.find(path); it != m_waveCache.end()) {
        m_wave->SetPeaks(it->second);
        return;
    }
    m_wave->SetPeaks({});
    m_waveStop = true;
    if (m_waveThread.joinable()) m_waveThread.join();
    m_waveStop = false;
    m_waveThread = std::thread([this, path] {
        std::vector<float> peaks = ComputeWaveform(path, kWaveColumns, &m_waveStop);
        if (m_waveStop || peaks.empty()) return;
        QMetaObject::invokeMethod(
            this,
            [this, path, peaks = std::move(peaks)] {
                if (m_waveCache.size() >= 32) m_waveCache.erase(m_waveCache.begin());
                m_waveCache[path] = peaks;
                if (m_waveShown == path) m_wave->SetPeaks(peaks);
            },
            Qt::QueuedConnection);
    });
}

void SuiteWindow::OpenFilesDialog(bool folder) {
    QStringList chosen;
    if (folder) {
        const QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("Open Folder"));
        if (!dir.isEmpty()) chosen << dir;
    } else {
        QString filter = QStringLiteral("Audio files (");
        for (const std::string& e : SupportedExtensions())
            filter += QStringLiteral("*.%1 ").arg(QString::fromStdString(e));
        filter += QStringLiteral(");;All files (*)");
        chosen =
            QFileDialog::getOpenFileNames(this, QStringLiteral("Open Files"), QString(), filter);
    }
    std::vector<std::string> paths;
    for (const QString& p : chosen)
        paths.push_back(p.toStdString());
    Add(ExpandToFiles(paths), !m_runActive);
}

void SuiteWindow::LoadPlaylistDialog() {
    const QString file =
        QFileDialog::getOpenFileName(this, QStringLiteral("Load Playlist"), QString(),
                                     QStringLiteral("Playlists (*.m3u *.m3u8 *.pls *.xspf)"));
    if (file.isEmpty()) return;
    PlaylistReadResult result;
    std::string error;
    if (!ReadPlaylistFile(file.toStdString(), result, error)) {
        m_app->ShowStatusMessage(("Cannot load the playlist: " + error).c_str(), 5000);
        return;
    }
    std::vector<std::string> paths;
    std::size_t missing = 0;
    for (const PlaylistItem& item : result.items) {
        if (!QFileInfo::exists(QString::fromStdString(item.path))) ++missing;
        paths.push_back(item.path);
    }
    Add(paths, false);
    const std::string text =
        "Loaded " + std::to_string(paths.size()) + " entries" +
        (missing ? ", " + std::to_string(missing) + " missing" : "") +
        (result.skippedUrls ? ", " + std::to_string(result.skippedUrls) + " URLs left out" : "");
    m_app->ShowStatusMessage(text.c_str(), 4000);
}

void SuiteWindow::SavePlaylistDialog() {
    QString file = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save Playlist"), QString(),
        QStringLiteral("M3U8 (*.m3u8);;M3U (*.m3u);;PLS (*.pls);;XSPF (*.xspf)"));
    if (file.isEmpty()) return;
    if (FormatFromPath(file.toStdString()) == PlaylistFormat::Unknown)
        file += QStringLiteral(".m3u8");
    std::vector<PlaylistItem> items;
    std::vector<std::string> paths;
    for (const PlaylistEntry& e : m_playlist.Entries()) {
        items.push_back({e.path, DisplayTitle(e), e.info.tagsRead ? e.info.seconds : -1.0});
        paths.push_back(e.path);
    }
    std::string error;
    if (!WritePlaylistFile(file.toStdString(), items, error)) {
        m_app->ShowStatusMessage(("Cannot save the playlist: " + error).c_str(), 5000);
        return;
    }
    LibraryFiles(m_settingsFolder)
        .UpdatePlaylist(QFileInfo(file).completeBaseName().toStdString(), paths, error);
}

void SuiteWindow::AddFromLibrary() {
    const std::vector<std::string>* files = m_app->SelectLibraryFiles();
    if (files && !files->empty()) Add(*files, !m_runActive);
}

void SuiteWindow::SetReplayGain(ReplayGainMode mode) {
    m_replayGain = mode;
    SetSetting("ReplayGain", mode == ReplayGainMode::Track   ? "Track"
                             : mode == ReplayGainMode::Album ? "Album"
                                                             : "Off");
    m_app->RefreshModuleMenu(kModuleName);
    // The gain belongs to the decoded sound: start the track again where it is.
    if (m_runActive) {
        std::vector<QueuedTrack> queue = m_engine.Queue();
        for (QueuedTrack& t : queue) {
            const int row = m_playlist.RowOf(t.id);
            if (row >= 0) t.gain = Queued(static_cast<std::size_t>(row)).gain;
        }
        const bool paused = m_player->GetState() == 1;
        StartRun(std::move(queue), m_queueIndex, m_positionSeconds);
        if (paused && m_runActive) m_player->Pause();
    }
}

ReplayGainMode SuiteWindow::ReplayGain() const {
    return m_replayGain;
}

void SuiteWindow::ApplySkin() {
    if (!m_skin) return;
    m_skin->SkinWindow(this, true);
    QPalette p = palette();
    p.setColor(QPalette::Window, SkinColor(m_skin, kSkinWindow));
    p.setColor(QPalette::WindowText, SkinColor(m_skin, kSkinWindowText));
    setPalette(p);
    setAutoFillBackground(true);
    m_nowPlaying->setPalette(p);
    // The skinned edit keeps its colours; the hint must still be readable.
    QPalette edit = m_find->palette();
    QColor hint = edit.color(QPalette::Text);
    hint.setAlpha(140);
    edit.setColor(QPalette::PlaceholderText, hint);
    m_find->setPalette(edit);
    m_view->ApplySkin(m_skin);
    m_wave->ApplySkin(m_skin);
}

} // namespace suite
