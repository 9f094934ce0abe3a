#include "libs/trestle/SD2MME.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace {

WAVEFORMATEX Format(unsigned channels, unsigned bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = static_cast<std::uint16_t>(channels);
    f.nSamplesPerSec = 44100;
    f.wBitsPerSample = static_cast<std::uint16_t>(bits);
    f.nBlockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    f.nAvgBytesPerSec = 44100 * f.nBlockAlign;
    return f;
}

std::int32_t ReadSigned(const std::uint8_t* p, unsigned bytes) {
    std::uint32_t u = 0;
    for (unsigned i = 0; i < bytes; ++i)
        u |= std::uint32_t(p[i]) << (8 * i);
    if (bytes < 4 && (u & (1u << (8 * bytes - 1)))) u |= ~0u << (8 * bytes); // sign-extend
    return static_cast<std::int32_t>(u);
}

// Full scale, rounding and clipping at every width: a wrong scale or a wrap
// instead of saturation turns a loud peak into a full-scale click.
TEST(SD2MME, ScalesRoundsAndClipsAtEveryWidth) {
    const std::vector<float> in = {0.0f,
                                   0.5f,
                                   -0.5f,
                                   1.0f,
                                   -1.0f,
                                   1.5f,
                                   -3.0f,
                                   std::numeric_limits<float>::quiet_NaN(),
                                   0.25f / 32768.0f * 3};
    std::vector<float> copy = in;
    StreamBuffer block;
    block.channels = {copy.data()};
    block.frames = block.valid = static_cast<std::uint32_t>(in.size());
    for (unsigned bits : {16u, 24u, 32u}) {
        SCOPED_TRACE(bits);
        const unsigned bytes = bits / 8;
        const double scale = std::ldexp(1.0, int(bits) - 1);
        const auto max = static_cast<std::int64_t>(scale) - 1,
                   min = -static_cast<std::int64_t>(scale);
        std::vector<std::uint8_t> out(in.size() * bytes);
        auto f = Format(1, bits);
        ASSERT_EQ(SD2MME(&block, 0, block.valid, out.data(), &f), out.size());
        auto at = [&](int i) { return std::int64_t(ReadSigned(&out[i * bytes], bytes)); };
        EXPECT_EQ(at(0), 0);
        EXPECT_EQ(at(1), static_cast<std::int64_t>(scale / 2));
        EXPECT_EQ(at(2), -static_cast<std::int64_t>(scale / 2));
        EXPECT_EQ(at(3), max);
        EXPECT_EQ(at(4), min);
        EXPECT_EQ(at(5), max);
        EXPECT_EQ(at(6), min);
        EXPECT_EQ(at(7), 0);
    }
    // 0.75 LSB of 16-bit rounds to 1, not down to 0.
    std::vector<std::uint8_t> out(in.size() * 2);
    auto f16 = Format(1, 16);
    SD2MME(&block, 0, block.valid, out.data(), &f16);
    EXPECT_EQ(ReadSigned(&out[8 * 2], 2), 1);

    std::vector<std::uint8_t> out8(in.size());
    auto f8 = Format(1, 8);
    ASSERT_EQ(SD2MME(&block, 0, block.valid, out8.data(), &f8), in.size());
    EXPECT_EQ(out8[0], 0x80);
    EXPECT_EQ(out8[1], 0xC0);
    EXPECT_EQ(out8[3], 0xFF);
    EXPECT_EQ(out8[4], 0x00);
    EXPECT_EQ(out8[7], 0x80);
}

// Interleaving, the start frame, and channels the block does not have: an
// off-by-one in the stride would swap or smear channels.
TEST(SD2MME, InterleavesFromTheFirstFrameAndSilencesMissingChannels) {
    std::vector<float> left = {0.0f, 0.1f, 0.2f, 0.3f}, right = {0.0f, -0.1f, -0.2f, -0.3f};
    StreamBuffer block;
    block.channels = {left.data(), right.data()};
    block.frames = block.valid = 4;
    auto f = Format(3, 16);
    std::vector<std::uint8_t> out(2 * 6, 0xAA);
    ASSERT_EQ(SD2MME(&block, 2, 2, out.data(), &f), 12u);
    EXPECT_EQ(ReadSigned(&out[0], 2), std::lround(0.2 * 32768));
    EXPECT_EQ(ReadSigned(&out[2], 2), std::lround(-0.2 * 32768));
    EXPECT_EQ(ReadSigned(&out[4], 2), 0);
    EXPECT_EQ(ReadSigned(&out[6], 2), std::lround(0.3 * 32768));
    EXPECT_EQ(ReadSigned(&out[8], 2), std::lround(-0.3 * 32768));
    EXPECT_EQ(ReadSigned(&out[10], 2), 0);
}

TEST(SD2MME, RefusesWidthsItCannotWriteAndNullArguments) {
    float x = 0.5f;
    StreamBuffer block;
    block.channels = {&x};
    block.frames = block.valid = 1;
    std::uint8_t out[8] = {};
    auto f = Format(1, 20);
    EXPECT_EQ(SD2MME(&block, 0, 1, out, &f), 0u);
    f = Format(1, 16);
    EXPECT_EQ(SD2MME(nullptr, 0, 1, out, &f), 0u);
    EXPECT_EQ(SD2MME(&block, 0, 1, nullptr, &f), 0u);
    EXPECT_EQ(SD2MME(&block, 0, 1, out, nullptr), 0u);
}

} // namespace
