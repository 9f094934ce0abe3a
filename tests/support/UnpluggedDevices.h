// Test devices that are unplugged part-way through a run: they report a
// failure the way a back-end does when its device goes away.
#pragma once

#include "platform/audio/TimedCaptureDevice.h"
#include "platform/audio/TimedOutputDevice.h"

namespace testsupport {

// An output device that is unplugged once it has played failAfter bytes.
class UnpluggedOutput : public platform::audio::VirtualOutputDevice {
public:
    explicit UnpluggedOutput(std::uint64_t failAfter) : m_left(failAfter) {}

protected:
    void OnPlayed(const std::uint8_t* data, std::uint32_t bytes) override {
        platform::audio::VirtualOutputDevice::OnPlayed(data, bytes);
        if (m_left > bytes) {
            m_left -= bytes;
        } else if (m_left > 0) {
            m_left = 0;
            ReportFailure("the test speaker was unplugged");
        }
    }

private:
    std::uint64_t m_left;
};

// A capture device that is unplugged once it has captured failAfter frames.
class UnpluggedInput : public platform::audio::VirtualCaptureDevice {
public:
    explicit UnpluggedInput(std::uint64_t failAfter) : m_left(failAfter) {}

protected:
    void Generate(std::uint8_t* dst, std::uint32_t frames) override {
        platform::audio::VirtualCaptureDevice::Generate(dst, frames);
        if (m_left > frames) {
            m_left -= frames;
        } else if (m_left > 0) {
            m_left = 0;
            ReportFailure("the test microphone was unplugged");
        }
    }

private:
    std::uint64_t m_left;
};

} // namespace testsupport
