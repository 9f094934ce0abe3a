// MPRIS 2 on the session bus while the module is loaded, so desktop media
// keys and panels control the player: org.mpris.MediaPlayer2.sonvara with
// the root and Player interfaces at /org/mpris/MediaPlayer2. Without a
// session bus it does nothing.
#pragma once

#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QVariantMap>
#include <memory>

namespace suite {

class SuiteWindow;

class MprisService : public QObject {
    Q_OBJECT
public:
    explicit MprisService(SuiteWindow* window);
    ~MprisService() override;
    bool Registered() const { return m_registered; }

    SuiteWindow* Window() const { return m_window; }
    QVariantMap Metadata();
    QString StatusText() const;
    // Emits org.freedesktop.DBus.Properties.PropertiesChanged for Player.
    void PlayerPropertiesChanged(const QVariantMap& changed);

private:
    SuiteWindow* m_window;
    bool m_registered = false;
    QString m_serviceName;
    std::unique_ptr<QTemporaryDir> m_artDir;
    QString m_artFor; // the path whose cover art was written
    QString m_artUrl;
};

} // namespace suite
