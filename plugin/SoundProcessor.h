// The base of the plug-in's stream-processing objects: opened with the
// stream's wave format, then handed every block. A processor may pass each
// block on to a next one in a chain before doing its own work.
#pragma once

#include "sonvara/StreamBuffer.h"
#include "sonvara/WaveFormat.h"

class CSoundProcessor {
public:
    CSoundProcessor() = default;
    CSoundProcessor(const CSoundProcessor&) = delete;
    CSoundProcessor& operator=(const CSoundProcessor&) = delete;
    virtual ~CSoundProcessor() = default;

    // Prepares for a stream of this format; false when it cannot.
    virtual bool Open(const WAVEFORMATEX& format) = 0;
    // The buffer is taken by reference (not copied) so that a block costs no
    // allocation on the audio thread; the processor does not keep it.
    virtual void Process(const StreamBuffer& buffer) {
        if (m_next) m_next->Process(buffer);
        DoBlock(buffer);
    }
    // Frees working storage until the next Open.
    virtual void Release() {}
    virtual void SetNext(CSoundProcessor* next) { m_next = next; }
    virtual void Hook() {}

protected:
    virtual void DoBlock(const StreamBuffer& buffer) = 0;

private:
    CSoundProcessor* m_next = nullptr;
};
