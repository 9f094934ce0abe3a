// The stream side of an effect instance: opening and closing the processing
// objects, and ProcessStream's buffering around the block processor (latency
// priming, 1320-frame rings, end-of-input tail).
//
// ProcessStream runs on the caller's audio thread and allocates nothing; the
// storage it needs is made by OpenStream.
#pragma once

#include "plugin/EffectInstance.h"
#include "sonvara/WaveFormat.h"

#include <cstdint>

namespace stavo {

// Sample rates the processing is built for; others are refused by OpenStream.
inline constexpr std::uint32_t kMinSampleRate = 8000;
inline constexpr std::uint32_t kMaxSampleRate = 192000;

// A new zero-filled instance holding the default settings.
EffectInstance* NewInstance();
// Releases the processing objects and the instance.
void FreeInstance(EffectInstance* instance);

// 0 when the stream is open. Non-zero when the format is missing, has more
// than kMaxChannels channels or a rate outside kMinSampleRate..kMaxSampleRate;
// the instance is then closed and ProcessStream produces nothing.
int OpenStream(EffectInstance& instance, const WAVEFORMATEX* format);
void CloseStream(EffectInstance& instance);
bool IsOpen(const EffectInstance& instance);

// Output frames produced (see the effect plug-in interface). Returns 0
// without touching the buffer when the instance is not open, has no
// callback, or the buffer has no channel, more than kMaxChannels channels or
// a null channel array.
std::uint32_t ProcessStream(EffectInstance& instance, StreamBuffer& buffer);

// Passes buffer.frames frames through the rings: each sample goes in and the
// sample of the previous block at the same position comes out.
void FeedBlocks(EffectInstance& instance, StreamBuffer& buffer);

} // namespace stavo
