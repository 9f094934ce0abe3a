#include "platform/audio/PortAudioCaptureDevice.h"

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
        return paInt24; // packed, three bytes a sample, as in our buffers
    default:
        return paInt32;
    }
}

int StreamCallback(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                   PaStreamCallbackFlags, void* self) {
    // A null input (an underrun on some host APIs) is taken as silence.
    static_cast<PortAudioCaptureDevice*>(self)->TakeDeviceBuffer(input, frames);
    return paContinue;
}

PaDeviceIndex FindInput(const std::string& name) {
    if (name.empty()) return Pa_GetDefaultInputDevice();
    for (PaDeviceIndex i = 0; i < Pa_GetDeviceCount(); ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (info && info->maxInputChannels > 0 && info->name &&
            std::string(info->name).find(name) != std::string::npos)
            return i;
    }
    return paNoDevice;
}

} // namespace

PortAudioCaptureDevice::PortAudioCaptureDevice(std::string deviceName)
    : m_deviceName(std::move(deviceName)) {}

PortAudioCaptureDevice::~PortAudioCaptureDevice() {
    Close();
}

std::string PortAudioCaptureDevice::Name() const {
    return m_deviceName.empty() ? "portaudio" : "portaudio:" + m_deviceName;
}

bool PortAudioCaptureDevice::DoOpen() {
    // Pa_Initialize and Pa_Terminate count their calls, so every device
    // object may hold its own reference.
    PaError e = Pa_Initialize();
    if (e != paNoError) {
        SetError(std::string("the sound system cannot start: ") + Pa_GetErrorText(e));
        return false;
    }
    m_initialised = true;
    const PaDeviceIndex index = FindInput(m_deviceName);
    if (index == paNoDevice) {
        SetError(m_deviceName.empty()
                     ? "there is no default sound input device"
                     : "there is no sound input device named \"" + m_deviceName + "\"");
        DoClose();
        return false;
    }
    const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
    PaStreamParameters in{};
    in.device = index;
    in.channelCount = Format().nChannels;
    in.sampleFormat = SampleFormatFor(Format().wBitsPerSample);
    // The recorder's buffers are long (half a second by default); the
    // device side can take its relaxed latency.
    in.suggestedLatency = info ? info->defaultHighInputLatency : 0.1;
    if (Pa_IsFormatSupported(&in, nullptr, SampleRate()) != paFormatIsSupported) {
        SetError("the sound input device cannot record " + std::to_string(Format().nChannels) +
                 " channel(s) of " + std::to_string(Format().wBitsPerSample) + "-bit PCM at " +
                 std::to_string(SampleRate()) + " Hz");
        DoClose();
        return false;
    }
    PaStream* stream = nullptr;
    e = Pa_OpenStream(&stream, &in, nullptr, SampleRate(), paFramesPerBufferUnspecified, paNoFlag,
                      &StreamCallback, this);
    if (e != paNoError) {
        SetError(std::string("the sound input device cannot open: ") + Pa_GetErrorText(e));
        DoClose();
        return false;
    }
    m_stream = stream;
    return true;
}

void PortAudioCaptureDevice::DoClose() {
    if (m_stream) {
        Pa_CloseStream(static_cast<PaStream*>(m_stream));
        m_stream = nullptr;
    }
    if (m_initialised) {
        Pa_Terminate();
        m_initialised = false;
    }
}

bool PortAudioCaptureDevice::DoStart() {
    const PaError e = Pa_StartStream(static_cast<PaStream*>(m_stream));
    if (e != paNoError) {
        SetError(std::string("the sound input device cannot start: ") + Pa_GetErrorText(e));
        return false;
    }
    return true;
}

void PortAudioCaptureDevice::DoStop() {
    // Abort: what the device still holds is not wanted after a stop.
    if (m_stream) Pa_AbortStream(static_cast<PaStream*>(m_stream));
}

} // namespace platform::audio
