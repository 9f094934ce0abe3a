// The plug-in's stream under whatever a host may do: any rate in range (and
// some out of it), one to eight channels (and too many), raw settings as a
// damaged preset could hold them, block sizes that change on every call,
// input that ends at any point. Nothing may crash, and every sample handed
// back must be a finite number.
#include "plugin/EffectInstance.h"
#include "plugin/Stream.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    template <typename T> T Take() {
        T value{};
        const std::size_t n = std::min(sizeof(T), m_size - m_pos);
        std::memcpy(&value, m_data + m_pos, n);
        m_pos += n;
        return value;
    }
    bool Empty() const { return m_pos >= m_size; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

struct Source {
    Reader* reader;
    std::uint32_t remaining; // input frames left before the input ends
};

std::uint32_t Pull(void* user, StreamBuffer* buffer) {
    auto* source = static_cast<Source*>(user);
    const std::uint32_t frames = std::min(buffer->frames, source->remaining);
    for (std::uint32_t i = 0; i < frames; ++i)
        for (float* channel : buffer->channels)
            channel[i] = static_cast<float>(source->reader->Take<std::int16_t>()) / 32768.0f;
    source->remaining -= frames;
    buffer->valid = frames;
    return frames;
}

// The frames all calls of one input may ask for together. Uncapped, a grown
// corpus asked for up to 64 x 8191 frames of up to nine channels per input
// and the fuzzer ran about one input every two seconds; a second and a half
// at 44.1 kHz still spans many processing blocks, the size changes between
// calls and the end of the input with its tail.
constexpr std::uint32_t kMaxTotalFrames = 65536;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader reader(data, size);
    static constexpr std::uint32_t kRates[] = {8000,  11025, 16000, 22050,
                                               44100, 48000, 96000, 192000};
    const auto rateByte = reader.Take<std::uint8_t>();
    const std::uint32_t rate =
        rateByte < 200 ? kRates[rateByte % 8] : 7000 + reader.Take<std::uint32_t>() % 190000;
    const std::uint16_t channels = 1 + reader.Take<std::uint8_t>() % 9; // 9 is one too many

    EffectInstance* instance = stavo::NewInstance();
    if (reader.Take<std::uint8_t>() & 1) {
        instance->Speed = reader.Take<std::int32_t>();
        instance->Threshold = reader.Take<std::int32_t>();
        instance->law = reader.Take<std::int32_t>();
        instance->Rate = reader.Take<std::int32_t>();
        instance->FirstTone = reader.Take<std::int32_t>();
        instance->SecondTone = reader.Take<std::int32_t>();
    }
    Source source{&reader, 1000u + reader.Take<std::uint16_t>() % 20000u};
    instance->callback = &Pull;
    instance->callbackUser = &source;

    WAVEFORMATEX format{};
    format.wFormatTag = 3;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = 32;
    format.nBlockAlign = static_cast<std::uint16_t>(4 * channels);
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    stavo::OpenStream(*instance, &format);

    std::vector<std::vector<float>> storage(channels);
    std::uint32_t budget = kMaxTotalFrames;
    // Enough calls to drain the input and the tail, whatever the sizes.
    for (int call = 0; call < 64 && budget > 0; ++call) {
        const std::uint32_t frames =
            std::min<std::uint32_t>(reader.Take<std::uint16_t>() % 8192, budget);
        budget -= frames;
        StreamBuffer buffer;
        for (auto& channel : storage) {
            channel.assign(frames + 1, 0.0f);
            buffer.channels.push_back(channel.data());
        }
        buffer.frames = frames;
        const std::uint32_t produced = stavo::ProcessStream(*instance, buffer);
        if (produced > frames) std::abort();
        for (std::uint16_t c = 0; c < channels && stavo::IsOpen(*instance); ++c)
            for (std::uint32_t i = 0; i < produced; ++i)
                if (!std::isfinite(storage[c][i])) std::abort();
        if (reader.Empty() && source.remaining == 0 && produced == 0 && frames > 0) break;
    }
    stavo::FreeInstance(instance);
    return 0;
}
