#include "plugin/Stream.h"

#include "plugin/BlockProcessor.h"
#include "plugin/DrumDetector.h"
#include "plugin/PitchTracker.h"
#include "plugin/Presets.h"
#include "plugin/ToneShifter.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace stavo {

struct StreamStorage {
    // Priming input, one array per channel slot.
    float priming[kMaxChannels][kPrimingFrames];
    StreamBuffer primingBuffer;
};

EffectInstance* NewInstance() {
    auto* instance = new EffectInstance{};
    ApplyDefaults(*instance);
    return instance;
}

void FreeInstance(EffectInstance* instance) {
    if (!instance) return;
    CloseStream(*instance);
    delete instance;
}

bool IsOpen(const EffectInstance& instance) {
    return instance.stream && instance.estimator && instance.gate;
}

void CloseStream(EffectInstance& instance) {
    for (CToneShifter*& shifter : instance.shifters) {
        delete shifter;
        shifter = nullptr;
    }
    delete instance.gate;
    instance.gate = nullptr;
    delete instance.estimator;
    instance.estimator = nullptr;
    delete instance.drums;
    instance.drums = nullptr;
    delete instance.stream;
    instance.stream = nullptr;
}

int OpenStream(EffectInstance& instance, const WAVEFORMATEX* format) {
    // Re-opening an open instance replaces its objects; the old ones go first.
    CloseStream(instance);
    if (!format || format->nChannels > kMaxChannels || format->nSamplesPerSec < kMinSampleRate ||
        format->nSamplesPerSec > kMaxSampleRate)
        return 1;
    const std::uint32_t rate = format->nSamplesPerSec;

    for (CToneShifter*& shifter : instance.shifters)
        shifter = new CToneShifter;
    instance.gate = new CVoiceGate;
    instance.estimator = new CPitchEstimator;
    instance.drums = new CDrumDetector;
    instance.stream = new StreamStorage{};
    instance.stream->primingBuffer.channels.reserve(kMaxChannels);

    for (CToneShifter* shifter : instance.shifters) {
        shifter->SetSampleRate(rate);
        shifter->SetRatio(1.0f);
    }
    instance.drums->Open(*format);
    instance.gate->SetRequiredCount(LoadSetting(instance.Speed));
    const double level = LoadSetting(instance.Threshold) * 0.005;
    instance.gate->SetLevelThreshold(level * level);
    instance.gate->SetBlockLength(static_cast<std::int32_t>(kBlockFrames));
    instance.estimator->SetSampleRate(rate);

    instance.ringPosition = 0;
    std::memset(instance.inputRing, 0, sizeof instance.inputRing);
    std::memset(instance.outputRing, 0, sizeof instance.outputRing);
    instance.primed = 0;
    instance.inputEnded = 0;
    return 0;
}

void FeedBlocks(EffectInstance& instance, StreamBuffer& buffer) {
    const std::size_t C = buffer.channels.size();
    const std::uint32_t F = buffer.frames;
    std::uint32_t i = 0;
    while (i < F) {
        if (instance.ringPosition == kBlockFrames) {
            float* block[kMaxChannels];
            for (std::size_t c = 0; c < C; ++c) {
                std::memcpy(instance.outputRing[c], instance.inputRing[c],
                            sizeof(float) * kBlockFrames);
                block[c] = instance.outputRing[c];
            }
            ProcessBlock(instance, block, static_cast<std::uint32_t>(C));
            instance.ringPosition = 0;
        }
        const std::uint32_t pos = instance.ringPosition;
        const std::uint32_t run = std::min(F - i, kBlockFrames - pos);
        for (std::size_t c = 0; c < C; ++c) {
            float* samples = buffer.channels[c] + i;
            std::memcpy(instance.inputRing[c] + pos, samples, sizeof(float) * run);
            std::memcpy(samples, instance.outputRing[c] + pos, sizeof(float) * run);
        }
        instance.ringPosition += run;
        i += run;
    }
}

namespace {

// The callback's count, never more than it was asked for (whatever it did to
// the buffer's frame count). A callback that
// rewrites the channel list (more slots than the rings have, a null array)
// would have the rings read and write outside their storage: the list it was
// given is put back.
std::uint32_t Pull(EffectInstance& instance, StreamBuffer& buffer) {
    float* channels[kMaxChannels];
    const std::size_t C = buffer.channels.size();
    std::copy(buffer.channels.begin(), buffer.channels.end(), channels);
    const std::uint32_t frames = buffer.frames;
    const std::uint32_t got = instance.callback(instance.callbackUser, &buffer);
    if (buffer.channels.size() != C || !std::equal(channels, channels + C, buffer.channels.begin()))
        buffer.channels.assign(channels, channels + C);
    return std::min(got, frames);
}

} // namespace

std::uint32_t ProcessStream(EffectInstance& instance, StreamBuffer& buffer) {
    const std::size_t C = buffer.channels.size();
    if (!IsOpen(instance) || !instance.callback || C == 0 || C > kMaxChannels) return 0;
    const std::uint32_t R = buffer.frames;
    if (R > 0)
        for (float* channel : buffer.channels)
            if (!channel) return 0;

    for (float* channel : buffer.channels)
        std::fill(channel, channel + R, 0.0f);
    buffer.valid = 0;

    if (!instance.primed) {
        StreamStorage& storage = *instance.stream;
        StreamBuffer& priming = storage.primingBuffer;
        priming.channels.clear();
        for (std::size_t c = 0; c < C; ++c) {
            std::fill(storage.priming[c], storage.priming[c] + kPrimingFrames, 0.0f);
            priming.channels.push_back(storage.priming[c]);
        }
        priming.frames = kPrimingFrames;
        priming.valid = 0;
        priming.user = buffer.user;
        const std::uint32_t G = Pull(instance, priming);
        priming.frames = kPrimingFrames; // the callback may not shrink what we feed
        FeedBlocks(instance, priming);
        if (G == kPrimingFrames) {
            instance.tailRemaining = kPrimingFrames;
            instance.inputEnded = 0;
            const std::uint32_t G2 = Pull(instance, buffer);
            buffer.frames = R;
            if (G2 < R) {
                const std::uint32_t E = std::min(instance.tailRemaining, R - G2);
                buffer.frames = G2 + E;
                instance.tailRemaining -= E;
                instance.inputEnded = 1;
            }
            FeedBlocks(instance, buffer);
        } else {
            // The input ended inside the priming: what comes out now is the
            // pipeline's tail of those frames.
            const std::uint32_t E = std::min(G, R);
            instance.tailRemaining = G - E;
            instance.inputEnded = 1;
            buffer.frames = E;
            FeedBlocks(instance, buffer);
        }
        instance.primed = 1;
    } else if (!instance.inputEnded) {
        const std::uint32_t G = Pull(instance, buffer);
        buffer.frames = R;
        if (G != R) {
            const std::uint32_t E = std::min(instance.tailRemaining, R - G);
            buffer.frames = G + E;
            instance.tailRemaining -= E;
            instance.inputEnded = 1;
        }
        FeedBlocks(instance, buffer);
    } else {
        if (instance.tailRemaining == 0) {
            buffer.valid = 0;
            return 0;
        }
        const std::uint32_t E = std::min(instance.tailRemaining, R);
        buffer.frames = E;
        FeedBlocks(instance, buffer);
        instance.tailRemaining -= E;
    }

    const std::uint32_t produced = buffer.frames;
    buffer.frames = R;
    buffer.valid = R;
    return produced;
}

} // namespace stavo
