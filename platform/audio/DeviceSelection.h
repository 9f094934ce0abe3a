// Which output and input devices the program uses, and making one by name.
//
// Output names: "portaudio" (the real device), "null" (plays in real time
// into nothing), "wav:PATH" (as null, and writes a WAV file). Input names:
// "portaudio" (the default input), "portaudio:TEXT" (the first input whose
// name contains TEXT), "null" (silence in real time), "tone:HZ" (a sine in
// real time), "wav:PATH" (the file in real time, then silence). The name comes from
// the environment variable SONVARA_AUDIO_OUTPUT when it is set and not
// empty, otherwise from the key Output of section AUDIO in config.ini,
// otherwise "portaudio". The capture side reads SONVARA_AUDIO_INPUT and the
// key Input the same way.
#pragma once

#include "platform/audio/CaptureDevice.h"
#include "platform/audio/OutputDevice.h"

#include <cstdint>
#include <memory>
#include <string>

namespace platform::audio {

inline constexpr const char* kDefaultDeviceName = "portaudio";

// The configured output device name (see above).
std::string SelectedOutputDeviceName();
// The configured input device name.
std::string SelectedInputDeviceName();

// A closed device for the name, or null with a reason in *error for a name
// that is not known (an empty wav: path included).
std::unique_ptr<OutputDevice> CreateOutputDevice(const std::string& name,
                                                 std::string* error = nullptr);

// A closed capture device for the name, or null with a reason in *error.
std::unique_ptr<CaptureDevice> CreateCaptureDevice(const std::string& name,
                                                   std::string* error = nullptr);

// Whether the named output device would open 16-bit PCM of channels
// channels with channelMask at sampleRate (false for an unknown name).
bool OutputSupportsLayout(const std::string& name, std::uint16_t channels,
                          std::uint32_t channelMask, std::uint32_t sampleRate);

// The level of the default output device: left in the low 16 bits, right in
// the high 16 (0xFFFF = full). The player takes its starting volume and
// balance from it. Output here is never turned down outside the program (all
// level control is in software), so this is full on both sides.
std::uint32_t DefaultOutputVolume();

} // namespace platform::audio
