// Wave format records, byte-packed as on Windows so that they can be stored
// and exchanged unchanged: the plain record is 18 bytes, the extensible one 40.
#pragma once

#include <cstdint>

#pragma pack(push, 1)

struct WAVEFORMATEX {
    std::uint16_t wFormatTag;
    std::uint16_t nChannels;
    std::uint32_t nSamplesPerSec;
    std::uint32_t nAvgBytesPerSec;
    std::uint16_t nBlockAlign;
    std::uint16_t wBitsPerSample;
    std::uint16_t cbSize;
};

struct SV_GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};

struct WAVEFORMATEXTENSIBLE {
    WAVEFORMATEX Format;
    union {
        std::uint16_t wValidBitsPerSample;
        std::uint16_t wSamplesPerBlock;
        std::uint16_t wReserved;
    } Samples;
    std::uint32_t dwChannelMask;
    SV_GUID SubFormat;
};

#pragma pack(pop)

static_assert(sizeof(WAVEFORMATEX) == 18, "the plain wave format record is 18 bytes");
static_assert(sizeof(WAVEFORMATEXTENSIBLE) == 40, "the extensible wave format record is 40 bytes");

enum : std::uint16_t {
    WAVE_FORMAT_PCM = 0x0001,
    WAVE_FORMAT_IEEE_FLOAT = 0x0003,
    WAVE_FORMAT_EXTENSIBLE = 0xFFFE,
};

// Sub-format of integer PCM in the extensible record.
inline constexpr SV_GUID KSDATAFORMAT_SUBTYPE_PCM = {
    0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
