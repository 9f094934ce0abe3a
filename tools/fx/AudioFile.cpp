#include "tools/fx/AudioFile.h"
#include "platform/AsciiCase.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fx {

namespace {

std::string Extension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    return platform::LowerAscii(ext.empty() ? ext : ext.substr(1));
}

// Extensions people use that libsndfile's own list spells differently or
// leaves out, and the sample format they imply.
struct ExtensionAlias {
    const char* extension;
    int major;
    int subtype; // 0: choose as usual
};

constexpr ExtensionAlias kAliases[] = {
    {"wav", SF_FORMAT_WAV, 0},
    {"wave", SF_FORMAT_WAV, 0},
    {"aif", SF_FORMAT_AIFF, 0},
    {"aiff", SF_FORMAT_AIFF, 0},
    {"aifc", SF_FORMAT_AIFF, 0},
    {"flac", SF_FORMAT_FLAC, 0},
    {"ogg", SF_FORMAT_OGG, 0},
    {"oga", SF_FORMAT_OGG, 0},
    {"opus", SF_FORMAT_OGG, SF_FORMAT_OPUS},
    {"au", SF_FORMAT_AU, 0},
    {"snd", SF_FORMAT_AU, 0},
    {"caf", SF_FORMAT_CAF, 0},
    {"w64", SF_FORMAT_W64, 0},
    {"rf64", SF_FORMAT_RF64, 0},
    {"mp3", SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_III},
};

const ExtensionAlias* FindAlias(const std::string& ext) {
    for (const ExtensionAlias& a : kAliases)
        if (ext == a.extension) return &a;
    return nullptr;
}

int MajorFromLibrary(const std::string& ext) {
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) != 0) continue;
        if (info.extension && platform::LowerAscii(info.extension) == ext)
            return info.format & SF_FORMAT_TYPEMASK;
    }
    return 0;
}

bool Usable(int format, int channels) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = 44100;
    return sf_format_check(&info) != 0;
}

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// libsndfile's messages, without the "Error : " some of them start with.
std::string LibraryError(SNDFILE* file) {
    std::string text = sf_strerror(file);
    if (text.rfind("Error : ", 0) == 0) text.erase(0, 8);
    return text;
}

} // namespace

int MajorFormatFor(const std::string& path) {
    std::string ext = Extension(path);
    if (ext.empty()) return 0;
    if (const ExtensionAlias* a = FindAlias(ext)) return a->major;
    return MajorFromLibrary(ext);
}

int OutputFormatFor(const std::string& path, int inputFormat, int channels) {
    std::string ext = Extension(path);
    int major = MajorFormatFor(path);
    if (major == 0) return 0;
    if (const ExtensionAlias* a = FindAlias(ext); a && a->subtype) {
        return Usable(major | a->subtype, channels) ? major | a->subtype : 0;
    }
    // Input finer than 16 bits keeps 24 where its own format does not fit
    // (float into FLAC, say).
    const int input = inputFormat & SF_FORMAT_SUBMASK;
    const bool fine = input == SF_FORMAT_PCM_24 || input == SF_FORMAT_PCM_32 ||
                      input == SF_FORMAT_FLOAT || input == SF_FORMAT_DOUBLE;
    const int candidates[] = {input,
                              fine ? SF_FORMAT_PCM_24 : SF_FORMAT_PCM_16,
                              SF_FORMAT_PCM_16,
                              SF_FORMAT_PCM_24,
                              SF_FORMAT_FLOAT,
                              SF_FORMAT_VORBIS,
                              SF_FORMAT_OPUS,
                              SF_FORMAT_MPEG_LAYER_III,
                              SF_FORMAT_PCM_S8,
                              SF_FORMAT_PCM_U8,
                              SF_FORMAT_ULAW,
                              SF_FORMAT_GSM610};
    for (int subtype : candidates) {
        if (subtype && Usable(major | subtype, channels)) return major | subtype;
    }
    return 0;
}

std::string KnownExtensions() {
    std::string list;
    for (const ExtensionAlias& a : kAliases) {
        if (!list.empty()) list += ", ";
        list += std::string(".") + a.extension;
    }
    return list;
}

// ---------------------------------------------------------------- reader

AudioReader::~AudioReader() {
    if (m_file) sf_close(m_file);
}

bool AudioReader::Open(const std::string& path, std::string& error) {
    m_path = path;
    std::error_code ec;
    auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) {
        error = "cannot read \"" + path + "\": no such file";
        return false;
    }
    if (std::filesystem::is_directory(status)) {
        error = "cannot read \"" + path + "\": it is a folder";
        return false;
    }
    SF_INFO info{};
    m_file = sf_open(path.c_str(), SFM_READ, &info);
    if (!m_file) {
        error = "cannot read \"" + path + "\": " + LibraryError(nullptr);
        return false;
    }
    if (info.channels < 1 || info.samplerate < 1) {
        error = "cannot read \"" + path + "\": it declares " + std::to_string(info.channels) +
                " channels at " + std::to_string(info.samplerate) + " Hz";
        return false;
    }
    m_channels = info.channels;
    m_rate = info.samplerate;
    m_format = info.format;
    m_frames = info.frames > 0 && info.frames < SF_COUNT_MAX ? info.frames : 0;
    return true;
}

std::int64_t AudioReader::Read(float* interleaved, std::int64_t frames) {
    if (!m_file) return 0;
    std::int64_t got = 0;
    // Compressed formats may hand back less than asked before the end.
    while (got < frames) {
        sf_count_t n = sf_readf_float(m_file, interleaved + got * m_channels, frames - got);
        if (n <= 0) break;
        got += n;
    }
    return got;
}

bool AudioReader::Failed(std::string* error) const {
    if (!m_file || sf_error(m_file) == SF_ERR_NO_ERROR) return false;
    if (error) *error = "cannot read \"" + m_path + "\": " + LibraryError(m_file);
    return true;
}

// ---------------------------------------------------------------- writer

AudioWriter::~AudioWriter() {
    Abandon();
}

bool AudioWriter::Open(const std::string& path, int format, int channels, int rate,
                       SNDFILE* copyTagsFrom, std::string& error) {
    Abandon();
    m_path = path;
    m_channels = channels;

    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = "cannot write \"" + path + "\": it is a folder";
        return false;
    }
    // An output that is a symbolic link keeps being one: the file it points
    // at is replaced, as the settings files are.
    m_target = path;
    if (std::filesystem::is_symlink(path, ec)) {
        std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
        if (!ec) m_target = resolved.string();
    }
    m_tempPath = m_target + ".tmpXXXXXX";
    m_fd = ::mkstemp(m_tempPath.data());
    if (m_fd < 0) {
        error = SystemError("cannot write \"" + path + "\"");
        m_tempPath.clear();
        return false;
    }
    // The finished file gets the permissions of the one it replaces, or the
    // usual ones for a new file rather than mkstemp's owner-only 0600.
    struct stat st {};
    if (::stat(m_target.c_str(), &st) == 0) {
        ::fchmod(m_fd, st.st_mode & 07777);
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(m_fd, 0666 & ~mask);
    }

    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = rate;
    m_file = sf_open_fd(m_fd, SFM_WRITE, &info, SF_FALSE);
    if (!m_file) {
        error = "cannot write \"" + path + "\": " + LibraryError(nullptr);
        Abandon();
        return false;
    }
    // Processed audio may peak above full scale; integer formats clip it
    // instead of wrapping round.
    sf_command(m_file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    if (copyTagsFrom) {
        for (int tag = SF_STR_FIRST; tag <= SF_STR_LAST; ++tag) {
            if (const char* text = sf_get_string(copyTagsFrom, tag))
                sf_set_string(m_file, tag, text);
        }
    }
    return true;
}

bool AudioWriter::Write(const float* interleaved, std::int64_t frames, std::string& error) {
    if (!m_file) {
        error = "cannot write \"" + m_path + "\": the file is not open";
        return false;
    }
    if (sf_writef_float(m_file, interleaved, frames) != frames) {
        error = "cannot write \"" + m_path + "\": " + LibraryError(m_file);
        return false;
    }
    return true;
}

bool AudioWriter::Commit(std::string& error) {
    if (!m_file) {
        error = "cannot write \"" + m_path + "\": the file is not open";
        return false;
    }
    // sf_close writes the final header; its result is the only report of a
    // failure there.
    int closed = sf_close(m_file);
    m_file = nullptr;
    if (closed != 0) {
        error = "cannot write \"" + m_path + "\": " + sf_error_number(closed);
        Abandon();
        return false;
    }
    if (::fsync(m_fd) != 0) {
        error = SystemError("cannot write \"" + m_path + "\"");
        Abandon();
        return false;
    }
    int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        error = SystemError("cannot write \"" + m_path + "\"");
        Abandon();
        return false;
    }
    if (::rename(m_tempPath.c_str(), m_target.c_str()) != 0) {
        error = SystemError("cannot put \"" + m_path + "\" in place");
        Abandon();
        return false;
    }
    m_tempPath.clear();
    // The rename itself reaches the disk only with its folder.
    std::filesystem::path folder = std::filesystem::path(m_target).parent_path();
    int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void AudioWriter::Abandon() {
    if (m_file) {
        sf_close(m_file);
        m_file = nullptr;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
}

} // namespace fx
