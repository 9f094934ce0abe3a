// The surround processor as the player sees it: libs/ambio's upmixer
// (CSurroundEffect), and the whole parameter set the surround settings hand
// the player at once.
//
// The player embeds one processor by value. It gives it the player's format
// at construction, on every format change and when a run with surround
// starts (so the speaker layout chosen meanwhile takes effect there), and
// the block length whenever the blocks are reallocated; the output device
// takes OutputChannels() 16-bit channels with OutputChannelMask() while
// surround is on. Process runs on the output thread under the player's
// processing lock; the setters run on the window thread without it (they
// store atomics).
#pragma once

#include "libs/ambio/SurroundEffect.h"

// A whole set of surround settings as the player applies them at once, in
// the processor's units (volumes as factors, sizes and positions in metres).
struct SurroundParams {
    int lfeFrequency = 80;
    float positioningVolume = 1.0f;
    float lfeVolume = 1.0f;
    float reverberationVolume = 1.87f;
    float originalVolume = 0.0f;
    float absorption = 0.14f;
    float hiFreqDecay = 0.42f;
    float roomWidth = 25.0f;
    float roomHeight = 25.0f;
    float soundX = 12.5f;
    float soundY = 12.5f;
    bool delays = true;
    bool reverberation = true;
    bool processAdvance = false;
};
