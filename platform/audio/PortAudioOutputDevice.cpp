#include "platform/audio/PortAudioOutputDevice.h"

#include <portaudio.h>

namespace platform::audio {

namespace {

PaSampleFormat SampleFormatFor(unsigned bits) {
    switch (bits) {
    case 8:
        return paUInt8;
    case 16:
        return paInt16;
    case 24:
        return paInt24; // packed, three bytes a sample, as in our buffer
    default:
        return paInt32;
    }
}

std::string PaText(PaError e) {
    return Pa_GetErrorText(e);
}

int StreamCallback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                   PaStreamCallbackFlags, void* self) {
    static_cast<PortAudioOutputDevice*>(self)->FillDeviceBuffer(output, frames);
    return paContinue;
}

} // namespace

PortAudioOutputDevice::PortAudioOutputDevice() = default;

PortAudioOutputDevice::~PortAudioOutputDevice() {
    Close();
}

bool PortAudioOutputDevice::SupportsLayout(std::uint16_t channels, std::uint32_t,
                                           std::uint32_t sampleRate) {
    if (IsOpen() || channels == 0) return false;
    if (Pa_Initialize() != paNoError) return false;
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
    // Pa_Initialize and Pa_Terminate count their calls, so every device
    // object may hold its own reference.
    PaError e = Pa_Initialize();
    if (e != paNoError) {
        SetError("the sound system cannot start: " + PaText(e));
        return false;
    }
    m_initialised = true;
    const PaDeviceIndex index = Pa_GetDefaultOutputDevice();
    if (index == paNoDevice) {
        SetError("there is no default sound output device");
        DoClose();
        return false;
    }
    const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
    PaStreamParameters out{};
    out.device = index;
    out.channelCount = Channels();
    out.sampleFormat = SampleFormatFor(BitsPerSample());
    // The looping buffer already holds a second or so of audio ahead of the
    // cursor, so the device side can take its relaxed latency.
    out.suggestedLatency = info ? info->defaultHighOutputLatency : 0.1;
    out.hostApiSpecificStreamInfo = nullptr;
    PaStream* stream = nullptr;
    e = Pa_OpenStream(&stream, nullptr, &out, SampleRate(), paFramesPerBufferUnspecified, paNoFlag,
                      &StreamCallback, this);
    if (e != paNoError) {
        SetError("the sound output device cannot open: " + PaText(e));
        DoClose();
        return false;
    }
    m_stream = stream;
    return true;
}

void PortAudioOutputDevice::DoClose() {
    if (m_stream) {
        Pa_CloseStream(static_cast<PaStream*>(m_stream));
        m_stream = nullptr;
    }
    if (m_initialised) {
        Pa_Terminate();
        m_initialised = false;
    }
}

bool PortAudioOutputDevice::DoStart() {
    const PaError e = Pa_StartStream(static_cast<PaStream*>(m_stream));
    if (e != paNoError) {
        SetError("the sound output device cannot start: " + PaText(e));
        return false;
    }
    return true;
}

void PortAudioOutputDevice::DoStop() {
    // Abort rather than stop: the cursor must stay where it is (a pause),
    // and no queued audio should drain after it.
    if (m_stream) Pa_AbortStream(static_cast<PaStream*>(m_stream));
}

} // namespace platform::audio
