// Audio files through libsndfile: a reader for the input and a writer that
// builds the output in a temporary file beside the target and only renames
// it into place on Commit, so a failed or interrupted run never leaves a
// half-written output behind (and never spoils an existing file).
#pragma once

#include <cstdint>
#include <string>

struct sf_private_tag;
using SNDFILE = sf_private_tag;

namespace fx {

class AudioReader {
public:
    AudioReader() = default;
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    bool Open(const std::string& path, std::string& error);

    int Channels() const { return m_channels; }
    int SampleRate() const { return m_rate; }
    // Total frames as the file's header states it; 0 when unknown.
    std::int64_t Frames() const { return m_frames; }
    // libsndfile's format word (major type | sample format).
    int Format() const { return m_format; }
    SNDFILE* Handle() const { return m_file; }

    // Reads up to `frames` interleaved frames of float samples (full scale
    // 1.0); fewer only at the end of the file or on an error.
    std::int64_t Read(float* interleaved, std::int64_t frames);
    // True once a read failed (not merely ended); the reason in *error.
    bool Failed(std::string* error = nullptr) const;

private:
    SNDFILE* m_file = nullptr;
    std::string m_path;
    int m_channels = 0;
    int m_rate = 0;
    int m_format = 0;
    std::int64_t m_frames = 0;
};

// The libsndfile format word for a file name's extension (0 when unknown),
// picking the sample format: the input's when the type can hold it, else
// 24-bit PCM for finer input and 16-bit for the rest, else the first usable
// one of float and the compressed formats.
int OutputFormatFor(const std::string& path, int inputFormat, int channels);
// The major type for a file name's extension, 0 when unknown.
int MajorFormatFor(const std::string& path);
// The extensions libsndfile writes, for messages (".wav, .flac, ...").
std::string KnownExtensions();

class AudioWriter {
public:
    AudioWriter() = default;
    // Removes the temporary file unless Commit succeeded.
    ~AudioWriter();
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    // Creates the temporary file beside `path`; `format` from OutputFormatFor.
    // Text tags of `copyTagsFrom` (title, artist ...) are carried over.
    bool Open(const std::string& path, int format, int channels, int rate, SNDFILE* copyTagsFrom,
              std::string& error);
    bool Write(const float* interleaved, std::int64_t frames, std::string& error);
    // Finishes the file, flushes it to disk and renames it over `path`.
    bool Commit(std::string& error);
    // Closes and removes the temporary file.
    void Abandon();

    const std::string& TemporaryPath() const { return m_tempPath; }

private:
    SNDFILE* m_file = nullptr;
    int m_fd = -1;
    std::string m_path;   // as given, for messages
    std::string m_target; // the file replaced: m_path, or what its link points at
    std::string m_tempPath;
    int m_channels = 0;
};

} // namespace fx
