#include "platform/audio/PortAudioStream.h"

namespace platform::audio {

std::string PortAudioStream::Initialise() {
    if (m_initialised) return {};
    const PaError e = Pa_Initialize();
    if (e != paNoError) return Pa_GetErrorText(e);
    m_initialised = true;
    return {};
}

std::string PortAudioStream::Open(const PaStreamParameters* input, const PaStreamParameters* output,
                                  double rate, PaStreamCallback* callback, void* user) {
    const PaError e = Pa_OpenStream(&m_stream, input, output, rate, paFramesPerBufferUnspecified,
                                    paNoFlag, callback, user);
    if (e == paNoError) return {};
    m_stream = nullptr;
    return Pa_GetErrorText(e);
}

std::string PortAudioStream::Start() {
    const PaError e = Pa_StartStream(m_stream);
    return e == paNoError ? std::string() : Pa_GetErrorText(e);
}

void PortAudioStream::Abort() {
    if (m_stream) Pa_AbortStream(m_stream);
}

void PortAudioStream::Close() {
    if (m_stream) {
        Pa_CloseStream(m_stream);
        m_stream = nullptr;
    }
    if (m_initialised) {
        Pa_Terminate();
        m_initialised = false;
    }
}

PaSampleFormat PortAudioStream::SampleFormatFor(unsigned bits) {
    switch (bits) {
    case 8:
        return paUInt8;
    case 16:
        return paInt16;
    case 24:
        return paInt24;
    default:
        return paInt32;
    }
}

} // namespace platform::audio
