#include "shell/SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <cstdint>
#include <cstdio>

namespace shell {

namespace {

// A hand-over is a handful of paths; anything larger is not ours.
constexpr qint64 kMaxRequestBytes = 1 << 20;

std::string RuntimeFolder() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    return dir.toStdString();
}

} // namespace

std::string CSingleInstance::NameForSettings(const std::string& settingsFolder) {
    std::uint32_t hash = 2166136261u; // FNV-1a: stable across runs and builds
    for (unsigned char c : settingsFolder)
        hash = (hash ^ c) * 16777619u;
    char name[32];
    std::snprintf(name, sizeof name, "sonvara-%08x.socket", hash);
    return name;
}

CSingleInstance::CSingleInstance(std::string name)
    : m_path(name.find('/') == std::string::npos ? RuntimeFolder() + "/" + name : name) {}

CSingleInstance::~CSingleInstance() {
    if (m_server) m_server->close(); // removes the socket file
}

bool CSingleInstance::SendToRunning(const std::vector<std::string>& files, int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(m_path));
    if (!socket.waitForConnected(timeoutMs)) return false;
    QByteArray request;
    for (const auto& file : files) {
        const QString path = QString::fromStdString(file);
        // URLs and absolute paths pass as they are.
        const bool keep = path.startsWith(QLatin1Char('/')) || path.contains(QLatin1String("://"));
        request += (keep ? path : QFileInfo(path).absoluteFilePath()).toUtf8();
        request += '\n';
    }
    request += '\n';
    socket.write(request);
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(timeoutMs)) return false;
    return socket.readLine().trimmed() == "ok";
}

bool CSingleInstance::Listen(FilesHandler handler) {
    m_handler = std::move(handler);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString path = QString::fromStdString(m_path);
    // Ask before listening: with access options set, Qt moves its new socket
    // over the path and would take the place of a program that runs.
    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(500)) return false;
    // Nobody answers: whatever is there was left by a crashed run.
    QLocalServer::removeServer(path);
    if (!m_server->listen(path)) return false;
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
                if (socket->bytesAvailable() > kMaxRequestBytes) {
                    socket->abort();
                    return;
                }
                const QByteArray data = socket->peek(socket->bytesAvailable());
                if (!data.endsWith("\n\n") && data != "\n") return; // not all there yet
                socket->readAll();
                std::vector<std::string> files;
                for (const QByteArray& line : data.split('\n'))
                    if (!line.isEmpty()) files.push_back(line.toStdString());
                socket->write("ok\n");
                socket->flush();
                if (!files.empty() && m_handler) m_handler(files);
            });
        }
    });
    return true;
}

} // namespace shell
