// Reading and writing plain 16-bit (or any integer PCM) WAV files in tests,
// by their chunks, without the code under test.
#pragma once

#include "platform/AtomicFile.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testsupport {

struct WavData {
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    std::vector<std::int16_t> samples; // interleaved, as 16-bit values
};

// Reads a 16-bit PCM WAV file by its chunks.
inline bool ReadWav(const std::string& path, WavData& out) {
    std::string bytes;
    if (!platform::ReadWholeFile(path, bytes) || bytes.size() < 12) return false;
    if (bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return false;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        std::uint32_t size = 0;
        std::memcpy(&size, bytes.data() + at + 4, 4);
        const std::string id = bytes.substr(at, 4);
        const std::size_t body = at + 8;
        if (body + size > bytes.size()) return false;
        if (id == "fmt ") {
            std::memcpy(&out.channels, bytes.data() + body + 2, 2);
            std::memcpy(&out.rate, bytes.data() + body + 4, 4);
        } else if (id == "data") {
            out.samples.resize(size / 2);
            std::memcpy(out.samples.data(), bytes.data() + body, out.samples.size() * 2);
            return out.channels != 0;
        }
        at = body + size + (size & 1);
    }
    return false;
}

// Writes a PCM WAV file: tag 1, the given layout, the data as it stands.
inline bool WriteWav(const std::string& path, std::uint16_t channels, std::uint32_t rate,
                     std::uint16_t bits, const void* data, std::size_t bytes) {
    std::string s;
    auto put = [&s](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            s.push_back(static_cast<char>(v >> (8 * i)));
    };
    const std::uint16_t align = static_cast<std::uint16_t>(channels * bits / 8);
    s += "RIFF";
    put(36 + static_cast<std::uint32_t>(bytes), 4);
    s += "WAVEfmt ";
    put(16, 4);
    put(1, 2);
    put(channels, 2);
    put(rate, 4);
    put(rate * align, 4);
    put(align, 2);
    put(bits, 2);
    s += "data";
    put(static_cast<std::uint32_t>(bytes), 4);
    s.append(static_cast<const char*>(data), bytes);
    return platform::WriteFileAtomically(path, s);
}

} // namespace testsupport
