#include "tools/fx/ProcessLoop.h"

#include "sonvara/StreamBuffer.h"
#include "sonvara/WaveFormat.h"

#include <algorithm>
#include <vector>

namespace fx {

namespace {

// What the input callback needs. Everything is sized before the stream
// opens: the callback runs inside ProcessStream and only copies.
struct InputContext {
    AudioReader* reader = nullptr;
    std::vector<float> scratch; // interleaved, scratchFrames × channels
    std::uint32_t scratchFrames = 0;
    std::uint32_t channels = 0;
    std::uint64_t framesIn = 0;
    bool ended = false;
};

// The plug-in's input: fills each channel of the buffer from index 0 and
// returns the frames supplied, fewer than asked (down to 0) once the file
// ends. The plug-in may ask for any count (its priming asks for more than a
// block), so the file is read in scratch-sized pieces. Must not throw: it
// runs inside the plug-in.
std::uint32_t ReadInput(void* user, StreamBuffer* buffer) noexcept {
    auto* ctx = static_cast<InputContext*>(user);
    if (!ctx || !buffer || ctx->ended) return 0;
    const std::uint32_t wanted = buffer->frames;
    const std::size_t channels =
        std::min<std::size_t>(buffer->channels.size(), static_cast<std::size_t>(ctx->channels));
    std::uint32_t got = 0;
    while (got < wanted) {
        std::uint32_t piece = std::min(wanted - got, ctx->scratchFrames);
        auto n = static_cast<std::uint32_t>(ctx->reader->Read(ctx->scratch.data(), piece));
        for (std::size_t c = 0; c < channels; ++c) {
            float* out = buffer->channels[c];
            if (!out) continue;
            const float* in = ctx->scratch.data() + c;
            for (std::uint32_t i = 0; i < n; ++i)
                out[got + i] = in[i * ctx->channels];
        }
        got += n;
        if (n < piece) {
            ctx->ended = true;
            break;
        }
    }
    ctx->framesIn += got;
    return got;
}

} // namespace

bool RunStream(const EffectPlugin& plugin, const PluginInstance& instance, AudioReader& reader,
               AudioWriter& writer, const ProcessConfig& config, ProcessReport& report,
               std::string& error) {
    const PluginExports& e = plugin.Exports();
    const auto channels = static_cast<std::uint32_t>(reader.Channels());
    const auto rate = static_cast<std::uint32_t>(reader.SampleRate());
    const std::uint32_t block = std::max<std::uint32_t>(config.blockFrames, 1);
    report = {};

    InputContext ctx;
    ctx.reader = &reader;
    ctx.channels = channels;
    ctx.scratchFrames = std::max<std::uint32_t>(block, 4096);
    ctx.scratch.assign(static_cast<std::size_t>(ctx.scratchFrames) * channels, 0.0f);

    // Planar buffers for the plug-in, interleaved ones for the file.
    std::vector<std::vector<float>> planes(channels, std::vector<float>(block, 0.0f));
    std::vector<float> interleaved(static_cast<std::size_t>(block) * channels, 0.0f);
    StreamBuffer buffer;
    buffer.channels.resize(channels);

    if (!e.SetStreamCallBack(&ReadInput, &ctx, instance.get())) {
        error = "the plug-in did not accept the input callback";
        return false;
    }
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    format.nChannels = static_cast<std::uint16_t>(channels);
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = 32;
    format.nBlockAlign = static_cast<std::uint16_t>(channels * sizeof(float));
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    // OpenStream reports success as 0.
    if (channels > 0xFFFF || e.OpenStream(instance.get(), &format) != 0) {
        error = "the plug-in cannot process " + std::to_string(channels) +
                (channels == 1 ? " channel" : " channels") + " at " + std::to_string(rate) + " Hz";
        e.CloseStream(instance.get());
        return false;
    }

    const auto maxTail = static_cast<std::uint64_t>(config.maxTailSeconds * rate);
    bool ok = true;
    for (;;) {
        if (config.cancel && config.cancel->load()) {
            report.interrupted = true;
            break;
        }
        // Reset every field the plug-in might have left changed (a shrunken
        // list is grown back within its capacity, without allocating).
        if (buffer.channels.size() != channels) buffer.channels.resize(channels);
        for (std::uint32_t c = 0; c < channels; ++c)
            buffer.channels[c] = planes[c].data();
        buffer.frames = block;
        buffer.valid = 0;

        std::uint32_t produced = e.ProcessStream(&buffer, instance.get());
        if (reader.Failed(&error)) {
            ok = false;
            break;
        }
        if (produced == 0) break;
        if (produced > block) {
            error = "the plug-in reported " + std::to_string(produced) +
                    " frames for a buffer of " + std::to_string(block);
            ok = false;
            break;
        }
        for (std::uint32_t c = 0; c < channels; ++c) {
            const float* in = planes[c].data();
            for (std::uint32_t i = 0; i < produced; ++i)
                interleaved[i * channels + c] = in[i];
        }
        if (!writer.Write(interleaved.data(), produced, error)) {
            ok = false;
            break;
        }
        report.framesOut += produced;
        report.framesIn = ctx.framesIn;
        if (config.progress) config.progress(ctx.framesIn);
        if (report.framesOut > ctx.framesIn + maxTail) {
            report.cutOff = true;
            break;
        }
    }
    report.framesIn = ctx.framesIn;
    e.CloseStream(instance.get());
    return ok;
}

} // namespace fx
