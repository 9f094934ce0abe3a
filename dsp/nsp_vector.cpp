// Vector arithmetic, extrema, square root, power spectrum and magnitude.
#include "dsp/nsp.h"
#include "dsp/nsp_internal.h"

#include <cmath>
#include <cstring>

using sonvara::dsp::kSrcArith;
using sonvara::dsp::kSrcConvert;
using sonvara::dsp::kSrcVec;
using sonvara::dsp::kSrcVecExt;
using sonvara::dsp::ReportBadArg;

// Float kernels form every sum and product in double and round once when
// storing. For a single addition or multiplication of two floats that is
// exactly the correctly rounded float result (double carries more than twice
// the float precision), so those loops are written in float and stay
// vectorisable; only kernels that combine several terms widen explicitly.

void nspsbAdd2(const float* src, float* dst, int n) {
    if (n <= 0) return ReportBadArg("nspsbAdd2", "n<=0", kSrcArith, __LINE__);
    if (!src) return ReportBadArg("nspsbAdd2", "src==0", kSrcArith, __LINE__);
    if (!dst) return ReportBadArg("nspsbAdd2", "dst==0", kSrcArith, __LINE__);
    for (int i = 0; i < n; ++i)
        dst[i] += src[i];
}

void nspsbMpy1(float val, float* dst, int n) {
    if (n <= 0) return ReportBadArg("nspsbMpy1", "n<=0", kSrcArith, __LINE__);
    if (!dst) return ReportBadArg("nspsbMpy1", "dst==0", kSrcArith, __LINE__);
    for (int i = 0; i < n; ++i)
        dst[i] *= val;
}

void nspdbMpy1(double val, double* dst, int n) {
    if (n <= 0) return ReportBadArg("nspdbMpy1", "n<=0", kSrcArith, __LINE__);
    if (!dst) return ReportBadArg("nspdbMpy1", "dst==0", kSrcArith, __LINE__);
    for (int i = 0; i < n; ++i)
        dst[i] *= val;
}

void nspsbMpy3(const float* srcA, const float* srcB, float* dst, int n) {
    if (n <= 0) return ReportBadArg("nspsbMpy3", "n<=0", kSrcArith, __LINE__);
    if (!srcA) return ReportBadArg("nspsbMpy3", "srcA==0", kSrcArith, __LINE__);
    if (!srcB) return ReportBadArg("nspsbMpy3", "srcB==0", kSrcArith, __LINE__);
    if (!dst) return ReportBadArg("nspsbMpy3", "dst==0", kSrcArith, __LINE__);
    for (int i = 0; i < n; ++i)
        dst[i] = srcA[i] * srcB[i];
}

void nspcbMpy2(const SCplx* src, SCplx* dst, int n) {
    if (n <= 0) return ReportBadArg("nspcbMpy2", "n<=0", kSrcArith, __LINE__);
    if (!src) return ReportBadArg("nspcbMpy2", "src==0", kSrcArith, __LINE__);
    if (!dst) return ReportBadArg("nspcbMpy2", "dst==0", kSrcArith, __LINE__);
    for (int i = 0; i < n; ++i) {
        const double ar = dst[i].re, ai = dst[i].im;
        const double br = src[i].re, bi = src[i].im;
        dst[i].re = static_cast<float>(ar * br - ai * bi);
        dst[i].im = static_cast<float>(ar * bi + ai * br);
    }
}

void nspcbConj2(const SCplx* src, SCplx* dst, int n) {
    if (n <= 0) return ReportBadArg("nspcbConj2", "n<=0", kSrcArith, __LINE__);
    if (!src) return ReportBadArg("nspcbConj2", "src==0", kSrcArith, __LINE__);
    if (!dst) return ReportBadArg("nspcbConj2", "dst==0", kSrcArith, __LINE__);
    for (int i = 0; i < n; ++i)
        dst[i] = SCplx{src[i].re, -src[i].im};
}

namespace {

// Index of the largest (Larger) or smallest element; the first of equal
// extremes wins. As a scan that keeps the first element beating all before
// it would: a NaN is never chosen except as the first element (which then
// stays, since nothing compares greater), and -0 and +0 count as equal.
//
// Found in two passes that a processor runs many elements at a time: the
// extreme value, each lane keeping its own, and then the first element that
// compares equal to it (no element before that one can: it would have been
// kept instead).
template <typename T> struct Lanes;
template <> struct Lanes<float> { using Type = float __attribute__((vector_size(16))); };
template <> struct Lanes<double> { using Type = double __attribute__((vector_size(16))); };

template <bool Larger, typename T> int ExtremeIndex(const T* vec, int len) {
    if (!(vec[0] == vec[0])) return 0;
    using V = typename Lanes<T>::Type;
    constexpr int kLanes = static_cast<int>(sizeof(V) / sizeof(T));
    V best;
    for (int lane = 0; lane < kLanes; ++lane)
        best[lane] = vec[0];
    int i = 1;
    for (; i + kLanes <= len; i += kLanes) {
        V v;
        std::memcpy(&v, vec + i, sizeof v);
        best = (Larger ? v > best : v < best) ? v : best;
    }
    T extreme = best[0];
    for (int lane = 1; lane < kLanes; ++lane)
        if (Larger ? best[lane] > extreme : best[lane] < extreme) extreme = best[lane];
    for (; i < len; ++i)
        if (Larger ? vec[i] > extreme : vec[i] < extreme) extreme = vec[i];
    int first = 0;
    while (!(vec[first] == extreme))
        ++first;
    return first;
}

} // namespace

float nspsMax(const float* vec, int len) {
    if (len <= 0) return ReportBadArg("nspsMax", "len<=0", kSrcVec, __LINE__), 0.0f;
    if (!vec) return ReportBadArg("nspsMax", "vec==0", kSrcVec, __LINE__), 0.0f;
    return vec[ExtremeIndex<true>(vec, len)];
}

float nspsMin(const float* vec, int len) {
    if (len <= 0) return ReportBadArg("nspsMin", "len<=0", kSrcVec, __LINE__), 0.0f;
    if (!vec) return ReportBadArg("nspsMin", "vec==0", kSrcVec, __LINE__), 0.0f;
    return vec[ExtremeIndex<false>(vec, len)];
}

double nspdMax(const double* vec, int len) {
    if (len <= 0) return ReportBadArg("nspdMax", "len<=0", kSrcVec, __LINE__), 0.0;
    if (!vec) return ReportBadArg("nspdMax", "vec==0", kSrcVec, __LINE__), 0.0;
    return vec[ExtremeIndex<true>(vec, len)];
}

float nspsMaxExt(const float* vec, int len, int* index) {
    if (len <= 0) return ReportBadArg("nspsMaxExt", "len<=0", kSrcVecExt, __LINE__), 0.0f;
    if (!vec) return ReportBadArg("nspsMaxExt", "vec==0", kSrcVecExt, __LINE__), 0.0f;
    const int best = ExtremeIndex<true>(vec, len);
    if (index) *index = best;
    return vec[best];
}

float nspsMinExt(const float* vec, int len, int* index) {
    if (len <= 0) return ReportBadArg("nspsMinExt", "len<=0", kSrcVecExt, __LINE__), 0.0f;
    if (!vec) return ReportBadArg("nspsMinExt", "vec==0", kSrcVecExt, __LINE__), 0.0f;
    const int best = ExtremeIndex<false>(vec, len);
    if (index) *index = best;
    return vec[best];
}

double nspdMaxExt(const double* vec, int len, int* index) {
    if (len <= 0) return ReportBadArg("nspdMaxExt", "len<=0", kSrcVecExt, __LINE__), 0.0;
    if (!vec) return ReportBadArg("nspdMaxExt", "vec==0", kSrcVecExt, __LINE__), 0.0;
    const int best = ExtremeIndex<true>(vec, len);
    if (index) *index = best;
    return vec[best];
}

void nspdbSqrt2(const double* src, double* dst, int len) {
    if (len <= 0) return ReportBadArg("nspdbSqrt2", "len<=0", kSrcArith, __LINE__);
    if (!src) return ReportBadArg("nspdbSqrt2", "src==0", kSrcArith, __LINE__);
    if (!dst) return ReportBadArg("nspdbSqrt2", "dst==0", kSrcArith, __LINE__);
    bool negative = false;
    for (int i = 0; i < len; ++i) {
        if (src[i] < 0.0) {
            negative = true; // left untouched, reported once below
        } else {
            dst[i] = std::sqrt(src[i]);
        }
    }
    if (negative) {
        ReportBadArg("nspdbSqrt2", "Element of input vector is negative", kSrcArith, __LINE__);
    }
}

void nspzbPowerSpectr(const DCplx* src, double* spectr, int length) {
    if (length <= 0) return ReportBadArg("nspzbPowerSpectr", "length<=0", kSrcConvert, __LINE__);
    if (!spectr) return ReportBadArg("nspzbPowerSpectr", "spectr==0", kSrcConvert, __LINE__);
    if (!src) return ReportBadArg("nspzbPowerSpectr", "src==0", kSrcConvert, __LINE__);
    for (int i = 0; i < length; ++i)
        spectr[i] = src[i].re * src[i].re + src[i].im * src[i].im;
}

void nspzbMag(const DCplx* src, double* mag, int length) {
    if (length <= 0) return ReportBadArg("nspzbMag", "length<=0", kSrcConvert, __LINE__);
    if (!mag) return ReportBadArg("nspzbMag", "mag==0", kSrcConvert, __LINE__);
    if (!src) return ReportBadArg("nspzbMag", "src==0", kSrcConvert, __LINE__);
    // The same value as the power spectrum followed by a square root; a sum
    // of squares is never negative, so nothing is reported from here.
    for (int i = 0; i < length; ++i) {
        mag[i] = std::sqrt(src[i].re * src[i].re + src[i].im * src[i].im);
    }
}
