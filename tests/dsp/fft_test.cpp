#include "dsp/NspErrorCapture.h"
#include "dsp/nsp.h"
#include "dsp/nsp_internal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <vector>

namespace {

using cd = std::complex<double>;
constexpr double kPi = 3.141592653589793238462643383279502884;

// Bins (or samples) compared against the plain transform: all of them up to
// order 10, an even spread beyond, where the O(N^2) reference would be slow.
std::vector<size_t> Picks(size_t count) {
    std::vector<size_t> picks;
    if (count <= 1025) {
        for (size_t i = 0; i < count; ++i)
            picks.push_back(i);
        return picks;
    }
    const size_t step = count / 256;
    for (size_t i = 0; i < 256; ++i)
        picks.push_back(i * step + (i * 37) % step);
    picks.push_back(count - 1);
    return picks;
}

// sum over n of x[n] * e^(sign*2*pi*i*k*n/N), exact table lookups by (k*n) mod N.
struct PlainDft {
    explicit PlainDft(size_t n) : n(n), tw(n) {
        for (size_t j = 0; j < n; ++j)
            tw[j] = std::polar(1.0, 2.0 * kPi * double(j) / double(n));
    }
    cd Bin(const std::vector<double>& x, size_t k, int sign) const {
        cd sum = 0.0;
        for (size_t j = 0; j < n; ++j) {
            const cd w = tw[(k * j) % n];
            sum += x[j] * (sign < 0 ? std::conj(w) : w);
        }
        return sum;
    }
    // Real sample j of the full spectrum given by its CCS half.
    double Sample(const std::vector<cd>& ccs, size_t j, int sign) const {
        if (n == 1) return ccs[0].real();
        const size_t m = n / 2;
        double acc = ccs[0].real() + ((j & 1) ? -1.0 : 1.0) * ccs[m].real();
        for (size_t k = 1; k < m; ++k) {
            const cd w = tw[(k * j) % n];
            acc += 2.0 * (ccs[k] * (sign < 0 ? std::conj(w) : w)).real();
        }
        return acc;
    }
    size_t n;
    std::vector<cd> tw;
};

struct ErrorSum {
    double err = 0.0, ref = 0.0;
    void Add(cd got, cd want) { err += std::norm(got - want), ref += std::norm(want); }
    double Relative() const { return std::sqrt(err / ref); }
};

std::vector<double> RandomSignal(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<double> x(n);
    for (auto& v : x)
        v = dist(gen); // float values, exact in either precision
    return x;
}

class FftTest : public NspErrorTest {};

// The same transforms on the baseline kernels (false) and, where the
// processor has them, the AVX2 ones (true).
class FftKernelsTest : public NspErrorTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        NspErrorTest::SetUp();
        if (sonvara::dsp::AllowWideKernels(GetParam()) != GetParam()) {
            GTEST_SKIP() << "no AVX2 on this processor";
        }
    }
    void TearDown() override {
        sonvara::dsp::AllowWideKernels(true);
        NspErrorTest::TearDown();
    }
};

INSTANTIATE_TEST_SUITE_P(Kernels, FftKernelsTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Wide" : "Baseline"; });

// Every order, both precisions, both directions and both kernel sets against
// the plain DFT: catches wrong twiddles, a wrong bit-reversal or split step at
// any length.
TEST_F(FftTest, EveryOrderMatchesPlainDft) {
    for (int order = 0; order <= 16; ++order) {
        SCOPED_TRACE("order " + std::to_string(order));
        const size_t n = size_t{1} << order, m = n / 2;
        const PlainDft dft(n);
        const std::vector<double> x = RandomSignal(n, 100 + order);
        const std::vector<float> xf(x.begin(), x.end());
        const std::vector<size_t> bins = Picks(m + 1), samples = Picks(n);
        std::vector<cd> want(m + 1);
        for (size_t k : bins)
            want[k] = dft.Bin(x, k, -1);

        // A random CCS spectrum for the inverse, unscaled, and with the
        // forward exponent.
        const std::vector<double> parts = RandomSignal(2 * m + 2, 300 + order);
        std::vector<cd> ccs(m + 1);
        std::vector<SCplx> ccsf(m + 1);
        for (size_t k = 0; k <= m; ++k) {
            const bool real = k == 0 || k == m;
            ccs[k] = {parts[2 * k], real ? 0.0 : parts[2 * k + 1]};
            ccsf[k] = {float(ccs[k].real()), float(ccs[k].imag())};
        }
        std::vector<double> wantInv(n), wantFwd(n);
        for (size_t j : samples) {
            wantInv[j] = dft.Sample(ccs, j, +1);
            wantFwd[j] = dft.Sample(ccs, j, -1);
        }

        for (bool wide : {false, true}) {
            SCOPED_TRACE(wide ? "wide kernels" : "baseline kernels");
            sonvara::dsp::AllowWideKernels(wide);
            std::vector<SCplx> fs(m + 1);
            std::vector<DCplx> ds(m + 1);
            nspsRealFftNip(xf.data(), fs.data(), order, NSP_Forw);
            nspdRealFftNip(x.data(), ds.data(), order, NSP_Forw);
            ErrorSum fErr, dErr;
            for (size_t k : bins) {
                fErr.Add({fs[k].re, fs[k].im}, want[k]);
                dErr.Add({ds[k].re, ds[k].im}, want[k]);
            }
            EXPECT_LT(fErr.Relative(), 1e-5);
            EXPECT_LT(dErr.Relative(), 1e-12);
            EXPECT_EQ(fs[0].im, 0.0f);
            EXPECT_EQ(fs[m].im, 0.0f);

            std::vector<float> inv(n), fwd(n);
            nspsCcsFftNip(ccsf.data(), inv.data(), order, NSP_Inv | NSP_NoScale);
            nspsCcsFftNip(ccsf.data(), fwd.data(), order, NSP_Forw);
            ErrorSum invErr, fwdErr;
            for (size_t j : samples) {
                invErr.Add(inv[j], wantInv[j]);
                fwdErr.Add(fwd[j], wantFwd[j]);
            }
            EXPECT_LT(invErr.Relative(), 1e-5);
            EXPECT_LT(fwdErr.Relative(), 1e-5);
        }
    }
    sonvara::dsp::AllowWideKernels(true);
    EXPECT_EQ(Report().calls, 0);
}

// Forward then inverse must give the input back, scaled by 1/N unless told
// not to; a scale factor applied to the wrong values shows up here.
TEST_P(FftKernelsTest, ForwardThenInverseReturnsInput) {
    for (int order : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13}) {
        SCOPED_TRACE("order " + std::to_string(order));
        const size_t n = size_t{1} << order;
        const std::vector<double> xd = RandomSignal(n, 7 + order);
        const std::vector<float> x(xd.begin(), xd.end());
        std::vector<SCplx> spectrum(n / 2 + 1);
        std::vector<float> back(n), raw(n);
        nspsRealFftNip(x.data(), spectrum.data(), order, NSP_Forw);
        nspsCcsFftNip(spectrum.data(), back.data(), order, NSP_Inv);
        nspsCcsFftNip(spectrum.data(), raw.data(), order, NSP_Inv | NSP_NoScale);
        for (size_t i = 0; i < n; ++i) {
            ASSERT_NEAR(back[i], x[i], 1e-5) << i;
            ASSERT_NEAR(raw[i], x[i] * float(n), 1e-5 * float(n)) << i;
        }
    }
}

// The real-to-complex transform with the inverse flag: positive exponent,
// all N + 2 values scaled by 1/N unless flag 16 is set.
TEST_P(FftKernelsTest, RealTransformWithInverseFlagConjugatesAndScales) {
    for (int order : {0, 1, 3, 6, 7, 8, 9}) {
        SCOPED_TRACE("order " + std::to_string(order));
        const size_t n = size_t{1} << order, m = n / 2;
        const std::vector<double> x = RandomSignal(n, 50 + order);
        const std::vector<float> xf(x.begin(), x.end());
        std::vector<SCplx> fwd(m + 1), inv(m + 1), raw(m + 1);
        std::vector<DCplx> dinv(m + 1);
        nspsRealFftNip(xf.data(), fwd.data(), order, NSP_Forw);
        nspsRealFftNip(xf.data(), inv.data(), order, NSP_Inv);
        nspsRealFftNip(xf.data(), raw.data(), order, NSP_Inv | NSP_NoScale);
        nspdRealFftNip(x.data(), dinv.data(), order, NSP_Inv);
        for (size_t k = 0; k <= m; ++k) {
            EXPECT_NEAR(inv[k].re, fwd[k].re / float(n), 1e-6);
            EXPECT_NEAR(inv[k].im, -fwd[k].im / float(n), 1e-6);
            EXPECT_NEAR(raw[k].re, fwd[k].re, 1e-5);
            EXPECT_NEAR(raw[k].im, -fwd[k].im, 1e-5);
            EXPECT_NEAR(dinv[k].re, fwd[k].re / float(n), 1e-6);
            EXPECT_NEAR(dinv[k].im, -fwd[k].im / float(n), 1e-6);
        }
    }
}

TEST_F(FftTest, SmallOrdersGiveExactValues) {
    // Unit impulse of order 3: every CCS bin is (1, 0).
    const float impulse[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    SCplx bins[5];
    nspsRealFftNip(impulse, bins, 3, NSP_Forw);
    for (const SCplx& b : bins) {
        EXPECT_EQ(b.re, 1.0f);
        EXPECT_EQ(b.im, 0.0f);
    }
    // Order 0 copies the sample; order 1 gives the sum and the difference.
    const float one[1] = {2.5f};
    SCplx single[1] = {{9, 9}};
    nspsRealFftNip(one, single, 0, NSP_Forw);
    EXPECT_EQ(single[0].re, 2.5f);
    EXPECT_EQ(single[0].im, 0.0f);
    const double pair[2] = {3, 5};
    DCplx two[2];
    nspdRealFftNip(pair, two, 1, NSP_Forw);
    EXPECT_EQ(two[0].re, 8.0);
    EXPECT_EQ(two[1].re, -2.0);
    EXPECT_EQ(two[1].im, 0.0);
}

// The caller's arrays need not be aligned to anything beyond a float.
TEST_P(FftKernelsTest, UnalignedBuffersGiveTheSameResult) {
    const int order = 9;
    const size_t n = 512;
    const std::vector<double> xd = RandomSignal(n, 3);
    std::vector<float> x(xd.begin(), xd.end()), xOff(n + 1);
    std::memcpy(xOff.data() + 1, x.data(), n * sizeof(float));
    std::vector<SCplx> spectrum(n / 2 + 1);
    std::vector<float> specOff(n + 3);
    auto* shifted = reinterpret_cast<SCplx*>(specOff.data() + 1);
    nspsRealFftNip(x.data(), spectrum.data(), order, NSP_Forw);
    nspsRealFftNip(xOff.data() + 1, shifted, order, NSP_Forw);
    EXPECT_EQ(std::memcmp(spectrum.data(), shifted, spectrum.size() * sizeof(SCplx)), 0);
    std::vector<float> back(n + 1);
    nspsCcsFftNip(shifted, back.data() + 1, order, NSP_Inv);
    for (size_t i = 0; i < n; ++i)
        ASSERT_NEAR(back[i + 1], x[i], 1e-5);
}

// The CCS imaginary parts of bins 0 and N/2 are zero by definition; stray
// values there must not leak into the real output.
TEST_P(FftKernelsTest, InverseIgnoresImaginaryPartsOfEdgeBins) {
    for (int order : {2, 7, 8}) {
        const size_t n = size_t{1} << order, m = n / 2;
        std::vector<SCplx> clean(m + 1), dirty;
        for (size_t k = 0; k <= m; ++k)
            clean[k] = {float(k % 5) - 2.0f, float(k % 3)};
        clean[0].im = clean[m].im = 0.0f;
        dirty = clean;
        dirty[0].im = 7.0f, dirty[m].im = -3.0f;
        std::vector<float> a(n), b(n);
        nspsCcsFftNip(clean.data(), a.data(), order, NSP_Inv);
        nspsCcsFftNip(dirty.data(), b.data(), order, NSP_Inv);
        EXPECT_EQ(a, b) << "order " << order;
    }
}

// The power transform gives, bit for bit, what squaring the spectrum first
// (in double, rounded once) and then transforming gives, for the direct
// orders and both first-pass lengths, in both directions; the spectrum
// itself stays as it was.
TEST_P(FftKernelsTest, PowerTransformEqualsSquaringThenTransforming) {
    for (int order : {1, 5, 7, 8, 13}) {
        const size_t n = size_t{1} << order, m = n / 2;
        std::vector<float> x(n);
        for (size_t i = 0; i < n; ++i)
            x[i] =
                std::sin(0.37f * float(i)) * (i % 7 == 3 ? -3.5f : 1.25f) + float(i % 11) * 1e-3f;
        std::vector<SCplx> spectrum(m + 1);
        nspsRealFftNip(x.data(), spectrum.data(), order, NSP_Forw);
        // A stray imaginary part in the edge bins is ignored by both.
        spectrum[0].im = 5.0f;
        const std::vector<SCplx> kept = spectrum;
        std::vector<SCplx> power(m + 1);
        for (size_t k = 0; k <= m; ++k) {
            const double re = spectrum[k].re, im = (k == 0 || k == m) ? 0.0 : spectrum[k].im;
            power[k] = {static_cast<float>(re * re + im * im), 0.0f};
        }
        for (int flags : {int{NSP_Inv}, int{NSP_Forw}, NSP_Inv | NSP_NoScale}) {
            std::vector<float> expected(n), fused(n);
            nspsCcsFftNip(power.data(), expected.data(), order, flags);
            nspsCcsPowerFftNip(spectrum.data(), fused.data(), order, flags);
            ASSERT_EQ(std::memcmp(expected.data(), fused.data(), n * sizeof(float)), 0)
                << "order " << order << ", flags " << flags;
        }
        EXPECT_EQ(std::memcmp(kept.data(), spectrum.data(), (m + 1) * sizeof(SCplx)), 0);
    }
    EXPECT_EQ(Report().calls, 0);
}

TEST_F(FftTest, InitBuildsTablesOnlyAndFreeDropsThem) {
    nspsRealFftNip(nullptr, nullptr, 11, NSP_Free);
    const int before = sonvara::dsp::CachedTableCount();
    // Init needs no data and touches none.
    nspsRealFftNip(nullptr, nullptr, 11, NSP_Init);
    EXPECT_EQ(sonvara::dsp::CachedTableCount(), before + 1);
    std::vector<float> x(2048, 1.0f);
    std::vector<SCplx> out(1025, SCplx{-1, -1});
    nspsRealFftNip(x.data(), out.data(), 11, NSP_Init | NSP_Forw);
    EXPECT_EQ(out[0].re, -1.0f);
    // Once the tables exist a transform allocates nothing: an allocation
    // would meet the failures armed here and be reported.
    sonvara::dsp::FailNextTableAllocations(2);
    nspsRealFftNip(x.data(), out.data(), 11, NSP_Forw);
    nspsCcsFftNip(out.data(), x.data(), 11, NSP_Inv);
    sonvara::dsp::FailNextTableAllocations(0);
    EXPECT_EQ(Report().calls, 0);
    EXPECT_FLOAT_EQ(x[5], 1.0f);
    // Free returns at once, whatever else the flags say, and a later call
    // builds the tables again.
    const std::vector<float> kept = x;
    nspsCcsFftNip(out.data(), x.data(), 11, NSP_Free | NSP_Inv);
    EXPECT_EQ(sonvara::dsp::CachedTableCount(), before);
    EXPECT_EQ(x, kept);
    nspsRealFftNip(x.data(), out.data(), 11, NSP_Forw);
    EXPECT_FLOAT_EQ(out[0].re, 2048.0f);
    EXPECT_EQ(Report().calls, 0);
}

// A failed table allocation flushes every cache and retries once; only a
// second failure is reported, and then the output stays untouched.
TEST_F(FftTest, TableAllocationFailureFlushesAndRetries) {
    std::vector<float> x(64, 1.0f);
    std::vector<SCplx> out(33, SCplx{-1, -1});
    nspsRealFftNip(nullptr, nullptr, 6, NSP_Free);
    nspsRealFftNip(nullptr, nullptr, 3, NSP_Init);
    nspdRealFftNip(nullptr, nullptr, 4, NSP_Init);
    ASSERT_GE(sonvara::dsp::CachedTableCount(), 2);

    sonvara::dsp::FailNextTableAllocations(1);
    nspsRealFftNip(x.data(), out.data(), 6, NSP_Forw);
    EXPECT_EQ(Report().calls, 0);
    EXPECT_EQ(out[0].re, 64.0f);
    EXPECT_EQ(sonvara::dsp::CachedTableCount(), 1);

    nspsRealFftNip(nullptr, nullptr, 6, NSP_Free);
    out.assign(33, SCplx{-1, -1});
    sonvara::dsp::FailNextTableAllocations(2);
    nspsRealFftNip(x.data(), out.data(), 6, NSP_Forw);
    EXPECT_EQ(Report().calls, 1);
    EXPECT_EQ(Report().status, NSP_StsNoMem);
    EXPECT_EQ(Report().context, "No working Twd memory");
    EXPECT_EQ(Report().func, "nspsRealFftNip");
    EXPECT_EQ(Report().file, "nspffts");
    EXPECT_EQ(nspGetErrStatus(), NSP_StsNoMem);
    EXPECT_EQ(out[0].re, -1.0f);
    sonvara::dsp::FailNextTableAllocations(0);
}

// Each check reports its own message, in the fixed order, and the output
// stays untouched.
TEST_F(FftTest, ArgumentChecksReportInOrder) {
    float x[16] = {};
    SCplx spectrum[9];
    float back[16];
    for (auto& s : spectrum)
        s = {-1, -1};

    nspsRealFftNip(x, spectrum, -1, NSP_Forw);
    ExpectBadArg("nspsRealFftNip", "order<0", "nspffts");
    // An out-of-range order is reported even with the free flag.
    nspsRealFftNip(x, spectrum, -3, NSP_Free);
    ExpectBadArg("nspsRealFftNip", "order<0", "nspffts");
    nspdRealFftNip(nullptr, nullptr, 32, NSP_Forw);
    ExpectBadArg("nspdRealFftNip", "order>31", "nspfftd");
    nspsCcsFftNip(nullptr, back, 4, NSP_Forw | NSP_Inv);
    ExpectBadArg("nspsCcsFftNip", "inSamps==0", "nspffts");
    nspsRealFftNip(x, nullptr, 4, 0);
    ExpectBadArg("nspsRealFftNip", "outSamps==0", "nspffts");
    nspsRealFftNip(x, spectrum, 4, NSP_Forw | NSP_Inv);
    ExpectBadArg("nspsRealFftNip", "(flags & 1) && (flags & 2)", "nspffts");
    nspsRealFftNip(x, spectrum, 4, NSP_NoScale);
    ExpectBadArg("nspsRealFftNip", "(flags & 1)==0 && (flags & 2)==0", "nspffts");
    nspsCcsFftNip(spectrum, back, 7, 0);
    ExpectBadArg("nspsCcsFftNip", "(flags & 1)==0 && (flags & 2)==0", "nspffts");
    for (const auto& s : spectrum)
        EXPECT_EQ(s.re, -1.0f);
}

} // namespace
