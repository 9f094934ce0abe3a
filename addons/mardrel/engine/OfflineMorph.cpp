#include "engine/OfflineMorph.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sndfile.h>

namespace mardrel {

namespace {

constexpr std::uint32_t kBlockFrames = 1024;
// Output beyond the input's length accepted before an effect is cut off
// (one that never reports its end would otherwise fill the memory).
constexpr double kMaxTailSeconds = 60.0;

std::string LowerExtension(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot + 1);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

bool Usable(int format, int channels) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = 44100;
    return sf_format_check(&info) != 0;
}

} // namespace

int OutputFormatFor(const std::string& path, int inputFormat, int channels) {
    const std::string ext = LowerExtension(path);
    if (ext.empty()) return 0;
    // Types whose extension libsndfile's own list does not name.
    if (ext == "opus")
        return Usable(SF_FORMAT_OGG | SF_FORMAT_OPUS, channels) ? SF_FORMAT_OGG | SF_FORMAT_OPUS
                                                                : 0;
    if (ext == "mp3")
        return Usable(SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, channels)
                   ? SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III
                   : 0;
    int major = 0;
    if (ext == "wav")
        major = SF_FORMAT_WAV;
    else if (ext == "aif" || ext == "aiff")
        major = SF_FORMAT_AIFF;
    else {
        int count = 0;
        sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
        for (int i = 0; i < count && !major; ++i) {
            SF_FORMAT_INFO info{};
            info.format = i;
            if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) == 0 &&
                info.extension && ext == info.extension)
                major = info.format & SF_FORMAT_TYPEMASK;
        }
    }
    if (!major) return 0;
    const int candidates[] = {inputFormat & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_16, SF_FORMAT_FLOAT,
                              SF_FORMAT_VORBIS};
    for (int subtype : candidates)
        if (subtype && Usable(major | subtype, channels)) return major | subtype;
    return 0;
}

OfflineMorph::~OfflineMorph() {
    Cancel();
    Finish();
}

bool OfflineMorph::Start(const std::string& path, std::unique_ptr<CSimpleEffect> effect,
                         std::string& error) {
    Cancel();
    Finish();
    if (!effect) {
        error = "No effect is chosen.";
        return false;
    }
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        error = "\"" + path + "\" cannot be read as a sound file: " + sf_strerror(nullptr);
        return false;
    }
    if (info.channels < 1 || info.channels > 8 || info.samplerate <= 0) {
        sf_close(file);
        error = "\"" + path + "\" has a sound format the effect cannot take (" +
                std::to_string(info.channels) + " channels at " + std::to_string(info.samplerate) +
                " Hz).";
        return false;
    }
    WAVEFORMATEX wave{};
    wave.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    wave.nChannels = static_cast<std::uint16_t>(info.channels);
    wave.nSamplesPerSec = static_cast<std::uint32_t>(info.samplerate);
    wave.wBitsPerSample = 32;
    wave.nBlockAlign = static_cast<std::uint16_t>(4 * info.channels);
    wave.nAvgBytesPerSec = wave.nSamplesPerSec * wave.nBlockAlign;
    effect->SetStreamCallBack(&OfflineMorph::Input, this);
    if (effect->OpenStream(&wave) != 0) {
        sf_close(file);
        error = std::string("The effect \"") + effect->GetDisplayName() + "\" refused \"" + path +
                "\" (" + std::to_string(info.channels) + " channels at " +
                std::to_string(info.samplerate) + " Hz).";
        return false;
    }
    sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    m_path = path;
    m_effect = std::move(effect);
    m_file = file;
    m_inputFormat = info.format;
    m_channels = info.channels;
    m_rate = info.samplerate;
    m_totalFrames = info.frames;
    m_readBuffer.assign(static_cast<std::size_t>(kBlockFrames) * 8 * 8, 0.0f);
    m_samples.clear();
    m_samples.reserve(static_cast<std::size_t>(std::max<sf_count_t>(info.frames, 0)) *
                      static_cast<std::size_t>(info.channels));
    m_framesRead = 0;
    m_cancel = false;
    m_failed = false;
    m_error.clear();
    m_playFrame = 0;
    m_outcome = Outcome::Running;
    m_workerDone = false;
    m_worker = std::thread([this] { Run(); });
    return true;
}

OfflineMorph::Outcome OfflineMorph::Finish(std::string* error) {
    if (!m_worker.joinable()) return m_outcome;
    m_worker.join();
    m_effect->CloseStream();
    m_effect.reset();
    sf_close(static_cast<SNDFILE*>(m_file));
    m_file = nullptr;
    m_outcome = m_failed ? Outcome::Failed : m_cancel ? Outcome::Cancelled : Outcome::Done;
    if (m_outcome != Outcome::Done) {
        m_samples.clear();
        m_samples.shrink_to_fit();
    }
    if (error) *error = m_error;
    return m_outcome;
}

double OfflineMorph::Progress() const {
    if (m_outcome == Outcome::Done) return 1.0;
    if (m_totalFrames <= 0) return 0.0;
    return std::min(1.0,
                    static_cast<double>(m_framesRead.load()) / static_cast<double>(m_totalFrames));
}

std::uint32_t OfflineMorph::Input(void* user, StreamBuffer* buffer) {
    auto* self = static_cast<OfflineMorph*>(user);
    const auto channels = static_cast<std::size_t>(self->m_channels);
    std::uint32_t done = 0;
    // The effect may ask for more than one read buffer (its priming).
    while (done < buffer->frames) {
        const std::size_t room = self->m_readBuffer.size() / channels;
        const auto want =
            static_cast<sf_count_t>(std::min<std::size_t>(buffer->frames - done, room));
        const sf_count_t got =
            sf_readf_float(static_cast<SNDFILE*>(self->m_file), self->m_readBuffer.data(), want);
        if (got <= 0) break;
        for (std::size_t c = 0; c < buffer->channels.size() && c < channels; ++c)
            for (sf_count_t f = 0; f < got; ++f)
                buffer->channels[c][done + f] =
                    self->m_readBuffer[static_cast<std::size_t>(f) * channels + c];
        done += static_cast<std::uint32_t>(got);
        self->m_framesRead += got;
        if (got < want) break;
    }
    return done;
}

void OfflineMorph::Run() {
    const auto channels = static_cast<std::size_t>(m_channels);
    std::vector<float> planar(channels * kBlockFrames);
    StreamBuffer block;
    for (std::size_t c = 0; c < channels; ++c)
        block.channels.push_back(planar.data() + c * kBlockFrames);
    const auto maxFrames = static_cast<std::uint64_t>(std::max<std::int64_t>(m_totalFrames, 0)) +
                           static_cast<std::uint64_t>(kMaxTailSeconds * m_rate);
    std::uint64_t produced = 0;
    while (!m_cancel) {
        block.frames = kBlockFrames;
        block.valid = 0;
        const std::uint32_t got = m_effect->ProcessStream(&block);
        if (got == 0) break;
        if (got > kBlockFrames) {
            m_error = "The effect returned more sound than it was asked for.";
            m_failed = true;
            break;
        }
        for (std::uint32_t f = 0; f < got; ++f)
            for (std::size_t c = 0; c < channels; ++c)
                m_samples.push_back(block.channels[c][f]);
        produced += got;
        if (produced > maxFrames) break; // a tail that never ends
    }
    m_workerDone = true;
}

bool OfflineMorph::Save(const std::string& path, std::string& error) const {
    if (!HasResult()) {
        error = "There is no morphed sound to save.";
        return false;
    }
    const int format = OutputFormatFor(path, m_inputFormat, m_channels);
    if (!format) {
        error = "\"" + path + "\": no sound file type is known for this name's extension.";
        return false;
    }
    // Beside the target, so the rename stays on one file system.
    const std::string part = path + ".part";
    SF_INFO info{};
    info.format = format;
    info.channels = m_channels;
    info.samplerate = m_rate;
    SNDFILE* file = sf_open(part.c_str(), SFM_WRITE, &info);
    if (!file) {
        error = "Cannot write \"" + path + "\": " + sf_strerror(nullptr);
        return false;
    }
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    const auto frames = static_cast<sf_count_t>(ResultFrames());
    const bool written = sf_writef_float(file, m_samples.data(), frames) == frames;
    const std::string reason = sf_strerror(file);
    const bool closed = sf_close(file) == 0;
    if (!written || !closed || std::rename(part.c_str(), path.c_str()) != 0) {
        std::remove(part.c_str());
        error =
            "Cannot write \"" + path + "\": " + (written ? "the file was not completed" : reason);
        return false;
    }
    return true;
}

std::uint32_t OfflineMorph::PlayResult(void* user, StreamBuffer* block, std::uint32_t) {
    auto* self = static_cast<OfflineMorph*>(user);
    if (block->channels.empty()) return 0; // end or detach call
    const auto channels = static_cast<std::size_t>(self->m_channels);
    const std::uint64_t total = self->ResultFrames();
    const std::uint64_t at = self->m_playFrame.load();
    if (at >= total || channels == 0) return 0;
    const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(block->frames, total - at));
    for (std::size_t c = 0; c < block->channels.size(); ++c) {
        const std::size_t from = std::min(c, channels - 1);
        for (std::uint32_t f = 0; f < n; ++f)
            block->channels[c][f] = self->m_samples[(at + f) * channels + from];
    }
    block->valid = n;
    self->m_playFrame = at + n;
    return n;
}

} // namespace mardrel
