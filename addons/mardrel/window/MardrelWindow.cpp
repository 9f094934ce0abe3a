#include "window/MardrelWindow.h"

#include "window/LevelMeter.h"

#include "suite/core/LibraryFiles.h"
#include "suite/core/MediaPaths.h"
#include "suite/window/SkinColors.h"

#include "sonvara/Codexa.h"
#include "sonvara/EffectPresetXml.h"
#include "sonvara/IApplication.h"
#include "sonvara/IMicro.h"
#include "sonvara/IPlayer.h"
#include "sonvara/IQueryInterface.h"
#include "sonvara/ISkin.h"
#include "sonvara/MessageEvent.h"
#include "sonvara/Messages.h"
#include "sonvara/RecordingFormat.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringTokenizer>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>

namespace mardrel {

namespace {

// Buffer settings of the live path (the module's parameter section may set
// others): 256-frame capture buffers (6 ms at 44.1 kHz; a device that wakes
// every 10 ms then hands over one or two each time, never none, so the
// monitor's queue swings less than with 512), sixteen of them (93 ms for a
// capture thread that is held up), three 256-frame player segments.
// Smaller segments (128) gave late blocks on the null and wav: devices of a
// loaded two-core machine.
constexpr std::uint32_t kCaptureFrames = 256;
constexpr std::uint32_t kCaptureBuffers = 16;
constexpr std::uint32_t kOutputFrames = 256;
constexpr std::uint32_t kOutputBuffers = 3;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

std::uint32_t ChannelMask(unsigned channels) {
    static const std::uint32_t masks[] = {0, 0x4, 0x3, 0x7, 0x33, 0x37, 0x3F, 0x13F, 0x63F};
    return channels <= 8 ? masks[channels] : 0;
}

std::uint32_t Number(const std::string& text, std::uint32_t fallback, std::uint32_t lo,
                     std::uint32_t hi) {
    char* end = nullptr;
    const unsigned long v = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end || v < lo || v > hi) return fallback;
    return static_cast<std::uint32_t>(v);
}

std::string FileName(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

} // namespace

MardrelWindow::MardrelWindow(QWidget* parent, IQueryInterface* query)
    : QWidget(parent), m_query(query), m_app(query->GetApplication()), m_player(query->GetPlayer()),
      m_micro(query->GetMicro()), m_skin(query->GetSkin()), m_manager(query->GetEffectManager()) {
    setObjectName(QStringLiteral("Mardrel"));
    m_settingsFolder = suite::SettingsFolder(m_app->GetAppPath() ? m_app->GetAppPath() : "");
    if (m_manager) {
        for (int i = 0; i < m_manager->GetEffectCount(); ++i) {
            SvEffectDescription d;
            if (m_manager->GetEffectDescription(i, &d) && d.type == kEffectTypeVoiceMorphing)
                m_effects.push_back(d);
        }
    }
    m_monitor = Setting("Monitor") != "Off";
    BuildWindow();
    // The effect chosen last time, else the first one.
    const std::string chosen = Setting("Effect");
    int index = m_effects.empty() ? -1 : 0;
    for (std::size_t i = 0; i < m_effects.size(); ++i)
        if (m_effects[i].name == chosen) index = static_cast<int>(i);
    if (index >= 0) ChooseEffect(index);
    m_tick.setInterval(50);
    connect(&m_tick, &QTimer::timeout, this, &MardrelWindow::Tick);
    m_tick.start();
    ApplySkin();
    UpdateControls();
}

MardrelWindow::~MardrelWindow() {
    m_tick.stop();
    StopLive();
    m_offline.Cancel();
    m_offline.Finish();
    if (m_playerUse != PlayerUse::None) GivePlayerBack();
    StoreEffectSettings();
    ClosePanel(); // before the effect it edits
    m_effect.reset();
}

// ---- settings ----

std::string MardrelWindow::Setting(const char* key) const {
    char buffer[1024] = {};
    if (!m_app->GetParam(kModuleName, key, buffer, sizeof buffer)) return {};
    return buffer;
}

void MardrelWindow::SetSetting(const char* key, const std::string& value) {
    m_app->SetParam(kModuleName, key, value.c_str());
}

std::string MardrelWindow::EffectSettingsFile() const {
    return m_settingsFolder + "Mardrel_effects.ini";
}

std::string MardrelWindow::EffectSection() const {
    return m_effect ? m_effect->GetDisplayName() : std::string();
}

void MardrelWindow::StoreEffectSettings() {
    if (m_effect) m_effect->SavePreset(EffectSettingsFile().c_str(), EffectSection().c_str());
}

std::string MardrelWindow::RecordingFolder() {
    for (auto location : {QStandardPaths::MusicLocation, QStandardPaths::DocumentsLocation}) {
        const QString dir = QStandardPaths::writableLocation(location);
        if (!dir.isEmpty() && QFileInfo(dir).isDir() && QFileInfo(dir).isWritable())
            return dir.toStdString() + "/";
    }
    return QDir::homePath().toStdString() + "/";
}

// ---- the window ----

void MardrelWindow::BuildWindow() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(8);

    auto* top = new QHBoxLayout;
    auto* caption = new QLabel(QStringLiteral("&Effect:"), this);
    m_effectBox = new QComboBox(this);
    m_effectBox->setObjectName(QStringLiteral("MardrelEffect"));
    caption->setBuddy(m_effectBox);
    for (const SvEffectDescription& d : m_effects)
        m_effectBox->addItem(Q(d.name));
    if (m_effects.empty()) {
        m_effectBox->addItem(QStringLiteral("No voice effect installed"));
        m_effectBox->setEnabled(false);
    }
    m_loadPreset = new QPushButton(QStringLiteral("Load Preset..."), this);
    m_loadPreset->setObjectName(QStringLiteral("MardrelLoadPreset"));
    m_savePreset = new QPushButton(QStringLiteral("Save Preset..."), this);
    m_savePreset->setObjectName(QStringLiteral("MardrelSavePreset"));
    top->addWidget(caption);
    top->addWidget(m_effectBox, 1);
    top->addWidget(m_loadPreset);
    top->addWidget(m_savePreset);
    layout->addLayout(top);

    m_panelHost = new QWidget(this);
    m_panelHost->setObjectName(QStringLiteral("MardrelPanelHost"));
    m_panelLayout = new QVBoxLayout(m_panelHost);
    m_panelLayout->setContentsMargins(0, 0, 0, 0);
    m_noPanel = new QLabel(QStringLiteral("This effect has no settings of its own."), m_panelHost);
    m_noPanel->hide();
    m_panelLayout->addWidget(m_noPanel);
    layout->addWidget(m_panelHost, 0, Qt::AlignLeft | Qt::AlignTop);

    m_liveBox = new QGroupBox(QStringLiteral("Live"), this);
    auto* live = new QGridLayout(m_liveBox);
    m_liveButton = new QPushButton(QStringLiteral("Start Live Morphing"), m_liveBox);
    m_liveButton->setObjectName(QStringLiteral("MardrelLive"));
    m_monitorBox = new QCheckBox(QStringLiteral("&Monitor (hear the morphed voice)"), m_liveBox);
    m_monitorBox->setObjectName(QStringLiteral("MardrelMonitor"));
    m_monitorBox->setChecked(m_monitor);
    m_recordButton = new QPushButton(QStringLiteral("Record"), m_liveBox);
    m_recordButton->setObjectName(QStringLiteral("MardrelRecord"));
    m_meter = new LevelMeter(m_liveBox);
    m_liveInfo = new QLabel(m_liveBox);
    m_liveInfo->setObjectName(QStringLiteral("MardrelLiveInfo"));
    live->addWidget(m_liveButton, 0, 0);
    live->addWidget(m_recordButton, 0, 1);
    live->addWidget(m_monitorBox, 0, 2);
    live->addWidget(new QLabel(QStringLiteral("Input:"), m_liveBox), 1, 0);
    live->addWidget(m_meter, 1, 1, 1, 2);
    live->addWidget(m_liveInfo, 2, 0, 1, 3);
    live->setColumnStretch(2, 1);
    layout->addWidget(m_liveBox);

    m_fileBox = new QGroupBox(QStringLiteral("Morph a File"), this);
    auto* file = new QGridLayout(m_fileBox);
    m_openButton = new QPushButton(QStringLiteral("Open..."), m_fileBox);
    m_openButton->setObjectName(QStringLiteral("MardrelOpen"));
    m_fileLabel =
        new QLabel(QStringLiteral("Open a recording to morph it with the effect."), m_fileBox);
    m_fileLabel->setObjectName(QStringLiteral("MardrelFile"));
    m_progress = new QProgressBar(m_fileBox);
    m_progress->setObjectName(QStringLiteral("MardrelProgress"));
    m_progress->setRange(0, 1000);
    m_progress->setTextVisible(false);
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), m_fileBox);
    m_cancelButton->setObjectName(QStringLiteral("MardrelCancel"));
    m_playButton = new QPushButton(QStringLiteral("Play"), m_fileBox);
    m_playButton->setObjectName(QStringLiteral("MardrelPlay"));
    m_saveButton = new QPushButton(QStringLiteral("Save As..."), m_fileBox);
    m_saveButton->setObjectName(QStringLiteral("MardrelSave"));
    file->addWidget(m_openButton, 0, 0);
    file->addWidget(m_fileLabel, 0, 1, 1, 3);
    file->addWidget(m_progress, 1, 0, 1, 2);
    file->addWidget(m_cancelButton, 1, 2);
    file->addWidget(m_playButton, 2, 0);
    file->addWidget(m_saveButton, 2, 1);
    file->setColumnStretch(1, 1);
    layout->addWidget(m_fileBox);
    layout->addStretch(1);

    connect(m_effectBox, &QComboBox::activated, this, [this](int i) { ChooseEffect(i); });
    connect(m_loadPreset, &QPushButton::clicked, this, [this] { OnCommand(kCmdLoadPreset); });
    connect(m_savePreset, &QPushButton::clicked, this, [this] { OnCommand(kCmdSavePreset); });
    connect(m_liveButton, &QPushButton::clicked, this, [this] { OnCommand(kCmdLive); });
    connect(m_monitorBox, &QCheckBox::clicked, this, [this](bool on) { SetMonitor(on); });
    connect(m_recordButton, &QPushButton::clicked, this,
            [this] { IsRecording() ? StopRecording() : (void)StartRecording(); });
    connect(m_openButton, &QPushButton::clicked, this, [this] { OnCommand(kCmdOpenRecording); });
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { OnCommand(kCmdCancelOffline); });
    connect(m_playButton, &QPushButton::clicked, this, [this] { OnCommand(kCmdPlayMorphed); });
    connect(m_saveButton, &QPushButton::clicked, this, [this] { OnCommand(kCmdSaveMorphed); });
}

void MardrelWindow::ApplySkin() {
    if (!m_skin) return;
    m_skin->SkinWindow(this, true);
    QPalette p = palette();
    p.setColor(QPalette::Window, suite::SkinColor(m_skin, suite::kSkinWindow));
    p.setColor(QPalette::WindowText, suite::SkinColor(m_skin, suite::kSkinWindowText));
    setPalette(p);
    setAutoFillBackground(true);
    for (QGroupBox* box : {m_liveBox, m_fileBox})
        box->setPalette(p);
    m_meter->SetColors(suite::SkinColor(m_skin, suite::kSkinList),
                       suite::SkinColor(m_skin, suite::kSkinHighlight),
                       suite::SkinColor(m_skin, suite::kSkinListText));
    QPalette bar = m_progress->palette();
    bar.setColor(QPalette::Highlight, suite::SkinColor(m_skin, suite::kSkinHighlight));
    bar.setColor(QPalette::Base, suite::SkinColor(m_skin, suite::kSkinList));
    m_progress->setPalette(bar);
}

void MardrelWindow::UpdateControls() {
    const bool live = IsLive();
    const bool haveEffect = m_effect != nullptr;
    const bool offlineRunning = m_offline.LastOutcome() == OfflineMorph::Outcome::Running;
    m_liveButton->setText(live ? QStringLiteral("Stop Live Morphing")
                               : QStringLiteral("Start Live Morphing"));
    m_liveButton->setEnabled(haveEffect);
    m_recordButton->setText(IsRecording() ? QStringLiteral("Stop Recording")
                                          : QStringLiteral("Record"));
    m_recordButton->setEnabled(haveEffect);
    m_monitorBox->setChecked(m_monitor);
    m_effectBox->setEnabled(!m_effects.empty() && !offlineRunning);
    m_loadPreset->setEnabled(haveEffect);
    m_savePreset->setEnabled(haveEffect);
    m_openButton->setEnabled(haveEffect && !offlineRunning);
    m_cancelButton->setEnabled(offlineRunning);
    m_playButton->setEnabled(m_offline.HasResult());
    m_playButton->setText(m_playerUse == PlayerUse::Morphed ? QStringLiteral("Stop")
                                                            : QStringLiteral("Play"));
    m_saveButton->setEnabled(m_offline.HasResult());
    if (!live) {
        m_meter->Reset();
        if (m_lastRecording.empty())
            m_liveInfo->setText(QStringLiteral("Sing or speak a steady tone into the microphone."));
        else
            m_liveInfo->setText(QStringLiteral("Recorded %1").arg(Q(m_lastRecording)));
    }
}

void MardrelWindow::Status(const std::string& text) {
    m_app->SetStatusText(("Mardrel: " + text).c_str());
}

void MardrelWindow::Error(const std::string& text) {
    Status(text);
    m_app->ShowMessage(reinterpret_cast<std::intptr_t>(text.c_str()),
                       reinterpret_cast<std::intptr_t>(kModuleName), 0x10, 0, 0);
}

void MardrelWindow::RefreshMenu() {
    m_app->RefreshModuleMenu(kModuleName);
}

// ---- the effect and its panel ----

void MardrelWindow::ClosePanel() {
    delete m_panel;
    m_panel = nullptr;
}

void MardrelWindow::ShowPanel() {
    ClosePanel();
    if (m_effect) m_panel = static_cast<QWidget*>(m_effect->CreateSettingsWindow(m_panelHost));
    m_noPanel->setVisible(m_effect && !m_panel);
    if (m_panel) {
        m_panelLayout->addWidget(m_panel);
        m_panel->show();
        if (m_skin) m_skin->SkinWindow(m_panel, true);
    }
}

bool MardrelWindow::ChooseEffect(int index) {
    if (index < 0 || index >= static_cast<int>(m_effects.size())) return false;
    if (index == m_current && m_effect) return true;
    if (m_offline.LastOutcome() == OfflineMorph::Outcome::Running) return false;
    std::unique_ptr<CSimpleEffect> effect(m_manager->CreateEffect(m_effects[index].identifier));
    if (!effect) {
        Error("The effect \"" + m_effects[index].name + "\" could not be made.");
        m_effectBox->setCurrentIndex(std::max(m_current, 0));
        return false;
    }
    const bool wasLive = SuspendLive();
    StoreEffectSettings();
    ClosePanel();
    m_effect = std::move(effect);
    m_current = index;
    // Its settings from the last session; absent ones take their defaults.
    m_effect->LoadPreset(EffectSettingsFile().c_str(), EffectSection().c_str());
    ShowPanel();
    m_effectBox->setCurrentIndex(index);
    SetSetting("Effect", m_effects[index].name);
    RefreshMenu();
    if (wasLive) ResumeLive();
    UpdateControls();
    return true;
}

namespace {
bool IsXml(const std::string& path) {
    return QFileInfo(QString::fromStdString(path))
               .suffix()
               .compare(QStringLiteral("xml"), Qt::CaseInsensitive) == 0;
}

// Whether an INI file has a section of this name. The effect reads the keys
// a preset lacks as its defaults, so any file without the section (another
// effect's presets, a settings file picked by mistake) would load as a
// preset of nothing but defaults and take the user's settings away.
bool IniHasSection(const std::string& path, const std::string& section) {
    QFile file(Q(path));
    if (!file.open(QIODevice::ReadOnly) || file.size() > (1 << 20)) return false;
    const QByteArray bytes = file.readAll();
    // UTF-8, or UTF-16 with its byte-order mark, as the program's INI files.
    QStringDecoder decode(
        QStringConverter::encodingForData(bytes).value_or(QStringConverter::Utf8));
    const QString text = decode(bytes);
    const QString wanted = QStringLiteral("[%1]").arg(Q(section));
    for (const QStringView line : QStringTokenizer(text, u'\n'))
        if (line.trimmed().compare(wanted, Qt::CaseInsensitive) == 0) return true;
    return false;
}
} // namespace

bool MardrelWindow::SavePreset(const std::string& path) {
    if (!m_effect) return false;
    int saved = 0;
    if (IsXml(path)) {
        saved = SvEffectPresetXml(m_effect.get(), path.c_str(), true);
        if (saved < 0) {
            Error("This program keeps no XML presets; \"" + path + "\" was not written.");
            return false;
        }
    } else {
        saved = m_effect->SavePreset(path.c_str(), EffectSection().c_str());
    }
    if (!saved) {
        Error("The preset could not be written to \"" + path + "\".");
        return false;
    }
    Status("preset saved to " + path);
    return true;
}

bool MardrelWindow::LoadPreset(const std::string& path) {
    if (!m_effect) return false;
    if (!QFileInfo(Q(path)).isFile()) {
        Error("\"" + path + "\" does not exist.");
        return false;
    }
    // Loading needs the stream closed, and the plug-in may replace the
    // instance the panel edits: both go first.
    const bool wasLive = SuspendLive();
    ClosePanel();
    const int loaded = IsXml(path) ? SvEffectPresetXml(m_effect.get(), path.c_str(), false)
                       : IniHasSection(path, EffectSection())
                           ? m_effect->LoadPreset(path.c_str(), EffectSection().c_str())
                           : 0;
    ShowPanel();
    if (loaded > 0) {
        StoreEffectSettings();
        Status("preset loaded from " + path);
    } else {
        Error("\"" + path + "\" holds no preset the effect could read.");
    }
    if (wasLive) ResumeLive();
    UpdateControls();
    return loaded > 0;
}

// ---- the player ----

bool MardrelWindow::TakePlayer(PlayerStreamCallback callback, void* user, std::uint16_t channels,
                               std::uint32_t rate, std::uint32_t segmentFrames,
                               std::uint32_t segments) {
    const char* owner = m_player->GetPlayerOwner();
    if (!owner || QString::fromUtf8(owner).compare(QString::fromUtf8(kModuleName),
                                                   Qt::CaseInsensitive) != 0) {
        if (!m_player->AcquirePlayer(kModuleName)) return false;
    } else if (m_player->GetState() <= 1) {
        m_player->Stop();
    }
    if (m_playerUse == PlayerUse::None) {
        m_savedBufferCount = m_player->GetBufferCount();
        m_savedBufferSize = m_player->GetBufferSize();
    }
    WAVEFORMATEXTENSIBLE wave = *m_player->GetFormat();
    const unsigned bytes = wave.Format.wBitsPerSample ? wave.Format.wBitsPerSample / 8u : 2u;
    wave.Format.nChannels = channels;
    wave.Format.nSamplesPerSec = rate;
    wave.Format.nBlockAlign = static_cast<std::uint16_t>(bytes * channels);
    wave.Format.nAvgBytesPerSec = rate * wave.Format.nBlockAlign;
    wave.dwChannelMask = ChannelMask(channels);
    // A format is refused when a frame does not fit a segment: the segment
    // grows first and shrinks to its size after.
    m_player->SetBufferSize(std::max(segmentFrames * wave.Format.nBlockAlign, m_savedBufferSize));
    bool started = m_player->SetFormat(&wave) != 0;
    if (!started) Status("the player refused the sound format");
    if (started) {
        m_player->SetBufferCount(segments);
        m_player->SetBufferSize(segmentFrames * wave.Format.nBlockAlign);
        m_player->SetStreamCallback(callback, user);
        started = m_player->Play() != 0;
    }
    if (!started) {
        // Not left holding a player it does not use.
        m_playerUse = PlayerUse::None;
        m_player->SetStreamCallback(nullptr, nullptr);
        m_player->SetBufferCount(m_savedBufferCount);
        m_player->SetBufferSize(m_savedBufferSize);
        m_player->ReleasePlayer(kModuleName);
    }
    return started;
}

void MardrelWindow::GivePlayerBack() {
    m_playerUse = PlayerUse::None;
    const char* owner = m_player->GetPlayerOwner();
    if (!owner ||
        QString::fromUtf8(owner).compare(QString::fromUtf8(kModuleName), Qt::CaseInsensitive) != 0)
        return; // taken already; the host stopped our playback then
    if (m_player->GetState() <= 1) m_player->Stop();
    m_player->SetStreamCallback(nullptr, nullptr);
    if (m_savedBufferCount) m_player->SetBufferCount(m_savedBufferCount);
    if (m_savedBufferSize) m_player->SetBufferSize(m_savedBufferSize);
    m_player->ReleasePlayer(kModuleName);
}

// ---- live ----

bool MardrelWindow::StartLive() {
    if (IsLive()) return true;
    if (!m_effect) {
        Error("No voice effect is installed.");
        return false;
    }
    if (m_playerUse == PlayerUse::Morphed) GivePlayerBack();
    const char* owner = m_micro->GetMicroOwner();
    if (!owner || QString::fromUtf8(owner).compare(QString::fromUtf8(kModuleName),
                                                   Qt::CaseInsensitive) != 0) {
        if (!m_micro->AcquireMicro(kModuleName)) return false;
    } else if (m_micro->GetState() <= 1) {
        m_micro->Stop();
    }
    m_microOwned = true;

    // Record at the rate the recording format asks for, so the file needs
    // no conversion; the voice is one channel of 16 bits.
    const SvRecordingFormat recording = SvReadRecordingFormat(m_app);
    LiveFormat format;
    format.rate = static_cast<std::uint32_t>(recording.sampleRate);
    format.channels = 1;
    format.bitsPerSample = 16;
    format.captureFrames = Number(Setting("CaptureFrames"), kCaptureFrames, 64, 65536);
    format.outputFrames = Number(Setting("OutputFrames"), kOutputFrames, 32, 65536);
    const std::uint32_t outputBuffers = Number(Setting("OutputBuffers"), kOutputBuffers, 2, 100);

    WAVEFORMATEX wave{};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = 1;
    wave.nSamplesPerSec = format.rate;
    wave.wBitsPerSample = 16;
    wave.nBlockAlign = 2;
    wave.nAvgBytesPerSec = format.rate * 2;
    m_savedMicroFormat = *m_micro->GetFormat();
    m_savedMicroCount = m_micro->GetBufferCount();
    m_savedMicroSize = m_micro->GetBufferSize();
    std::string error;
    if (!m_micro->SetFormat(&wave) || !m_micro->SetBufferCount(kCaptureBuffers) ||
        !m_micro->SetBufferSize(format.captureFrames * 2)) {
        error =
            "the microphone does not take 16-bit sound at " + std::to_string(format.rate) + " Hz";
    } else if (m_live.Open(m_effect.get(), format, error)) {
        m_micro->SetCaptureCallback(&LiveMorph::Capture, &m_live);
        if (m_monitor) {
            if (TakePlayer(&LiveMorph::Play, &m_live, 1, format.rate, format.outputFrames,
                           outputBuffers))
                m_playerUse = PlayerUse::Monitor;
            else
                Status("the monitor could not start; morphing without it");
        }
        if (m_micro->Play()) {
            m_lastLate = 0;
            Status(std::string("live morphing with ") + m_effect->GetDisplayName());
            UpdateControls();
            RefreshMenu();
            return true;
        }
        error = "the microphone could not start recording";
    }
    // Undo what was started; the host has told the device's reason in the
    // status line when the device failed.
    StopLive();
    Error("Live morphing could not start: " + error + ".");
    return false;
}

void MardrelWindow::StopLive(const std::string& status) {
    EndLive(status, false);
}

bool MardrelWindow::SuspendLive() {
    if (!IsLive()) return false;
    EndLive({}, true);
    return true;
}

void MardrelWindow::ResumeLive() {
    if (!StartLive()) {
        StopRecording(); // the file is completed with what it has
        return;
    }
    if (IsRecording()) m_live.SetRecorder(&m_writer);
}

void MardrelWindow::EndLive(const std::string& status, bool keepRecording) {
    if (!m_microOwned && !IsLive()) return;
    if (keepRecording)
        m_live.SetRecorder(nullptr); // the file waits for the next run
    else
        StopRecording();
    if (m_microOwned) {
        m_micro->Stop();
        m_micro->SetCaptureCallback(nullptr, nullptr);
    }
    // The recorder's settings as they were, also when it was taken from us
    // (it is stopped then, and its next owner has not been told yet).
    if (m_savedMicroCount) {
        m_micro->SetFormat(&m_savedMicroFormat);
        m_micro->SetBufferCount(m_savedMicroCount);
        m_micro->SetBufferSize(m_savedMicroSize);
        m_savedMicroCount = 0;
    }
    if (m_microOwned) {
        m_micro->ReleaseMicro(kModuleName);
        m_microOwned = false;
    }
    if (m_playerUse == PlayerUse::Monitor) GivePlayerBack();
    const bool wasLive = IsLive();
    m_live.Close();
    StoreEffectSettings();
    if (wasLive) Status(status.empty() ? std::string("live morphing stopped") : status);
    UpdateControls();
    // The status line is shared; the window keeps why live morphing ended.
    if (wasLive && !status.empty()) {
        std::string reason = status;
        reason[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(reason[0])));
        m_liveInfo->setText(Q(reason + "."));
    }
    RefreshMenu();
}

void MardrelWindow::SetMonitor(bool on) {
    m_monitor = on;
    SetSetting("Monitor", on ? "On" : "Off");
    if (IsLive()) {
        if (!on && m_playerUse == PlayerUse::Monitor) {
            GivePlayerBack();
        } else if (on && m_playerUse != PlayerUse::Monitor) {
            if (m_playerUse == PlayerUse::Morphed) GivePlayerBack();
            // The monitor joins a running capture: it starts at the next
            // buffer, not with what piled up while it was off.
            m_live.RestartMonitor();
            const WAVEFORMATEX* f = m_micro->GetFormat();
            if (TakePlayer(&LiveMorph::Play, &m_live, 1, f->nSamplesPerSec,
                           Number(Setting("OutputFrames"), kOutputFrames, 32, 65536),
                           Number(Setting("OutputBuffers"), kOutputBuffers, 2, 100)))
                m_playerUse = PlayerUse::Monitor;
        }
    }
    UpdateControls();
    RefreshMenu();
}

bool MardrelWindow::StartRecording() {
    if (IsRecording()) return true;
    if (!IsLive() && !StartLive()) return false;
    const SvRecordingFormat format = SvReadRecordingFormat(m_app);
    RecordingTarget target;
    target.path = RecordingFileName(RecordingFolder(), format.extension,
                                    static_cast<std::int64_t>(std::time(nullptr)));
    target.format = format.format;
    target.rate = static_cast<int>(m_micro->GetFormat()->nSamplesPerSec);
    target.channels = std::clamp(format.channels, 1, 8);
    target.quality = format.quality;
    std::string error;
    if (!m_writer.Start(target, error)) {
        Error(error);
        return false;
    }
    m_live.SetRecorder(&m_writer);
    Status("recording to " + target.path);
    UpdateControls();
    return true;
}

void MardrelWindow::StopRecording() {
    if (!IsRecording()) return;
    m_live.SetRecorder(nullptr);
    std::string error;
    const bool ok = m_writer.Stop(error);
    m_lastRecording = m_writer.Path();
    if (ok)
        Status("recorded " + m_lastRecording);
    else
        Error(error);
    UpdateControls();
}

// ---- offline ----

bool MardrelWindow::OpenRecording(const std::string& path) {
    if (!m_effect) {
        Error("No voice effect is installed.");
        return false;
    }
    if (m_playerUse == PlayerUse::Morphed) GivePlayerBack();
    // The job gets an effect of its own with the chosen one's settings, so
    // the live path and the panel are not disturbed.
    StoreEffectSettings();
    std::unique_ptr<CSimpleEffect> copy(m_manager->CreateEffect(m_effects[m_current].identifier));
    if (copy) copy->LoadPreset(EffectSettingsFile().c_str(), EffectSection().c_str());
    std::string error;
    if (!m_offline.Start(path, std::move(copy), error)) {
        Error(error);
        UpdateControls();
        return false;
    }
    m_fileLabel->setText(QStringLiteral("Morphing %1 ...").arg(Q(FileName(path))));
    m_progress->setValue(0);
    Status("morphing " + path);
    UpdateControls();
    return true;
}

void MardrelWindow::OfflineFinished() {
    std::string error;
    const OfflineMorph::Outcome outcome = m_offline.Finish(&error);
    const std::string name = FileName(m_offline.InputPath());
    switch (outcome) {
    case OfflineMorph::Outcome::Done:
        m_progress->setValue(1000);
        m_fileLabel->setText(
            QStringLiteral("%1 morphed (%2 s)")
                .arg(Q(name))
                .arg(static_cast<double>(m_offline.ResultFrames()) / std::max(1, m_offline.Rate()),
                     0, 'f', 1));
        Status(name + " morphed");
        break;
    case OfflineMorph::Outcome::Cancelled:
        m_progress->setValue(0);
        m_fileLabel->setText(QStringLiteral("Morphing %1 was cancelled.").arg(Q(name)));
        Status("morphing " + name + " cancelled");
        break;
    default:
        m_progress->setValue(0);
        m_fileLabel->setText(QStringLiteral("%1 could not be morphed.").arg(Q(name)));
        Error(error);
        break;
    }
    UpdateControls();
}

bool MardrelWindow::PlayMorphed() {
    if (!m_offline.HasResult()) return false;
    if (m_playerUse == PlayerUse::Monitor) SetMonitor(false);
    m_offline.Rewind();
    if (!TakePlayer(&OfflineMorph::PlayResult, &m_offline,
                    static_cast<std::uint16_t>(m_offline.Channels()),
                    static_cast<std::uint32_t>(m_offline.Rate()),
                    static_cast<std::uint32_t>(m_offline.Rate() / 10), 4)) {
        Status("the morphed sound could not be played");
        return false;
    }
    m_playerUse = PlayerUse::Morphed;
    Status("playing the morphed " + FileName(m_offline.InputPath()));
    UpdateControls();
    return true;
}

bool MardrelWindow::SaveMorphed(const std::string& path) {
    std::string error;
    if (!m_offline.Save(path, error)) {
        Error(error);
        return false;
    }
    Status("saved " + path);
    return true;
}

// ---- the clock of the window ----

void MardrelWindow::Tick() {
    if (IsLive()) {
        m_meter->Update(m_live.TakePeak());
        // A copy: the format record is packed, its fields unaligned.
        const std::uint32_t formatRate = m_micro->GetFormat()->nSamplesPerSec;
        const double rate = std::max<std::uint32_t>(1, formatRate);
        const double seconds = static_cast<double>(m_live.CapturedFrames()) / rate;
        QString text = QStringLiteral("Live for %1 s").arg(seconds, 0, 'f', 1);
        if (m_playerUse == PlayerUse::Monitor) {
            text += QStringLiteral(", %1 drop-outs, monitor queue %2 ms")
                        .arg(m_live.LateBlocks())
                        .arg(1000.0 * m_live.MonitorDelayFrames() / rate, 0, 'f', 0);
            // Sound the monitor let go to catch up after the output lost
            // time: heard as small jumps, so it is shown as well.
            if (const std::uint64_t skipped = m_live.SkippedFrames())
                text += QStringLiteral(" (%1 ms skipped)")
                            .arg(1000.0 * static_cast<double>(skipped) / rate, 0, 'f', 0);
        }
        if (IsRecording())
            text += QStringLiteral(", recording %1 s to %2")
                        .arg(static_cast<double>(m_writer.FramesWritten()) / rate, 0, 'f', 1)
                        .arg(Q(FileName(m_writer.Path())));
        m_liveInfo->setText(text);
    }
    if (m_offline.LastOutcome() == OfflineMorph::Outcome::Running) {
        m_progress->setValue(static_cast<int>(m_offline.Progress() * 1000));
        if (m_offline.WorkerDone()) OfflineFinished();
    }
    if (m_playerUse == PlayerUse::Morphed && m_player->GetState() == 2) {
        GivePlayerBack(); // played to its end
        UpdateControls();
    }
}

// ---- messages and commands ----

bool MardrelWindow::event(QEvent* e) {
    if (e->type() != sonvara::CWindowMessageEvent::kType) return QWidget::event(e);
    auto* message = static_cast<sonvara::CWindowMessageEvent*>(e);
    switch (message->Message()) {
    case sonvara::WM_MICRO_ACQUIRED:
        m_microOwned = true;
        break;
    case sonvara::WM_MICRO_LOST:
        // The host has stopped the recording; another module has the
        // microphone now. Everything live ends, the file is completed.
        if (IsLive() || m_microOwned) {
            m_microOwned = false; // it is no longer ours to stop or release
            m_micro->SetCaptureCallback(nullptr, nullptr);
            StopLive("live morphing stopped: another module took the microphone");
        }
        break;
    case sonvara::WM_PLAYER_LOST:
        if (m_playerUse != PlayerUse::None) {
            m_playerUse = PlayerUse::None;
            Status("another module took the player");
            UpdateControls();
        }
        break;
    case sonvara::WM_COMMAND:
        switch (message->WParam()) {
        case sonvara::ID_PLAYER_RECORD:
            IsRecording() ? StopRecording() : (void)StartRecording();
            break;
        case sonvara::ID_PLAYER_STOP:
            if (m_playerUse == PlayerUse::Morphed)
                GivePlayerBack();
            else if (IsLive())
                StopLive();
            UpdateControls();
            break;
        case sonvara::ID_PLAYER_PLAY:
            if (m_playerUse == PlayerUse::None) PlayMorphed();
            break;
        default:
            OnCommand(static_cast<unsigned>(message->WParam()));
            break;
        }
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

bool MardrelWindow::PassMessage(const char*, const char* message) {
    if (!message) return false;
    const std::vector<std::string> paths = suite::ParseOpenMessage(message);
    if (paths.empty()) return false;
    // Bus messages may come from any thread; the window acts on its own.
    const std::string path = paths.front();
    QMetaObject::invokeMethod(
        this, [this, path] { OpenRecording(path); }, Qt::AutoConnection);
    return true;
}

bool MardrelWindow::OnCommand(unsigned id) {
    if (id >= kCmdEffectFirst && id <= kCmdEffectLast) {
        ChooseEffect(static_cast<int>(id - kCmdEffectFirst));
        return true;
    }
    switch (id) {
    case kCmdLive:
        IsLive() ? StopLive() : (void)StartLive();
        return true;
    case kCmdMonitor:
        SetMonitor(!m_monitor);
        return true;
    case kCmdOpenRecording: {
        QString filter = QStringLiteral("Sound files (");
        for (const std::string& ext : SvSupportedFileExtensions())
            filter += QStringLiteral("*%1 ").arg(Q(ext));
        filter += QStringLiteral("*.wav *.flac *.ogg);;All files (*)");
        const QString file =
            QFileDialog::getOpenFileName(this, QStringLiteral("Open Recording"), QString(), filter);
        if (!file.isEmpty()) OpenRecording(file.toStdString());
        return true;
    }
    case kCmdSaveMorphed: {
        if (!m_offline.HasResult()) return true;
        const QFileInfo in(Q(m_offline.InputPath()));
        const QString proposed =
            in.dir().filePath(in.completeBaseName() + QStringLiteral(" (morphed).wav"));
        const QString file = QFileDialog::getSaveFileName(
            this, QStringLiteral("Save Morphed Recording"), proposed,
            QStringLiteral("WAV (*.wav);;FLAC (*.flac);;Ogg Vorbis (*.ogg)"));
        if (!file.isEmpty()) SaveMorphed(file.toStdString());
        return true;
    }
    case kCmdPlayMorphed:
        if (m_playerUse == PlayerUse::Morphed) {
            GivePlayerBack();
            UpdateControls();
        } else {
            PlayMorphed();
        }
        return true;
    case kCmdCancelOffline:
        m_offline.Cancel();
        return true;
    case kCmdLoadPreset: {
        const QString file =
            QFileDialog::getOpenFileName(this, QStringLiteral("Load Preset"), Q(m_settingsFolder),
                                         QStringLiteral("Presets (*.ini *.xml);;All files (*)"));
        if (!file.isEmpty()) LoadPreset(file.toStdString());
        return true;
    }
    case kCmdSavePreset: {
        const QString file = QFileDialog::getSaveFileName(
            this, QStringLiteral("Save Preset"), Q(m_settingsFolder + "Mardrel presets.ini"),
            QStringLiteral("INI presets (*.ini);;XML presets (*.xml)"));
        if (!file.isEmpty()) SavePreset(file.toStdString());
        return true;
    }
    default:
        return false;
    }
}

} // namespace mardrel
