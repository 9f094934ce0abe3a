// The real recording device, through PortAudio: the system's default input,
// or the input device whose name contains the given text.
//
// PortAudio's callback runs on the sound system's real-time thread. It only
// copies the captured frames into the queued buffers and reports full ones
// (CaptureDevice::Produce): no allocation, no lock, no I/O. The stream is
// opened at the recorder's own rate and sample width; where the device
// cannot record at that rate the open is refused with the reason (ALSA's
// default device converts rates itself, so this only happens on raw
// hardware devices).
#pragma once

#include "platform/audio/CaptureDevice.h"
#include "platform/audio/PortAudioStream.h"

namespace platform::audio {

class PortAudioCaptureDevice : public CaptureDevice {
public:
    // deviceName empty: the default input.
    explicit PortAudioCaptureDevice(std::string deviceName = {});
    ~PortAudioCaptureDevice() override;
    std::string Name() const override;

    // The body of the sound system's callback (real-time thread only).
    void TakeDeviceBuffer(const void* input, unsigned long frames) {
        Produce(static_cast<const std::uint8_t*>(input),
                static_cast<std::uint32_t>(frames) * BlockAlign());
    }
    // PortAudio's word that the stream ended (real-time thread): unless we
    // asked for that, the device went away.
    void StreamFinished() {
        if (!m_stream.StopRequested()) ReportFailure("the sound input device stopped working");
    }

protected:
    bool DoOpen() override;
    void DoClose() override;
    bool DoStart() override;
    void DoStop() override;

private:
    std::string m_deviceName;
    PortAudioStream m_stream;
};

} // namespace platform::audio
