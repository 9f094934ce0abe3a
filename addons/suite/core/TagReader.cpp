#include "core/TagReader.h"

#include <cmath>
#include <cstdlib>
#include <fileref.h>
#include <tpropertymap.h>

#include <attachedpictureframe.h>
#include <flacfile.h>
#include <id3v2tag.h>
#include <mpegfile.h>

namespace suite {

namespace {

std::string Utf8(const TagLib::String& s) {
    return s.to8Bit(true);
}

// "-6.48 dB" -> -6.48; NaN when the text holds no number.
double Number(const TagLib::PropertyMap& map, const char* key) {
    const auto it = map.find(key);
    if (it == map.end() || it->second.isEmpty()) return NAN;
    const std::string text = Utf8(it->second.front());
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || !std::isfinite(value)) return NAN;
    return value;
}

} // namespace

void ReadTags(const std::string& path, TrackInfo& info) {
    info.tagsRead = true;
    TagLib::FileRef file(path.c_str(), true, TagLib::AudioProperties::Fast);
    if (file.isNull()) return;
    if (TagLib::Tag* tag = file.tag()) {
        info.title = Utf8(tag->title());
        info.artist = Utf8(tag->artist());
        info.album = Utf8(tag->album());
        info.track = static_cast<int>(tag->track());
    }
    if (TagLib::AudioProperties* audio = file.audioProperties())
        info.seconds = audio->lengthInMilliseconds() / 1000.0;
    const TagLib::PropertyMap map = file.file()->properties();
    info.trackGain = Number(map, "REPLAYGAIN_TRACK_GAIN");
    info.albumGain = Number(map, "REPLAYGAIN_ALBUM_GAIN");
    info.trackPeak = Number(map, "REPLAYGAIN_TRACK_PEAK");
    info.albumPeak = Number(map, "REPLAYGAIN_ALBUM_PEAK");
}

std::string ReadCoverArt(const std::string& path) {
    TagLib::FileRef ref(path.c_str(), false);
    if (ref.isNull()) return {};
    if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(ref.file())) {
        const auto pictures = flac->pictureList();
        for (const TagLib::FLAC::Picture* p : pictures)
            if (p->type() == TagLib::FLAC::Picture::FrontCover)
                return std::string(p->data().data(), p->data().size());
        if (!pictures.isEmpty())
            return std::string(pictures.front()->data().data(), pictures.front()->data().size());
    }
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(ref.file())) {
        if (TagLib::ID3v2::Tag* tag = mpeg->ID3v2Tag()) {
            const auto frames = tag->frameListMap()["APIC"];
            if (!frames.isEmpty())
                if (auto* picture =
                        dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frames.front()))
                    return std::string(picture->picture().data(), picture->picture().size());
        }
    }
    return {};
}

} // namespace suite
