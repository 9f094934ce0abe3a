#include "libs/codexa/CoderFormats.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <sndfile.h>

namespace codexa {

namespace {

int Count(int command) {
    int n = 0;
    sf_command(nullptr, command, &n, sizeof n);
    return n;
}

SF_FORMAT_INFO Info(int command, int index) {
    SF_FORMAT_INFO info{};
    info.format = index;
    if (sf_command(nullptr, command, &info, sizeof info) != 0) info = SF_FORMAT_INFO{};
    return info;
}

// Subtypes that name a file type of their own, and the container their files
// have. The library gives extensions for some of them (mp3); Vorbis and Opus
// files are known by the names their users give them.
struct SSubtypeType {
    int subtype;
    int major;
    const char* extension; // null: the library's own
};
constexpr SSubtypeType kSubtypeTypes[] = {
    {SF_FORMAT_VORBIS, SF_FORMAT_OGG, "ogg"},
    {SF_FORMAT_OPUS, SF_FORMAT_OGG, "opus"},
    {SF_FORMAT_MPEG_LAYER_I, SF_FORMAT_MPEG, nullptr},
    {SF_FORMAT_MPEG_LAYER_II, SF_FORMAT_MPEG, nullptr},
    {SF_FORMAT_MPEG_LAYER_III, SF_FORMAT_MPEG, nullptr},
};

// An in-memory file for trial opens: what libsndfile writes is kept, so the
// header it seeks back to patch is there.
struct SMemoryFile {
    std::string bytes;
    sf_count_t pos = 0;
};

sf_count_t MemLength(void* user) {
    return static_cast<sf_count_t>(static_cast<SMemoryFile*>(user)->bytes.size());
}
sf_count_t MemSeek(sf_count_t offset, int whence, void* user) {
    auto* f = static_cast<SMemoryFile*>(user);
    const sf_count_t base = whence == SEEK_CUR   ? f->pos
                            : whence == SEEK_END ? static_cast<sf_count_t>(f->bytes.size())
                                                 : 0;
    f->pos = std::max<sf_count_t>(0, base + offset);
    return f->pos;
}
sf_count_t MemRead(void* ptr, sf_count_t count, void* user) {
    auto* f = static_cast<SMemoryFile*>(user);
    const sf_count_t size = static_cast<sf_count_t>(f->bytes.size());
    const sf_count_t n = std::max<sf_count_t>(0, std::min(count, size - f->pos));
    if (n > 0) std::memcpy(ptr, f->bytes.data() + f->pos, static_cast<std::size_t>(n));
    f->pos += n;
    return n;
}
sf_count_t MemWrite(const void* ptr, sf_count_t count, void* user) {
    auto* f = static_cast<SMemoryFile*>(user);
    const auto end = static_cast<std::size_t>(f->pos + count);
    if (f->bytes.size() < end) f->bytes.resize(end);
    std::memcpy(f->bytes.data() + f->pos, ptr, static_cast<std::size_t>(count));
    f->pos += count;
    return count;
}
sf_count_t MemTell(void* user) {
    return static_cast<SMemoryFile*>(user)->pos;
}

} // namespace

std::vector<SReadableType> ReadableTypes() {
    std::vector<SReadableType> out;
    const auto add = [&out](std::string ext, int major, int subtype) {
        if (ext.empty()) return;
        std::transform(ext.begin(), ext.end(), ext.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        for (const SReadableType& t : out)
            if (t.extension == ext) return;
        out.push_back({std::move(ext), major, subtype});
    };

    std::vector<int> subtypes;
    for (int i = 0, n = Count(SFC_GET_FORMAT_SUBTYPE_COUNT); i < n; ++i)
        subtypes.push_back(Info(SFC_GET_FORMAT_SUBTYPE, i).format);

    for (int i = 0, n = Count(SFC_GET_FORMAT_MAJOR_COUNT); i < n; ++i) {
        const SF_FORMAT_INFO major = Info(SFC_GET_FORMAT_MAJOR, i);
        // Headerless files open only when the reader is told their format.
        if (major.format == 0 || major.format == SF_FORMAT_RAW) continue;
        add(major.extension ? major.extension : "", major.format, 0);
        for (const SSubtypeType& s : kSubtypeTypes) {
            if (s.major != major.format) continue;
            if (std::find(subtypes.begin(), subtypes.end(), s.subtype) == subtypes.end()) continue;
            std::string ext = s.extension ? s.extension : "";
            if (ext.empty()) {
                for (int k = 0, m = static_cast<int>(subtypes.size()); k < m; ++k) {
                    const SF_FORMAT_INFO sub = Info(SFC_GET_FORMAT_SUBTYPE, k);
                    if (sub.format == s.subtype && sub.extension) ext = sub.extension;
                }
            }
            add(ext, major.format, s.subtype);
        }
    }
    return out;
}

std::string ExtensionFilter() {
    std::string text = "Audio files|";
    for (const SReadableType& t : ReadableTypes())
        text += "*." + t.extension + ";";
    return text;
}

std::vector<SContainer> WritableContainers() {
    std::vector<SContainer> out;
    for (int i = 0, n = Count(SFC_GET_FORMAT_MAJOR_COUNT); i < n; ++i) {
        const SF_FORMAT_INFO major = Info(SFC_GET_FORMAT_MAJOR, i);
        if (major.format == 0 || major.format == SF_FORMAT_RAW) continue;
        bool any = false;
        for (int channels : OfferedChannelCounts())
            any = any || !SampleFormatsFor(major.format, 0, channels).empty();
        if (any) out.push_back({major.format, major.name ? major.name : ""});
    }
    return out;
}

std::vector<SSampleFormat> SampleFormatsFor(int major, int sampleRate, int channels) {
    std::vector<SSampleFormat> out;
    for (int i = 0, n = Count(SFC_GET_FORMAT_SUBTYPE_COUNT); i < n; ++i) {
        const SF_FORMAT_INFO sub = Info(SFC_GET_FORMAT_SUBTYPE, i);
        if (sub.format == 0) continue;
        bool writable = sampleRate > 0 && IsWritable(major | sub.format, sampleRate, channels);
        for (std::size_t r = 0; sampleRate <= 0 && !writable && r < OfferedSampleRates().size();
             ++r)
            writable = IsWritable(major | sub.format, OfferedSampleRates()[r], channels);
        if (writable) out.push_back({sub.format, sub.name ? sub.name : ""});
    }
    return out;
}

bool IsWritable(int format, int sampleRate, int channels) {
    if (sampleRate <= 0 || channels <= 0) return false;
    // Sound Designer II keeps its header in a resource fork, which this
    // platform writes as a second file ("._name") beside the sound; a trial
    // open would leave one in the current folder. It is read, not recorded.
    if ((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_SD2) return false;
    // MPEG audio exists only at the nine rates of its standards, in mono or
    // stereo. libsndfile finds that out by starting the encoder, and on that
    // failure does not free it; so ask first and never start it in vain.
    if ((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) {
        static constexpr int kMpegRates[] = {8000,  11025, 12000, 16000, 22050,
                                             24000, 32000, 44100, 48000};
        if (channels > 2 || std::find(std::begin(kMpegRates), std::end(kMpegRates), sampleRate) ==
                                std::end(kMpegRates))
            return false;
    }
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = format;
    if (!sf_format_check(&info)) return false;
    SMemoryFile file;
    SF_VIRTUAL_IO io{MemLength, MemSeek, MemRead, MemWrite, MemTell};
    SNDFILE* sf = sf_open_virtual(&io, SFM_WRITE, &info, &file);
    if (!sf) return false;
    sf_close(sf);
    return true;
}

bool HasQuality(int subtype) {
    switch (subtype & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_VORBIS:
    case SF_FORMAT_OPUS:
    case SF_FORMAT_MPEG_LAYER_I:
    case SF_FORMAT_MPEG_LAYER_II:
    case SF_FORMAT_MPEG_LAYER_III:
        return true;
    default:
        return false;
    }
}

std::string ExtensionFor(int format) {
    const int major = format & SF_FORMAT_TYPEMASK;
    const int subtype = format & SF_FORMAT_SUBMASK;
    for (const SReadableType& t : ReadableTypes())
        if (t.major == major && t.subtype != 0 && t.subtype == subtype) return t.extension;
    for (int i = 0, n = Count(SFC_GET_FORMAT_MAJOR_COUNT); i < n; ++i) {
        const SF_FORMAT_INFO info = Info(SFC_GET_FORMAT_MAJOR, i);
        if (info.format == major && info.extension) return info.extension;
    }
    return {};
}

const std::vector<int>& OfferedSampleRates() {
    static const std::vector<int> rates = {8000,  11025, 16000, 22050, 24000,
                                           32000, 44100, 48000, 88200, 96000};
    return rates;
}

const std::vector<int>& OfferedChannelCounts() {
    static const std::vector<int> channels = {1, 2};
    return channels;
}

} // namespace codexa
