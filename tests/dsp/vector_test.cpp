#include "dsp/NspErrorCapture.h"
#include "dsp/nsp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

class VectorTest : public NspErrorTest {};

TEST_F(VectorTest, ElementwiseArithmetic) {
    float dst[3] = {1, 2, 3};
    const float src[3] = {0.5f, -2, 10};
    nspsbAdd2(src, dst, 3);
    EXPECT_EQ(std::vector<float>(dst, dst + 3), (std::vector<float>{1.5f, 0, 13}));
    nspsbMpy1(2.0f, dst, 3);
    EXPECT_EQ(std::vector<float>(dst, dst + 3), (std::vector<float>{3, 0, 26}));
    double d[2] = {1.5, -4};
    nspdbMpy1(-0.5, d, 2);
    EXPECT_EQ(d[0], -0.75);
    EXPECT_EQ(d[1], 2.0);
    float prod[3];
    nspsbMpy3(src, dst, prod, 3);
    EXPECT_EQ(std::vector<float>(prod, prod + 3), (std::vector<float>{1.5f, 0, 260}));
    const SCplx c[2] = {{1, 2}, {0, -1}};
    SCplx conj[2];
    nspcbConj2(c, conj, 2);
    EXPECT_EQ(conj[0].im, -2.0f);
    EXPECT_EQ(conj[1].im, 1.0f);
    EXPECT_EQ(Report().calls, 0);
}

// The complex product is formed in double: in float, re = ar*br - ai*bi
// would cancel to 0 here instead of keeping the 2^-26 difference.
TEST_F(VectorTest, ComplexProductFormedInDouble) {
    const float a = 1.0f + std::ldexp(1.0f, -13);
    const float b = 1.0f + std::ldexp(1.0f, -12);
    const SCplx src[1] = {{a, 1.0f}};
    SCplx dst[1] = {{a, b}};
    nspcbMpy2(src, dst, 1);
    EXPECT_EQ(dst[0].re, std::ldexp(1.0f, -26));
    EXPECT_EQ(dst[0].im, static_cast<float>(double(a) + double(b) * double(a)));
}

TEST_F(VectorTest, ExtremaTakeTheFirstOfEqualValues) {
    const float up[4] = {1, 3, 3, 2};
    const float down[3] = {2, 1, 1};
    int index = -1;
    EXPECT_EQ(nspsMaxExt(up, 4, &index), 3.0f);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(nspsMinExt(down, 3, &index), 1.0f);
    EXPECT_EQ(index, 1);
    const double d[3] = {-5, 7, 7};
    EXPECT_EQ(nspdMaxExt(d, 3, &index), 7.0);
    EXPECT_EQ(index, 1);
    // A null index pointer is allowed and gives the plain extremum.
    EXPECT_EQ(nspsMaxExt(up, 4, nullptr), 3.0f);
    EXPECT_EQ(nspsMax(up, 4), 3.0f);
    EXPECT_EQ(nspsMin(up, 4), 1.0f);
    EXPECT_EQ(nspdMax(d, 1), -5.0);
    EXPECT_EQ(Report().calls, 0);
}

// The index every length and position gives is the one a plain scan keeping
// the first element that beats all before it gives, NaNs, signed zeros and
// ties included.
TEST_F(VectorTest, ExtremaAgreeWithAPlainScanOnAwkwardValues) {
    const float nan = std::nanf("");
    const float pool[] = {0.0f, -0.0f, 1.0f, -1.0f, 2.5f, 2.5f, nan, -7.0f, 1e-40f, 3e38f};
    const auto scan = [](const float* v, int n, bool larger) {
        int best = 0;
        for (int i = 1; i < n; ++i)
            if (larger ? v[i] > v[best] : v[i] < v[best]) best = i;
        return best;
    };
    unsigned seed = 12345;
    std::vector<float> v;
    for (int trial = 0; trial < 2000; ++trial) {
        seed = seed * 1103515245u + 12345u;
        const int n = 1 + static_cast<int>((seed >> 8) % 40);
        v.resize(n);
        for (float& x : v) {
            seed = seed * 1103515245u + 12345u;
            x = pool[(seed >> 12) % (sizeof pool / sizeof pool[0])];
        }
        int index = -1;
        nspsMaxExt(v.data(), n, &index);
        ASSERT_EQ(index, scan(v.data(), n, true)) << "trial " << trial;
        nspsMinExt(v.data(), n, &index);
        ASSERT_EQ(index, scan(v.data(), n, false)) << "trial " << trial;
    }
}

// A negative element is skipped, the rest still computed, and the failure
// reported after the loop rather than passing as success.
TEST_F(VectorTest, SqrtSkipsNegativeElementsAndReports) {
    const double src[3] = {4, -1, 9};
    double dst[3] = {0, 42, 0};
    nspdbSqrt2(src, dst, 3);
    EXPECT_EQ(dst[0], 2.0);
    EXPECT_EQ(dst[1], 42.0);
    EXPECT_EQ(dst[2], 3.0);
    ExpectBadArg("nspdbSqrt2", "Element of input vector is negative", "nsparith");
}

TEST_F(VectorTest, PowerSpectrumAndMagnitude) {
    std::vector<DCplx> src(300);
    for (size_t i = 0; i < src.size(); ++i)
        src[i] = {3.0 * double(i), -4.0 * double(i)};
    std::vector<double> power(300), mag(300);
    nspzbPowerSpectr(src.data(), power.data(), 300);
    nspzbMag(src.data(), mag.data(), 300);
    for (size_t i = 0; i < src.size(); ++i) {
        EXPECT_EQ(power[i], 25.0 * double(i) * double(i));
        EXPECT_EQ(mag[i], 5.0 * double(i));
    }
    EXPECT_EQ(Report().calls, 0);
}

// Every check, in order, with its message and source name; the output is
// never touched on a failed check.
TEST_F(VectorTest, ArgumentChecksReportAndLeaveOutputAlone) {
    float f[2] = {7, 7};
    double d[2] = {7, 7};
    SCplx c[2] = {{7, 7}, {7, 7}};
    DCplx z[2] = {{1, 1}, {1, 1}};
    int index = -1;

    nspsbAdd2(nullptr, nullptr, 0);
    ExpectBadArg("nspsbAdd2", "n<=0", "nsparith");
    nspsbAdd2(nullptr, f, 2);
    ExpectBadArg("nspsbAdd2", "src==0", "nsparith");
    nspsbAdd2(f, nullptr, 2);
    ExpectBadArg("nspsbAdd2", "dst==0", "nsparith");
    nspsbMpy1(2, nullptr, -1);
    ExpectBadArg("nspsbMpy1", "n<=0", "nsparith");
    nspsbMpy1(2, nullptr, 1);
    ExpectBadArg("nspsbMpy1", "dst==0", "nsparith");
    nspdbMpy1(2, d, 0);
    ExpectBadArg("nspdbMpy1", "n<=0", "nsparith");
    nspsbMpy3(f, nullptr, nullptr, 2);
    ExpectBadArg("nspsbMpy3", "srcB==0", "nsparith");
    nspsbMpy3(nullptr, f, f, 2);
    ExpectBadArg("nspsbMpy3", "srcA==0", "nsparith");
    nspsbMpy3(f, f, nullptr, 2);
    ExpectBadArg("nspsbMpy3", "dst==0", "nsparith");
    nspcbMpy2(nullptr, c, 2);
    ExpectBadArg("nspcbMpy2", "src==0", "nsparith");
    nspcbConj2(c, nullptr, 2);
    ExpectBadArg("nspcbConj2", "dst==0", "nsparith");
    nspsMax(nullptr, 0);
    ExpectBadArg("nspsMax", "len<=0", "nspvec");
    nspsMin(nullptr, 3);
    ExpectBadArg("nspsMin", "vec==0", "nspvec");
    nspdMax(d, -2);
    ExpectBadArg("nspdMax", "len<=0", "nspvec");
    nspsMaxExt(nullptr, 2, &index);
    ExpectBadArg("nspsMaxExt", "vec==0", "nspvece");
    nspsMinExt(f, 0, &index);
    ExpectBadArg("nspsMinExt", "len<=0", "nspvece");
    nspdMaxExt(nullptr, 2, &index);
    ExpectBadArg("nspdMaxExt", "vec==0", "nspvece");
    nspdbSqrt2(d, nullptr, 2);
    ExpectBadArg("nspdbSqrt2", "dst==0", "nsparith");
    nspzbPowerSpectr(nullptr, nullptr, 2);
    ExpectBadArg("nspzbPowerSpectr", "spectr==0", "nspcvrtd");
    nspzbPowerSpectr(nullptr, d, 2);
    ExpectBadArg("nspzbPowerSpectr", "src==0", "nspcvrtd");
    nspzbMag(z, d, 0);
    ExpectBadArg("nspzbMag", "length<=0", "nspcvrtd");
    nspzbMag(nullptr, nullptr, 2);
    ExpectBadArg("nspzbMag", "mag==0", "nspcvrtd");

    EXPECT_EQ(index, -1);
    EXPECT_EQ(f[0], 7.0f);
    EXPECT_EQ(d[0], 7.0);
    EXPECT_EQ(c[0].im, 7.0f);
}

} // namespace
