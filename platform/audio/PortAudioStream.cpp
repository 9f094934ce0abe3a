#include "platform/audio/PortAudioStream.h"

#include "platform/audio/AlsaProbe.h"

namespace platform::audio {

std::string PortAudioStream::Initialise() {
    if (m_initialised) return {};
    if (std::string why = ProbeSoundSystem(); !why.empty()) return why;
    const PaError e = Pa_Initialize();
    if (e != paNoError) return Pa_GetErrorText(e);
    m_initialised = true;
    return {};
}

std::string PortAudioStream::Open(const PaStreamParameters* input, const PaStreamParameters* output,
                                  double rate, PaStreamCallback* callback, void* user,
                                  PaStreamFinishedCallback* finished) {
    const PaError e = Pa_OpenStream(&m_stream, input, output, rate, paFramesPerBufferUnspecified,
                                    paNoFlag, callback, user);
    if (e == paNoError) {
        if (finished) Pa_SetStreamFinishedCallback(m_stream, finished);
        return {};
    }
    m_stream = nullptr;
    return Pa_GetErrorText(e);
}

std::string PortAudioStream::Start() {
    m_stopRequested.store(false, std::memory_order_release);
    const PaError e = Pa_StartStream(m_stream);
    return e == paNoError ? std::string() : Pa_GetErrorText(e);
}

void PortAudioStream::Abort() {
    m_stopRequested.store(true, std::memory_order_release);
    if (m_stream) Pa_AbortStream(m_stream);
}

void PortAudioStream::Close() {
    m_stopRequested.store(true, std::memory_order_release);
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
