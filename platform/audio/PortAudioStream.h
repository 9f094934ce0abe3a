// One PortAudio stream and the library reference that goes with it: what the
// PortAudio output and capture devices share. Each method returns an empty
// string on success, otherwise PortAudio's reason (without a prefix).
//
// Pa_Initialize and Pa_Terminate count their calls, so every stream object
// holds its own reference from Initialise to Close.
#pragma once

#include <portaudio.h>

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
    // Opens the stream (input or output parameters may be null).
    std::string Open(const PaStreamParameters* input, const PaStreamParameters* output, double rate,
                     PaStreamCallback* callback, void* user);
    std::string Start();
    // Stops at once: nothing queued drains after it.
    void Abort();
    // Closes the stream and drops the library reference.
    void Close();

    // The PortAudio sample format of integer PCM of that width (24 bits:
    // packed, three bytes a sample).
    static PaSampleFormat SampleFormatFor(unsigned bits);

private:
    PaStream* m_stream = nullptr;
    bool m_initialised = false;
};

} // namespace platform::audio
