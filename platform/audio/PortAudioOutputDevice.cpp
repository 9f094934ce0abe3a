#include "platform/audio/PortAudioOutputDevice.h"

#include "platform/audio/AlsaProbe.h"

namespace platform::audio {

namespace {

int StreamCallback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                   PaStreamCallbackFlags, void* self) {
    static_cast<PortAudioOutputDevice*>(self)->FillDeviceBuffer(output, frames);
    return paContinue;
}

void FinishedCallback(void* self) {
    static_cast<PortAudioOutputDevice*>(self)->StreamFinished();
}

} // namespace

PortAudioOutputDevice::PortAudioOutputDevice() = default;

PortAudioOutputDevice::~PortAudioOutputDevice() {
    Close();
}

bool PortAudioOutputDevice::SupportsLayout(std::uint16_t channels, std::uint32_t,
                                           std::uint32_t sampleRate) {
    if (IsOpen() || channels == 0) return false;
    if (!ProbeSoundSystem().empty() || Pa_Initialize() != paNoError) return false;
    bool supported = false;
    const PaDeviceIndex index = Pa_GetDefaultOutputDevice();
    const PaDeviceInfo* info = index == paNoDevice ? nullptr : Pa_GetDeviceInfo(index);
    if (info && info->maxOutputChannels >= channels) {
        PaStreamParameters out{};
        out.device = index;
        out.channelCount = channels;
        out.sampleFormat = paInt16;
        out.suggestedLatency = info->defaultHighOutputLatency;
        supported = Pa_IsFormatSupported(nullptr, &out, sampleRate) == paFormatIsSupported;
    }
    Pa_Terminate();
    return supported;
}

bool PortAudioOutputDevice::DoOpen() {
    if (std::string e = m_stream.Initialise(); !e.empty()) {
        SetError("the sound system cannot start: " + e);
        return false;
    }
    const PaDeviceIndex index = Pa_GetDefaultOutputDevice();
    if (index == paNoDevice) {
        SetError("there is no default sound output device");
        m_stream.Close();
        return false;
    }
    const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
    PaStreamParameters out{};
    out.device = index;
    out.channelCount = Channels();
    out.sampleFormat = PortAudioStream::SampleFormatFor(BitsPerSample());
    // The looping buffer already holds a second or so of audio ahead of the
    // cursor, so the device side can take its relaxed latency.
    out.suggestedLatency = info ? info->defaultHighOutputLatency : 0.1;
    out.hostApiSpecificStreamInfo = nullptr;
    if (std::string e =
            m_stream.Open(nullptr, &out, SampleRate(), &StreamCallback, this, &FinishedCallback);
        !e.empty()) {
        SetError("the sound output device cannot open: " + e);
        m_stream.Close();
        return false;
    }
    return true;
}

void PortAudioOutputDevice::DoClose() {
    m_stream.Close();
}

bool PortAudioOutputDevice::DoStart() {
    if (std::string e = m_stream.Start(); !e.empty()) {
        SetError("the sound output device cannot start: " + e);
        return false;
    }
    return true;
}

void PortAudioOutputDevice::DoStop() {
    // Abort rather than stop: the cursor must stay where it is (a pause),
    // and no queued audio should drain after it.
    m_stream.Abort();
}

} // namespace platform::audio
