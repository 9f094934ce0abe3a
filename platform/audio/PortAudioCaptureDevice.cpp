#include "platform/audio/PortAudioCaptureDevice.h"

namespace platform::audio {

namespace {

int StreamCallback(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                   PaStreamCallbackFlags, void* self) {
    // A null input (an underrun on some host APIs) is taken as silence.
    static_cast<PortAudioCaptureDevice*>(self)->TakeDeviceBuffer(input, frames);
    return paContinue;
}

void FinishedCallback(void* self) {
    static_cast<PortAudioCaptureDevice*>(self)->StreamFinished();
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
    if (std::string e = m_stream.Initialise(); !e.empty()) {
        SetError("the sound system cannot start: " + e);
        return false;
    }
    const PaDeviceIndex index = FindInput(m_deviceName);
    if (index == paNoDevice) {
        SetError(m_deviceName.empty()
                     ? "there is no default sound input device"
                     : "there is no sound input device named \"" + m_deviceName + "\"");
        m_stream.Close();
        return false;
    }
    const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
    PaStreamParameters in{};
    in.device = index;
    in.channelCount = Format().nChannels;
    in.sampleFormat = PortAudioStream::SampleFormatFor(Format().wBitsPerSample);
    // The recorder's buffers are long (half a second by default); the
    // device side can take its relaxed latency.
    in.suggestedLatency = info ? info->defaultHighInputLatency : 0.1;
    if (Pa_IsFormatSupported(&in, nullptr, SampleRate()) != paFormatIsSupported) {
        SetError("the sound input device cannot record " + std::to_string(Format().nChannels) +
                 " channel(s) of " + std::to_string(Format().wBitsPerSample) + "-bit PCM at " +
                 std::to_string(SampleRate()) + " Hz");
        m_stream.Close();
        return false;
    }
    if (std::string e =
            m_stream.Open(&in, nullptr, SampleRate(), &StreamCallback, this, &FinishedCallback);
        !e.empty()) {
        SetError("the sound input device cannot open: " + e);
        m_stream.Close();
        return false;
    }
    return true;
}

void PortAudioCaptureDevice::DoClose() {
    m_stream.Close();
}

bool PortAudioCaptureDevice::DoStart() {
    if (std::string e = m_stream.Start(); !e.empty()) {
        SetError("the sound input device cannot start: " + e);
        return false;
    }
    return true;
}

void PortAudioCaptureDevice::DoStop() {
    // Abort: what the device still holds is not wanted after a stop.
    m_stream.Abort();
}

} // namespace platform::audio
