// One PortAudio stream and the library reference that goes with it: what the
// PortAudio output and capture devices share. Each method returns an empty
// string on success, otherwise PortAudio's reason (without a prefix).
//
// Pa_Initialize and Pa_Terminate count their calls, so every stream object
// holds its own reference from Initialise to Close.
#pragma once

#include <portaudio.h>

#include <atomic>
#include <string>

namespace platform::audio {

class PortAudioStream {
public:
    PortAudioStream() = default;
    ~PortAudioStream() { Close(); }
    PortAudioStream(const PortAudioStream&) = delete;
    PortAudioStream& operator=(const PortAudioStream&) = delete;

    // The library reference; needed before the device look-ups.
    std::string Initialise();
    // Opens the stream (input or output parameters may be null). finished,
    // when given, is called (with user) on PortAudio's thread whenever the
    // stream ends: StopRequested() then tells an ordinary stop from a device
    // that went away.
    std::string Open(const PaStreamParameters* input, const PaStreamParameters* output, double rate,
                     PaStreamCallback* callback, void* user,
                     PaStreamFinishedCallback* finished = nullptr);
    std::string Start();
    // Stops at once: nothing queued drains after it.
    void Abort();
    // Closes the stream and drops the library reference.
    void Close();
    // Whether Abort or Close asked the stream to end since it last started.
    bool StopRequested() const { return m_stopRequested.load(std::memory_order_acquire); }

    // The PortAudio sample format of integer PCM of that width (24 bits:
    // packed, three bytes a sample).
    static PaSampleFormat SampleFormatFor(unsigned bits);

private:
    PaStream* m_stream = nullptr;
    bool m_initialised = false;
    std::atomic<bool> m_stopRequested{true};
};

} // namespace platform::audio
