// One program per desktop session and settings folder: the first start listens on a local
// socket in the user's runtime folder; a later start that names files hands
// them to it and ends, so a file manager opening a song while sonvara runs
// adds it to the running program instead of starting a second one.
//
// Protocol: the later start connects, writes each file as an absolute path
// followed by '\n', then an empty line, and waits for "ok\n". A socket left
// by a program that crashed answers no connection and is replaced.
// Window thread.
#pragma once

#include <QObject>
#include <functional>
#include <string>
#include <vector>

class QLocalServer;

namespace shell {

class CSingleInstance : public QObject {
    Q_OBJECT
public:
    using FilesHandler = std::function<void(const std::vector<std::string>&)>;

    // name: the socket's file name inside the runtime folder ($XDG_RUNTIME_DIR,
    // else the temporary folder), or a full path; tests choose their own.
    explicit CSingleInstance(std::string name);
    // The socket of the programs that share this settings folder: a
    // portable copy with its own settings runs beside an installed one.
    static std::string NameForSettings(const std::string& settingsFolder);
    ~CSingleInstance() override;

    std::string SocketPath() const { return m_path; }

    // Hands files to a running program; true when it took them. Relative
    // paths are made absolute first, since the running program's working
    // folder is another.
    bool SendToRunning(const std::vector<std::string>& files, int timeoutMs = 3000) const;

    // Becomes the running program: files that later starts send go to
    // handler. False when the socket cannot be made (then each start runs
    // on its own, as before).
    bool Listen(FilesHandler handler);

private:
    std::string m_path;
    QLocalServer* m_server = nullptr;
    FilesHandler m_handler;
};

} // namespace shell
