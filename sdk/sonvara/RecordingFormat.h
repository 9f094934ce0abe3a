// The recording format the user chose on the coders' panel (Sound Format
// dialog), for modules that write what they record to a file.
//
// It lives in config.ini, in the host's parameter section "[Main frame:
// params]", so a module reads it through IApplication::GetParam with the
// owner "Main frame" and these keys:
//
//   RecordingFormat      the libsndfile format word, major type | subtype
//                        (SF_FORMAT_WAV | SF_FORMAT_PCM_16 = "0x010002"), in
//                        hex; pass it as SF_INFO::format to sf_open
//   RecordingSampleRate  samples per second, decimal ("44100")
//   RecordingChannels    channel count, decimal ("1")
//   RecordingQuality     0 to 100, only for lossy subtypes (Vorbis, Opus,
//                        MPEG); pass quality / 100.0 to sf_command with
//                        SFC_SET_VBR_ENCODING_QUALITY after sf_open
//   RecordingExtension   the file name extension for that type, without the
//                        dot ("wav", "flac", "ogg", "opus", "mp3")
//
// Every combination the panel writes was accepted by libsndfile for writing.
// Missing keys mean the default below (16-bit PCM WAV, 44100 Hz, mono: the
// microphone's own default format). SvReadRecordingFormat does all of this.
//
// Window thread only (IApplication's rule).
#pragma once

#include "sonvara/IApplication.h"

#include <cstdlib>
#include <string>

inline constexpr const char* kSvRecordingOwner = "Main frame";
inline constexpr const char* kSvRecordingFormatKey = "RecordingFormat";
inline constexpr const char* kSvRecordingSampleRateKey = "RecordingSampleRate";
inline constexpr const char* kSvRecordingChannelsKey = "RecordingChannels";
inline constexpr const char* kSvRecordingQualityKey = "RecordingQuality";
inline constexpr const char* kSvRecordingExtensionKey = "RecordingExtension";

struct SvRecordingFormat {
    int format = 0x010002; // SF_FORMAT_WAV | SF_FORMAT_PCM_16
    int sampleRate = 44100;
    int channels = 1;
    int quality = -1; // -1: the subtype has none
    std::string extension = "wav";
};

inline SvRecordingFormat SvReadRecordingFormat(IApplication* app) {
    SvRecordingFormat f;
    if (!app) return f;
    char buffer[64];
    const auto read = [&](const char* key) -> const char* {
        buffer[0] = '\0';
        return app->GetParam(kSvRecordingOwner, key, buffer, sizeof buffer) ? buffer : nullptr;
    };
    const auto number = [](const char* text, int& out) {
        char* end = nullptr;
        const long v = std::strtol(text, &end, 0);
        if (end != text && v > 0 && v <= 0x7FFFFFFF) out = static_cast<int>(v);
    };
    if (const char* v = read(kSvRecordingFormatKey)) number(v, f.format);
    if (const char* v = read(kSvRecordingSampleRateKey)) number(v, f.sampleRate);
    if (const char* v = read(kSvRecordingChannelsKey)) number(v, f.channels);
    if (const char* v = read(kSvRecordingQualityKey)) {
        const int q = std::atoi(v);
        f.quality = q < 0 ? 0 : q > 100 ? 100 : q;
    }
    if (const char* v = read(kSvRecordingExtensionKey)) f.extension = v;
    return f;
}
