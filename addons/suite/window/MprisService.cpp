#include "window/MprisService.h"

#include "core/TagReader.h"
#include "window/SuiteWindow.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFile>
#include <QUrl>
#include <algorithm>

namespace suite {

namespace {

constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";

QDBusObjectPath TrackId(int row) {
    return QDBusObjectPath(row >= 0 ? QStringLiteral("/org/sonvara/track/%1").arg(row)
                                    : QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
}

class RootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ False)
    Q_PROPERTY(bool CanRaise READ False)
    Q_PROPERTY(bool HasTrackList READ False)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ Schemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ MimeTypes)
public:
    explicit RootAdaptor(QObject* parent) : QDBusAbstractAdaptor(parent) {}
    bool False() const { return false; }
    QString Identity() const { return QStringLiteral("Sonvara"); }
    QString DesktopEntry() const { return QStringLiteral("sonvara"); }
    QStringList Schemes() const { return {QStringLiteral("file")}; }
    QStringList MimeTypes() const {
        return {QStringLiteral("audio/flac"), QStringLiteral("audio/ogg"),
                QStringLiteral("audio/mpeg"), QStringLiteral("audio/x-wav"),
                QStringLiteral("audio/opus")};
    }
public Q_SLOTS:
    void Raise() {}
    void Quit() {}
};

class PlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(double Rate READ One WRITE SetRate)
    Q_PROPERTY(double MinimumRate READ One)
    Q_PROPERTY(double MaximumRate READ One)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(bool CanGoNext READ True)
    Q_PROPERTY(bool CanGoPrevious READ True)
    Q_PROPERTY(bool CanPlay READ True)
    Q_PROPERTY(bool CanPause READ True)
    Q_PROPERTY(bool CanSeek READ True)
    Q_PROPERTY(bool CanControl READ True)
public:
    explicit PlayerAdaptor(MprisService* service)
        : QDBusAbstractAdaptor(service), m_service(service) {}
    QString PlaybackStatus() const { return m_service->StatusText(); }
    double One() const { return 1.0; }
    void SetRate(double) {}
    QVariantMap Metadata() const { return m_service->Metadata(); }
    double Volume() const { return m_service->Window()->Volume() / 100.0; }
    void SetVolume(double v) {
        m_service->Window()->SetVolume(static_cast<unsigned>(std::clamp(v, 0.0, 1.0) * 100 + 0.5));
        m_service->PlayerPropertiesChanged({{QStringLiteral("Volume"), Volume()}});
    }
    qlonglong Position() const {
        return static_cast<qlonglong>(m_service->Window()->PositionSeconds() * 1e6);
    }
    bool True() const { return true; }

public Q_SLOTS:
    void Play() { m_service->Window()->PlayOrResume(); }
    void Pause() {
        if (m_service->Window()->PlaybackStatus() == SuiteWindow::Status::Playing)
            m_service->Window()->Pause();
    }
    void PlayPause() {
        if (m_service->Window()->PlaybackStatus() == SuiteWindow::Status::Playing)
            m_service->Window()->Pause();
        else
            m_service->Window()->PlayOrResume();
    }
    void Stop() { m_service->Window()->StopPlayback(); }
    void Next() { m_service->Window()->Next(); }
    void Previous() { m_service->Window()->Previous(); }
    void Seek(qlonglong offset) {
        SuiteWindow* w = m_service->Window();
        w->SeekTo(w->PositionSeconds() + static_cast<double>(offset) / 1e6);
    }
    void SetPosition(const QDBusObjectPath& track, qlonglong position) {
        SuiteWindow* w = m_service->Window();
        if (track == TrackId(w->CurrentRow())) w->SeekTo(static_cast<double>(position) / 1e6);
    }
    void OpenUri(const QString& uri) {
        const QUrl url(uri);
        if (url.isLocalFile()) m_service->Window()->Add({url.toLocalFile().toStdString()}, true);
    }
Q_SIGNALS:
    void Seeked(qlonglong position);

private:
    MprisService* m_service;
};

} // namespace

MprisService::MprisService(SuiteWindow* window) : QObject(window), m_window(window) {
    new RootAdaptor(this);
    auto* player = new PlayerAdaptor(this);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    // A second instance of the program takes a name of its own.
    m_serviceName = QStringLiteral("org.mpris.MediaPlayer2.sonvara");
    if (!bus.registerService(m_serviceName)) {
        m_serviceName += QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
        if (!bus.registerService(m_serviceName)) return;
    }
    m_registered = bus.registerObject(QString::fromLatin1(kObjectPath), this);
    connect(window, &SuiteWindow::StatusChanged, this, [this] {
        PlayerPropertiesChanged({{QStringLiteral("PlaybackStatus"), StatusText()}});
    });
    connect(window, &SuiteWindow::TrackChanged, this, [this] {
        PlayerPropertiesChanged({{QStringLiteral("Metadata"), Metadata()}});
    });
    connect(window, &SuiteWindow::Seeked, player, [player](double seconds) {
        Q_EMIT player->Seeked(static_cast<qlonglong>(seconds * 1e6));
    });
}

MprisService::~MprisService() {
    if (m_registered) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
        bus.unregisterService(m_serviceName);
    }
}

QString MprisService::StatusText() const {
    switch (m_window->PlaybackStatus()) {
    case SuiteWindow::Status::Playing:
        return QStringLiteral("Playing");
    case SuiteWindow::Status::Paused:
        return QStringLiteral("Paused");
    default:
        return QStringLiteral("Stopped");
    }
}

QVariantMap MprisService::Metadata() {
    QVariantMap map;
    const int row = m_window->CurrentRow();
    map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(TrackId(row)));
    if (row < 0) return map;
    const PlaylistEntry& e = m_window->GetPlaylist().At(static_cast<std::size_t>(row));
    map.insert(QStringLiteral("xesam:title"), QString::fromStdString(DisplayTitle(e)));
    if (!e.info.artist.empty())
        map.insert(QStringLiteral("xesam:artist"),
                   QStringList{QString::fromStdString(e.info.artist)});
    if (!e.info.album.empty())
        map.insert(QStringLiteral("xesam:album"), QString::fromStdString(e.info.album));
    if (e.info.track > 0) map.insert(QStringLiteral("xesam:trackNumber"), e.info.track);
    const double length = m_window->CurrentLength();
    if (length > 0)
        map.insert(QStringLiteral("mpris:length"), static_cast<qlonglong>(length * 1e6));
    const QString path = QString::fromStdString(e.path);
    map.insert(QStringLiteral("xesam:url"), QUrl::fromLocalFile(path).toString());
    // The embedded cover, written once per track to a private folder.
    if (m_artFor != path) {
        m_artFor = path;
        m_artUrl.clear();
        const std::string art = ReadCoverArt(e.path);
        if (!art.empty()) {
            if (!m_artDir) m_artDir = std::make_unique<QTemporaryDir>();
            QFile out(m_artDir->filePath(QStringLiteral("cover")));
            if (m_artDir->isValid() && out.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                out.write(art.data(), static_cast<qint64>(art.size())) ==
                    static_cast<qint64>(art.size()))
                m_artUrl = QUrl::fromLocalFile(out.fileName()).toString();
        }
    }
    if (!m_artUrl.isEmpty()) map.insert(QStringLiteral("mpris:artUrl"), m_artUrl);
    return map;
}

void MprisService::PlayerPropertiesChanged(const QVariantMap& changed) {
    if (!m_registered) return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

} // namespace suite

#include "MprisService.moc"
