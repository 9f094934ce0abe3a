#include "core/LibraryFiles.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QSaveFile>
#include <cstdlib>
#include <unistd.h>
#include <unordered_map>

namespace suite {

namespace {

bool WriteAtomically(const std::string& path, const QByteArray& bytes, std::string& error) {
    QSaveFile out(QString::fromStdString(path));
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        error = path + ": " + out.errorString().toStdString();
        return false;
    }
    return true;
}

} // namespace

std::string SettingsFolder(const std::string& programDirectory) {
    std::string dir = programDirectory;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    if (!dir.empty() && access(dir.c_str(), W_OK) == 0) return dir;
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"))
        base = std::string(home) + "/.config";
    else
        base = "/tmp";
    dir = base + "/sonvara/";
    QDir().mkpath(QString::fromStdString(dir));
    return dir;
}

bool LibraryFiles::UpdatePlaylist(const std::string& name, const std::vector<std::string>& paths,
                                  std::string& error) {
    // fileDB.dat: the known lines, then the new paths at the end.
    std::vector<std::string> lines;
    {
        QFile in(QString::fromStdString(FileDbPath()));
        if (in.open(QIODevice::ReadOnly)) {
            const QByteArray all = in.readAll();
            qsizetype start = 0;
            while (start < all.size()) {
                qsizetype end = all.indexOf('\n', start);
                if (end < 0) end = all.size();
                QByteArray line = all.mid(start, end - start);
                if (line.endsWith('\r')) line.chop(1);
                lines.push_back(line.toStdString());
                start = end + 1;
            }
        }
    }
    std::unordered_map<std::string, std::size_t> ids;
    for (std::size_t i = 0; i < lines.size(); ++i)
        ids.emplace(lines[i], i);
    const std::size_t known = lines.size();
    std::vector<std::size_t> trackIds;
    for (const std::string& path : paths) {
        if (path.find_first_of("\r\n") != std::string::npos) continue; // cannot be one line
        auto [it, added] = ids.emplace(path, lines.size());
        if (added) lines.push_back(path);
        trackIds.push_back(it->second);
    }

    // playlists.xml: parse first, so a damaged file stops everything before
    // anything is written.
    QDomDocument doc;
    QFile xmlIn(QString::fromStdString(PlaylistsPath()));
    if (xmlIn.exists()) {
        if (!xmlIn.open(QIODevice::ReadOnly)) {
            error = PlaylistsPath() + ": " + xmlIn.errorString().toStdString();
            return false;
        }
        QString message;
        if (!doc.setContent(&xmlIn, &message)) {
            error = PlaylistsPath() + ": " + message.toStdString() + " (left as it is)";
            return false;
        }
    }
    QDomElement root = doc.documentElement();
    if (root.isNull()) {
        doc.appendChild(doc.createProcessingInstruction(
            QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
        root = doc.createElement(QStringLiteral("Library"));
        doc.appendChild(root);
    }
    const QString qname = QString::fromStdString(name);
    QDomElement list;
    for (QDomElement e = root.firstChildElement(QStringLiteral("playlist")); !e.isNull();
         e = e.nextSiblingElement(QStringLiteral("playlist")))
        if (e.attribute(QStringLiteral("Name")) == qname) {
            list = e;
            break;
        }
    if (list.isNull()) {
        list = doc.createElement(QStringLiteral("playlist"));
        list.setAttribute(QStringLiteral("Name"), qname);
        root.appendChild(list);
    }
    while (!list.firstChild().isNull())
        list.removeChild(list.firstChild());
    for (std::size_t id : trackIds) {
        QDomElement t = doc.createElement(QStringLiteral("t"));
        t.setAttribute(QStringLiteral("id"), QString::number(id));
        list.appendChild(t);
    }

    if (lines.size() != known) {
        QByteArray db;
        for (const std::string& line : lines)
            db += QByteArray::fromStdString(line) + '\n';
        if (!WriteAtomically(FileDbPath(), db, error)) return false;
    }
    return WriteAtomically(PlaylistsPath(), doc.toByteArray(2), error);
}

} // namespace suite
