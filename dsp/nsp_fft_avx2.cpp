// The FFT kernels built for AVX2 with FMA, chosen at run time when the
// processor has them: eight float lanes per register instead of four.
#include <cstddef>
#include <cstdint>
#include <cstring>

#if !defined(SONVARA_DSP_NO_SIMD) && defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define SONVARA_DSP_AVX2 1
#include <immintrin.h>
#endif

#if defined(SONVARA_DSP_AVX2)
// Everything up to the matching pop is compiled for AVX2 and FMA; nothing
// here runs unless the processor check below passed.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,fma"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,fma")
#endif
#endif

#include "dsp/fft_kernels.h"

#if defined(SONVARA_DSP_AVX2)

namespace sonvara::dsp {
namespace {

struct AF8 {
    __m256 v;
};
inline AF8 operator+(AF8 a, AF8 b) {
    return {_mm256_add_ps(a.v, b.v)};
}
inline AF8 operator-(AF8 a, AF8 b) {
    return {_mm256_sub_ps(a.v, b.v)};
}
inline AF8 operator*(AF8 a, AF8 b) {
    return {_mm256_mul_ps(a.v, b.v)};
}

struct Avx2FloatOps {
    using T = float;
    using V = AF8;
    static V Load(const float* p) { return {_mm256_loadu_ps(p)}; }
    static void Store(float* p, V a) { _mm256_storeu_ps(p, a.v); }
    static V Set(float x) { return {_mm256_set1_ps(x)}; }
    static V MulAdd(V a, V b, V c) { return {_mm256_fmadd_ps(a.v, b.v, c.v)}; }
    static V MulSub(V a, V b, V c) { return {_mm256_fmsub_ps(a.v, b.v, c.v)}; }
    // re^2 + im^2 lane by lane, formed in double and rounded once (the
    // products of floats are exact in double, so a fused multiply-add gives
    // the same sum).
    static V Power(V re, V im) {
        const __m256d rl = _mm256_cvtps_pd(_mm256_castps256_ps128(re.v));
        const __m256d rh = _mm256_cvtps_pd(_mm256_extractf128_ps(re.v, 1));
        const __m256d il = _mm256_cvtps_pd(_mm256_castps256_ps128(im.v));
        const __m256d ih = _mm256_cvtps_pd(_mm256_extractf128_ps(im.v, 1));
        const __m256d sl = _mm256_add_pd(_mm256_mul_pd(rl, rl), _mm256_mul_pd(il, il));
        const __m256d sh = _mm256_add_pd(_mm256_mul_pd(rh, rh), _mm256_mul_pd(ih, ih));
        return {_mm256_set_m128(_mm256_cvtpd_ps(sh), _mm256_cvtpd_ps(sl))};
    }
    static V Reverse(V a) {
        return {_mm256_permutevar8x32_ps(a.v, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0))};
    }
    static V ShiftIn(V p, V q) {
        const __m256 t = _mm256_blend_ps(p.v, q.v, 0x01); // [q0 p1 ... p7]
        return {_mm256_permutevar8x32_ps(t, _mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 0))};
    }
    static void Transpose(V* r) {
        __m256 t[8], u[8];
        for (int i = 0; i < 8; i += 2) {
            t[i] = _mm256_unpacklo_ps(r[i].v, r[i + 1].v);
            t[i + 1] = _mm256_unpackhi_ps(r[i].v, r[i + 1].v);
        }
        for (int i = 0; i < 8; i += 4) {
            u[i] = _mm256_shuffle_ps(t[i], t[i + 2], _MM_SHUFFLE(1, 0, 1, 0));
            u[i + 1] = _mm256_shuffle_ps(t[i], t[i + 2], _MM_SHUFFLE(3, 2, 3, 2));
            u[i + 2] = _mm256_shuffle_ps(t[i + 1], t[i + 3], _MM_SHUFFLE(1, 0, 1, 0));
            u[i + 3] = _mm256_shuffle_ps(t[i + 1], t[i + 3], _MM_SHUFFLE(3, 2, 3, 2));
        }
        for (int i = 0; i < 4; ++i) {
            r[i].v = _mm256_permute2f128_ps(u[i], u[i + 4], 0x20);
            r[i + 4].v = _mm256_permute2f128_ps(u[i], u[i + 4], 0x31);
        }
    }
    static __m256 Order64(__m256 a) {
        return _mm256_castpd_ps(
            _mm256_permute4x64_pd(_mm256_castps_pd(a), _MM_SHUFFLE(3, 1, 2, 0)));
    }
    static void LoadComplex(const float* p, V& re, V& im) {
        const __m256 a = _mm256_loadu_ps(p), b = _mm256_loadu_ps(p + 8);
        re.v = Order64(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
        im.v = Order64(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    }
    static void StoreComplex(float* p, V re, V im) {
        const __m256 r = Order64(re.v), i = Order64(im.v);
        _mm256_storeu_ps(p, _mm256_unpacklo_ps(r, i));
        _mm256_storeu_ps(p + 8, _mm256_unpackhi_ps(r, i));
    }
    // The first pass takes the lanes as the in-lane shuffles leave them,
    // which spares the lane-crossing permute of LoadComplex.
    static constexpr std::size_t kLoadOrder[8] = {0, 1, 4, 5, 2, 3, 6, 7};
    static void LoadComplexInLoadOrder(const float* p, V& re, V& im) {
        const __m256 a = _mm256_loadu_ps(p), b = _mm256_loadu_ps(p + 8);
        re.v = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
        im.v = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
    }
    static V ToLoadOrder(V a) { return {Order64(a.v)}; }
};

struct AD8 {
    __m256d lo, hi;
};
inline AD8 operator+(AD8 a, AD8 b) {
    return {_mm256_add_pd(a.lo, b.lo), _mm256_add_pd(a.hi, b.hi)};
}
inline AD8 operator-(AD8 a, AD8 b) {
    return {_mm256_sub_pd(a.lo, b.lo), _mm256_sub_pd(a.hi, b.hi)};
}
inline AD8 operator*(AD8 a, AD8 b) {
    return {_mm256_mul_pd(a.lo, b.lo), _mm256_mul_pd(a.hi, b.hi)};
}

struct Avx2DoubleOps {
    using T = double;
    using V = AD8;
    static V Load(const double* p) { return {_mm256_loadu_pd(p), _mm256_loadu_pd(p + 4)}; }
    static void Store(double* p, V a) { _mm256_storeu_pd(p, a.lo), _mm256_storeu_pd(p + 4, a.hi); }
    static V Set(double x) { return {_mm256_set1_pd(x), _mm256_set1_pd(x)}; }
    static V MulAdd(V a, V b, V c) {
        return {_mm256_fmadd_pd(a.lo, b.lo, c.lo), _mm256_fmadd_pd(a.hi, b.hi, c.hi)};
    }
    static V MulSub(V a, V b, V c) {
        return {_mm256_fmsub_pd(a.lo, b.lo, c.lo), _mm256_fmsub_pd(a.hi, b.hi, c.hi)};
    }
    static V Power(V re, V im) { return re * re + im * im; }
    static V Reverse(V a) {
        return {_mm256_permute4x64_pd(a.hi, _MM_SHUFFLE(0, 1, 2, 3)),
                _mm256_permute4x64_pd(a.lo, _MM_SHUFFLE(0, 1, 2, 3))};
    }
    // [p1 p2 p3 p4 | p5 p6 p7 q0]
    static V ShiftIn(V p, V q) {
        const __m256d a = _mm256_blend_pd(p.lo, p.hi, 0x1); // [p4 p1 p2 p3]
        const __m256d b = _mm256_blend_pd(p.hi, q.lo, 0x1); // [q0 p5 p6 p7]
        return {_mm256_permute4x64_pd(a, _MM_SHUFFLE(0, 3, 2, 1)),
                _mm256_permute4x64_pd(b, _MM_SHUFFLE(0, 3, 2, 1))};
    }
    // Transposes the 4x4 block held in the given four registers.
    static void Transpose4(__m256d& r0, __m256d& r1, __m256d& r2, __m256d& r3) {
        const __m256d t0 = _mm256_unpacklo_pd(r0, r1), t1 = _mm256_unpackhi_pd(r0, r1);
        const __m256d t2 = _mm256_unpacklo_pd(r2, r3), t3 = _mm256_unpackhi_pd(r2, r3);
        r0 = _mm256_permute2f128_pd(t0, t2, 0x20);
        r1 = _mm256_permute2f128_pd(t1, t3, 0x20);
        r2 = _mm256_permute2f128_pd(t0, t2, 0x31);
        r3 = _mm256_permute2f128_pd(t1, t3, 0x31);
    }
    static void Transpose(V* r) {
        Transpose4(r[0].lo, r[1].lo, r[2].lo, r[3].lo);
        Transpose4(r[0].hi, r[1].hi, r[2].hi, r[3].hi);
        Transpose4(r[4].lo, r[5].lo, r[6].lo, r[7].lo);
        Transpose4(r[4].hi, r[5].hi, r[6].hi, r[7].hi);
        for (int i = 0; i < 4; ++i) {
            const __m256d t = r[i].hi;
            r[i].hi = r[4 + i].lo;
            r[4 + i].lo = t;
        }
    }
    static void LoadComplex4(const double* p, __m256d& re, __m256d& im) {
        const __m256d a = _mm256_loadu_pd(p), b = _mm256_loadu_pd(p + 4);
        re = _mm256_permute4x64_pd(_mm256_unpacklo_pd(a, b), _MM_SHUFFLE(3, 1, 2, 0));
        im = _mm256_permute4x64_pd(_mm256_unpackhi_pd(a, b), _MM_SHUFFLE(3, 1, 2, 0));
    }
    static void LoadComplex(const double* p, V& re, V& im) {
        LoadComplex4(p, re.lo, im.lo);
        LoadComplex4(p + 8, re.hi, im.hi);
    }
    static void StoreComplex4(double* p, __m256d re, __m256d im) {
        const __m256d r = _mm256_permute4x64_pd(re, _MM_SHUFFLE(3, 1, 2, 0));
        const __m256d i = _mm256_permute4x64_pd(im, _MM_SHUFFLE(3, 1, 2, 0));
        _mm256_storeu_pd(p, _mm256_unpacklo_pd(r, i));
        _mm256_storeu_pd(p + 4, _mm256_unpackhi_pd(r, i));
    }
    static void StoreComplex(double* p, V re, V im) {
        StoreComplex4(p, re.lo, im.lo);
        StoreComplex4(p + 8, re.hi, im.hi);
    }
    static constexpr std::size_t kLoadOrder[8] = {0, 1, 2, 3, 4, 5, 6, 7};
    static void LoadComplexInLoadOrder(const double* p, V& re, V& im) { LoadComplex(p, re, im); }
    static V ToLoadOrder(V a) { return a; }
};

} // namespace
} // namespace sonvara::dsp

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace sonvara::dsp {
namespace {

bool ProcessorHasAvx2() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    }();
    return has;
}

} // namespace

const FftKernels<float>* Avx2KernelsFloat() {
    return ProcessorHasAvx2() ? &Kernel<Avx2FloatOps>::kEntries : nullptr;
}

const FftKernels<double>* Avx2KernelsDouble() {
    return ProcessorHasAvx2() ? &Kernel<Avx2DoubleOps>::kEntries : nullptr;
}

} // namespace sonvara::dsp

#else

namespace sonvara::dsp {
const FftKernels<float>* Avx2KernelsFloat() {
    return nullptr;
}
const FftKernels<double>* Avx2KernelsDouble() {
    return nullptr;
}
} // namespace sonvara::dsp

#endif
