#include "core/PlaylistFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QString>
#include <QStringDecoder>
#include <QUrl>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>

namespace suite {

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// UTF-8 when the bytes are valid UTF-8, else Latin-1 (old M3U files).
QString Decode(std::string_view bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (utf8.hasError())
        text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    return text;
}

// A location from a playlist as a local path; empty for URLs of other
// schemes (counted) and for nothing at all.
std::string Resolve(QString location, const QString& baseDir, std::size_t& skippedUrls) {
    location = location.trimmed();
    if (location.isEmpty() || location.contains(QChar(0))) return {};
    const int colon = location.indexOf(QLatin1Char(':'));
    // "C:\..." is a drive letter, not a scheme, but it names nothing here.
    if (colon > 1 && location.left(colon).contains(
                         QRegularExpression(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*$")))) {
        const QUrl url(location);
        if (!url.isLocalFile()) {
            ++skippedUrls;
            return {};
        }
        location = url.toLocalFile();
        if (location.isEmpty()) return {};
    }
    if (!location.startsWith(QLatin1Char('/'))) {
        // Playlists written on Windows separate folders with backslashes.
        location.replace(QLatin1Char('\\'), QLatin1Char('/'));
        location = baseDir + QLatin1Char('/') + location;
    }
    return QDir::cleanPath(location).toStdString();
}

// A duration read from a file: unknown (-1) unless a finite number of
// seconds a track can have (NaN, infinity or 1e300 would be written back as
// garbage).
double Duration(double value, bool ok) {
    return ok && value >= 0 && value < 1e9 ? value : -1.0;
}

// How a path stands on a line of its own in M3U or PLS: as it is, or as a
// file:// URL when the reader would not give it back whole (whitespace at
// either end is trimmed off a line, a line break ends it).
std::string LinePath(const std::string& path) {
    const QString text = QString::fromStdString(path);
    if (text == text.trimmed() && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return path;
    return QUrl::fromLocalFile(text).toEncoded().toStdString();
}

void Add(PlaylistReadResult& result, std::string path, QString title, double seconds) {
    if (path.empty()) return;
    if (result.items.size() >= kMaxPlaylistItems) {
        result.truncated = true;
        return;
    }
    result.items.push_back({std::move(path), title.trimmed().toStdString(), seconds});
}

void ParseM3u(const QString& text, const QString& base, PlaylistReadResult& result) {
    QString title;
    double seconds = -1.0;
    for (QStringView line : QStringView(text).tokenize(QLatin1Char('\n'))) {
        if (result.truncated) break;
        line = line.trimmed();
        if (line.isEmpty()) continue;
        if (line.startsWith(QLatin1Char('#'))) {
            if (line.startsWith(QLatin1String("#EXTINF:"))) {
                const QStringView rest = line.mid(8);
                const qsizetype comma = rest.indexOf(QLatin1Char(','));
                bool ok = false;
                const double value = rest.left(comma < 0 ? rest.size() : comma).toDouble(&ok);
                seconds = Duration(value, ok);
                title = comma < 0 ? QString() : rest.mid(comma + 1).toString();
            }
            continue;
        }
        Add(result, Resolve(line.toString(), base, result.skippedUrls), title, seconds);
        title.clear();
        seconds = -1.0;
    }
}

void ParsePls(const QString& text, const QString& base, PlaylistReadResult& result) {
    struct Entry {
        QString file, title;
        double seconds = -1.0;
    };
    std::map<long, Entry> entries; // by the number after File/Title/Length
    for (QStringView line : QStringView(text).tokenize(QLatin1Char('\n'))) {
        line = line.trimmed();
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) continue;
        const QString key = line.left(eq).trimmed().toString().toLower();
        const QStringView value = line.mid(eq + 1).trimmed();
        int prefix = 0;
        if (key.startsWith(QLatin1String("file")))
            prefix = 4;
        else if (key.startsWith(QLatin1String("title")))
            prefix = 5;
        else if (key.startsWith(QLatin1String("length")))
            prefix = 6;
        else
            continue;
        bool ok = false;
        const long n = key.mid(prefix).toLong(&ok);
        if (!ok || n < 0 || n > 10000000) continue;
        if (entries.size() >= kMaxPlaylistItems && !entries.count(n)) {
            result.truncated = true;
            continue;
        }
        Entry& e = entries[n];
        if (prefix == 4)
            e.file = value.toString();
        else if (prefix == 5)
            e.title = value.toString();
        else {
            const double s = value.toDouble(&ok);
            e.seconds = Duration(s, ok);
        }
    }
    for (auto& [n, e] : entries)
        Add(result, Resolve(e.file, base, result.skippedUrls), e.title, e.seconds);
}

void ParseXspf(std::string_view bytes, const QString& base, PlaylistReadResult& result) {
    QXmlStreamReader xml(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    QString location, title;
    double seconds = -1.0;
    bool inTrack = false;
    int depth = 0;
    while (!xml.atEnd() && !result.truncated) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            // Deeply nested junk is not a playlist.
            if (++depth > 64) break;
            const auto name = xml.name();
            if (name == QLatin1String("track")) {
                inTrack = true;
                location.clear();
                title.clear();
                seconds = -1.0;
            } else if (inTrack && name == QLatin1String("location") && location.isEmpty()) {
                location = xml.readElementText(QXmlStreamReader::SkipChildElements);
                --depth;
            } else if (inTrack && name == QLatin1String("title")) {
                title = xml.readElementText(QXmlStreamReader::SkipChildElements);
                --depth;
            } else if (inTrack && name == QLatin1String("duration")) {
                bool ok = false;
                const double ms =
                    xml.readElementText(QXmlStreamReader::SkipChildElements).toDouble(&ok);
                seconds = Duration(ms / 1000.0, ok);
                --depth;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
            if (xml.name() == QLatin1String("track") && inTrack) {
                inTrack = false;
                Add(result, Resolve(location, base, result.skippedUrls), title, seconds);
            }
        }
    }
}

} // namespace

PlaylistFormat FormatFromPath(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos) return PlaylistFormat::Unknown;
    const std::string ext = Lower(path.substr(dot + 1));
    if (ext == "m3u" || ext == "m3u8") return PlaylistFormat::M3U;
    if (ext == "pls") return PlaylistFormat::PLS;
    if (ext == "xspf") return PlaylistFormat::XSPF;
    return PlaylistFormat::Unknown;
}

PlaylistReadResult ParsePlaylist(std::string_view bytes, PlaylistFormat format,
                                 const std::string& baseDir) {
    PlaylistReadResult result;
    if (bytes.size() > kMaxPlaylistBytes) bytes = bytes.substr(0, kMaxPlaylistBytes);
    const QString base = QString::fromStdString(baseDir);
    switch (format) {
    case PlaylistFormat::M3U:
        ParseM3u(Decode(bytes), base, result);
        break;
    case PlaylistFormat::PLS:
        ParsePls(Decode(bytes), base, result);
        break;
    case PlaylistFormat::XSPF:
        ParseXspf(bytes, base, result);
        break;
    case PlaylistFormat::Unknown:
        break;
    }
    return result;
}

std::string FormatPlaylist(const std::vector<PlaylistItem>& items, PlaylistFormat format) {
    std::string out;
    char number[64];
    if (format == PlaylistFormat::M3U) {
        out = "#EXTM3U\n";
        for (const PlaylistItem& item : items) {
            if (item.seconds >= 0 || !item.title.empty()) {
                std::snprintf(number, sizeof number, "%ld",
                              item.seconds >= 0 ? std::lround(item.seconds) : -1L);
                std::string title = item.title;
                std::replace(title.begin(), title.end(), '\n', ' ');
                out += "#EXTINF:" + std::string(number) + "," + title + "\n";
            }
            out += LinePath(item.path) + "\n";
        }
    } else if (format == PlaylistFormat::PLS) {
        out = "[playlist]\n";
        for (std::size_t i = 0; i < items.size(); ++i) {
            const std::string n = std::to_string(i + 1);
            std::string title = items[i].title;
            std::replace(title.begin(), title.end(), '\n', ' ');
            out += "File" + n + "=" + LinePath(items[i].path) + "\n";
            if (!title.empty()) out += "Title" + n + "=" + title + "\n";
            std::snprintf(number, sizeof number, "%ld",
                          items[i].seconds >= 0 ? std::lround(items[i].seconds) : -1L);
            out += "Length" + n + "=" + number + "\n";
        }
        out += "NumberOfEntries=" + std::to_string(items.size()) + "\nVersion=2\n";
    } else if (format == PlaylistFormat::XSPF) {
        QByteArray bytes;
        QXmlStreamWriter xml(&bytes);
        xml.setAutoFormatting(true);
        xml.writeStartDocument();
        xml.writeStartElement(QStringLiteral("playlist"));
        xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1"));
        xml.writeDefaultNamespace(QStringLiteral("http://xspf.org/ns/0/"));
        xml.writeStartElement(QStringLiteral("trackList"));
        for (const PlaylistItem& item : items) {
            xml.writeStartElement(QStringLiteral("track"));
            xml.writeTextElement(
                QStringLiteral("location"),
                QString::fromLatin1(
                    QUrl::fromLocalFile(QString::fromStdString(item.path)).toEncoded()));
            if (!item.title.empty())
                xml.writeTextElement(QStringLiteral("title"), QString::fromStdString(item.title));
            if (item.seconds >= 0)
                xml.writeTextElement(QStringLiteral("duration"),
                                     QString::number(std::llround(item.seconds * 1000.0)));
            xml.writeEndElement();
        }
        xml.writeEndDocument();
        out = bytes.toStdString();
    }
    return out;
}

bool ReadPlaylistFile(const std::string& file, PlaylistReadResult& result, std::string& error) {
    const PlaylistFormat format = FormatFromPath(file);
    if (format == PlaylistFormat::Unknown) {
        error = "not a playlist type this player reads (M3U, M3U8, PLS, XSPF)";
        return false;
    }
    QFile in(QString::fromStdString(file));
    if (!in.open(QIODevice::ReadOnly)) {
        error = in.errorString().toStdString();
        return false;
    }
    if (in.size() > static_cast<qint64>(kMaxPlaylistBytes)) {
        error = "the playlist is too large";
        return false;
    }
    const QByteArray bytes = in.readAll();
    const std::string base = QFileInfo(in).absolutePath().toStdString();
    result = ParsePlaylist(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), format, base);
    return true;
}

bool WritePlaylistFile(const std::string& file, const std::vector<PlaylistItem>& items,
                       std::string& error) {
    PlaylistFormat format = FormatFromPath(file);
    if (format == PlaylistFormat::Unknown) format = PlaylistFormat::M3U;
    const std::string text = FormatPlaylist(items, format);
    QSaveFile out(QString::fromStdString(file));
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !out.commit()) {
        error = out.errorString().toStdString();
        return false;
    }
    return true;
}

} // namespace suite
