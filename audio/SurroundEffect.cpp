#include "audio/SurroundEffect.h"

void CPassThroughSurroundEffect::SetFormat(const WAVEFORMATEXTENSIBLE* format) {
    if (!format) return;
    m_channels = format->Format.nChannels;
    m_mask = format->dwChannelMask;
}

void CPassThroughSurroundEffect::Process(StreamBuffer*) {}
