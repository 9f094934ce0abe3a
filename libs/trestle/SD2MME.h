// Float blocks to interleaved integer PCM.
//
// Float full scale is 1.0: a sample of 1.0 is the largest positive code,
// -1.0 the most negative. Samples are scaled by 2^(bits - 1), rounded to the
// nearest integer (halves away from zero) and clipped to the code range, so
// anything outside [-1, 1) saturates instead of wrapping; NaN becomes
// silence. 8-bit PCM is unsigned (silence 0x80); 16, 24 (packed, three bytes)
// and 32-bit PCM are signed; all little-endian.
//
// Real time: allocates nothing and takes no lock.
#pragma once

#include "sonvara/StreamBuffer.h"
#include "sonvara/WaveFormat.h"

#include <cstdint>

// Writes frames frames of block, starting at frame first, to dst as
// interleaved PCM with format's channel count and sample width (the block
// alignment is recomputed from them). Channels the block lacks are written
// as silence; extra channels of the block are ignored. The caller makes sure
// first + frames does not exceed what the channel arrays hold. Returns the
// bytes written: 0 when an argument is null or the sample width is not 8,
// 16, 24 or 32 bits.
std::uint32_t SD2MME(const StreamBuffer* block, std::uint32_t first, std::uint32_t frames,
                     void* dst, const WAVEFORMATEX* format);
