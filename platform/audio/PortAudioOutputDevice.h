// The real sound device, through PortAudio's default output.
//
// PortAudio's callback runs on the sound system's real-time thread. It only
// copies the next bytes from the looping buffer, moves the cursor and
// signals notification events (OutputDevice::Consume): no allocation, no
// lock, no I/O. Pausing aborts the stream, so the cursor stops at once, and
// playing again restarts it from the cursor.
#pragma once

#include "platform/audio/OutputDevice.h"
#include "platform/audio/PortAudioStream.h"

namespace platform::audio {

class PortAudioOutputDevice : public OutputDevice {
public:
    PortAudioOutputDevice();
    ~PortAudioOutputDevice() override;
    std::string Name() const override { return "portaudio"; }
    // Asks the default output device for 16-bit PCM of that many channels
    // (PortAudio knows no channel masks: a device that takes the channel
    // count is taken to place them in the usual order).
    bool SupportsLayout(std::uint16_t channels, std::uint32_t channelMask,
                        std::uint32_t sampleRate) override;

    // The body of the sound system's callback (real-time thread only).
    void FillDeviceBuffer(void* output, unsigned long frames) {
        Consume(static_cast<std::uint8_t*>(output),
                static_cast<std::uint32_t>(frames) * BlockAlign());
    }
    // PortAudio's word that the stream ended (real-time thread): unless we
    // asked for that, the device went away.
    void StreamFinished() {
        if (!m_stream.StopRequested()) ReportFailure("the sound output device stopped working");
    }

protected:
    bool DoOpen() override;
    void DoClose() override;
    bool DoStart() override;
    void DoStop() override;

private:
    PortAudioStream m_stream;
};

} // namespace platform::audio
