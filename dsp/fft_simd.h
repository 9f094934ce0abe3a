// Eight-lane vectors for the FFT kernels, baseline instruction set: SSE2
// where the target has it (every x86-64), plain arrays elsewhere. Each
// "ops" type gathers what the kernels need; nsp_fft_avx2.cpp has the same
// for AVX2. Loads and stores are unaligned because callers' arrays carry no
// alignment promise.
#pragma once

#include <cstddef>

#if !defined(SONVARA_DSP_NO_SIMD) &&                                                               \
    (defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2))
#define SONVARA_DSP_SSE2 1
#include <emmintrin.h>
#endif

namespace sonvara::dsp::simd {

// Portable lanes; also the reference for what each operation does.
template <typename T> struct Lanes8 { T v[8]; };
template <typename T> inline Lanes8<T> operator+(Lanes8<T> a, Lanes8<T> b) {
    for (int i = 0; i < 8; ++i)
        a.v[i] += b.v[i];
    return a;
}
template <typename T> inline Lanes8<T> operator-(Lanes8<T> a, Lanes8<T> b) {
    for (int i = 0; i < 8; ++i)
        a.v[i] -= b.v[i];
    return a;
}
template <typename T> inline Lanes8<T> operator*(Lanes8<T> a, Lanes8<T> b) {
    for (int i = 0; i < 8; ++i)
        a.v[i] *= b.v[i];
    return a;
}

template <typename Elem> struct GenericOps {
    using T = Elem;
    using V = Lanes8<T>;
    static V Load(const T* p) {
        V r;
        for (int i = 0; i < 8; ++i)
            r.v[i] = p[i];
        return r;
    }
    static void Store(T* p, V a) {
        for (int i = 0; i < 8; ++i)
            p[i] = a.v[i];
    }
    static V Set(T x) {
        V r;
        for (int i = 0; i < 8; ++i)
            r.v[i] = x;
        return r;
    }
    static V MulAdd(V a, V b, V c) { return a * b + c; } // a*b + c
    static V MulSub(V a, V b, V c) { return a * b - c; } // a*b - c
    // re^2 + im^2 lane by lane, formed in double and rounded once.
    static V Power(V re, V im) {
        V r;
        for (int i = 0; i < 8; ++i) {
            const double a = re.v[i], b = im.v[i];
            r.v[i] = static_cast<T>(a * a + b * b);
        }
        return r;
    }
    // [a7 a6 ... a0]
    static V Reverse(V a) {
        V r;
        for (int i = 0; i < 8; ++i)
            r.v[i] = a.v[7 - i];
        return r;
    }
    // [p1 p2 ... p7 q0]: eight consecutive lanes starting one into p.
    static V ShiftIn(V p, V q) {
        V r;
        for (int i = 0; i < 7; ++i)
            r.v[i] = p.v[i + 1];
        r.v[7] = q.v[0];
        return r;
    }
    // Rows become columns.
    static void Transpose(V* rows) {
        V t[8];
        for (int i = 0; i < 8; ++i)
            for (int j = 0; j < 8; ++j)
                t[i].v[j] = rows[j].v[i];
        for (int i = 0; i < 8; ++i)
            rows[i] = t[i];
    }
    // Eight interleaved complex values (re, im, re, im ...) into lanes and back.
    static void LoadComplex(const T* p, V& re, V& im) {
        for (int i = 0; i < 8; ++i)
            re.v[i] = p[2 * i], im.v[i] = p[2 * i + 1];
    }
    static void StoreComplex(T* p, V re, V im) {
        for (int i = 0; i < 8; ++i)
            p[2 * i] = re.v[i], p[2 * i + 1] = im.v[i];
    }
    // The first pass may take its lanes in another order where that saves
    // shuffles: lane l then holds value kLoadOrder[l]. Identity here.
    static constexpr std::size_t kLoadOrder[8] = {0, 1, 2, 3, 4, 5, 6, 7};
    static void LoadComplexInLoadOrder(const T* p, V& re, V& im) { LoadComplex(p, re, im); }
    static V ToLoadOrder(V a) { return a; }
};

#if defined(SONVARA_DSP_SSE2)

struct F8 {
    __m128 lo, hi;
};
inline F8 operator+(F8 a, F8 b) {
    return {_mm_add_ps(a.lo, b.lo), _mm_add_ps(a.hi, b.hi)};
}
inline F8 operator-(F8 a, F8 b) {
    return {_mm_sub_ps(a.lo, b.lo), _mm_sub_ps(a.hi, b.hi)};
}
inline F8 operator*(F8 a, F8 b) {
    return {_mm_mul_ps(a.lo, b.lo), _mm_mul_ps(a.hi, b.hi)};
}

struct SseFloatOps {
    using T = float;
    using V = F8;
    static V Load(const float* p) { return {_mm_loadu_ps(p), _mm_loadu_ps(p + 4)}; }
    static void Store(float* p, V a) { _mm_storeu_ps(p, a.lo), _mm_storeu_ps(p + 4, a.hi); }
    static V Set(float x) { return {_mm_set1_ps(x), _mm_set1_ps(x)}; }
    static V MulAdd(V a, V b, V c) { return a * b + c; }
    static V MulSub(V a, V b, V c) { return a * b - c; }
    static __m128 Power4(__m128 re, __m128 im) {
        const __m128d rl = _mm_cvtps_pd(re), rh = _mm_cvtps_pd(_mm_movehl_ps(re, re));
        const __m128d il = _mm_cvtps_pd(im), ih = _mm_cvtps_pd(_mm_movehl_ps(im, im));
        const __m128d sl = _mm_add_pd(_mm_mul_pd(rl, rl), _mm_mul_pd(il, il));
        const __m128d sh = _mm_add_pd(_mm_mul_pd(rh, rh), _mm_mul_pd(ih, ih));
        return _mm_movelh_ps(_mm_cvtpd_ps(sl), _mm_cvtpd_ps(sh));
    }
    // re^2 + im^2 lane by lane, formed in double and rounded once.
    static V Power(V re, V im) { return {Power4(re.lo, im.lo), Power4(re.hi, im.hi)}; }
    static __m128 Reverse4(__m128 a) { return _mm_shuffle_ps(a, a, _MM_SHUFFLE(0, 1, 2, 3)); }
    static V Reverse(V a) { return {Reverse4(a.hi), Reverse4(a.lo)}; }
    static __m128 ShiftIn4(__m128 p, __m128 q) {
        const __m128 t = _mm_move_ss(p, q); // [q0 p1 p2 p3]
        return _mm_shuffle_ps(t, t, _MM_SHUFFLE(0, 3, 2, 1));
    }
    static V ShiftIn(V p, V q) { return {ShiftIn4(p.lo, p.hi), ShiftIn4(p.hi, q.lo)}; }
    // Four 4x4 transposes, the off-diagonal quarters swapped.
    static void Transpose(V* r) {
        _MM_TRANSPOSE4_PS(r[0].lo, r[1].lo, r[2].lo, r[3].lo);
        _MM_TRANSPOSE4_PS(r[0].hi, r[1].hi, r[2].hi, r[3].hi);
        _MM_TRANSPOSE4_PS(r[4].lo, r[5].lo, r[6].lo, r[7].lo);
        _MM_TRANSPOSE4_PS(r[4].hi, r[5].hi, r[6].hi, r[7].hi);
        for (int i = 0; i < 4; ++i) {
            const __m128 t = r[i].hi;
            r[i].hi = r[4 + i].lo;
            r[4 + i].lo = t;
        }
    }
    static void LoadComplex4(const float* p, __m128& re, __m128& im) {
        const __m128 a = _mm_loadu_ps(p), b = _mm_loadu_ps(p + 4);
        re = _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
        im = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
    }
    static void LoadComplex(const float* p, V& re, V& im) {
        LoadComplex4(p, re.lo, im.lo);
        LoadComplex4(p + 8, re.hi, im.hi);
    }
    static void StoreComplex(float* p, V re, V im) {
        _mm_storeu_ps(p, _mm_unpacklo_ps(re.lo, im.lo));
        _mm_storeu_ps(p + 4, _mm_unpackhi_ps(re.lo, im.lo));
        _mm_storeu_ps(p + 8, _mm_unpacklo_ps(re.hi, im.hi));
        _mm_storeu_ps(p + 12, _mm_unpackhi_ps(re.hi, im.hi));
    }
    static constexpr std::size_t kLoadOrder[8] = {0, 1, 2, 3, 4, 5, 6, 7};
    static void LoadComplexInLoadOrder(const float* p, V& re, V& im) { LoadComplex(p, re, im); }
    static V ToLoadOrder(V a) { return a; }
};

struct D8 {
    __m128d v[4];
};
inline D8 operator+(D8 a, D8 b) {
    for (int i = 0; i < 4; ++i)
        a.v[i] = _mm_add_pd(a.v[i], b.v[i]);
    return a;
}
inline D8 operator-(D8 a, D8 b) {
    for (int i = 0; i < 4; ++i)
        a.v[i] = _mm_sub_pd(a.v[i], b.v[i]);
    return a;
}
inline D8 operator*(D8 a, D8 b) {
    for (int i = 0; i < 4; ++i)
        a.v[i] = _mm_mul_pd(a.v[i], b.v[i]);
    return a;
}

struct SseDoubleOps {
    using T = double;
    using V = D8;
    static V Load(const double* p) {
        return {{_mm_loadu_pd(p), _mm_loadu_pd(p + 2), _mm_loadu_pd(p + 4), _mm_loadu_pd(p + 6)}};
    }
    static void Store(double* p, V a) {
        for (int i = 0; i < 4; ++i)
            _mm_storeu_pd(p + 2 * i, a.v[i]);
    }
    static V Set(double x) {
        const __m128d s = _mm_set1_pd(x);
        return {{s, s, s, s}};
    }
    static V MulAdd(V a, V b, V c) { return a * b + c; }
    static V MulSub(V a, V b, V c) { return a * b - c; }
    static V Power(V re, V im) { return re * re + im * im; }
    static V Reverse(V a) {
        V r;
        for (int i = 0; i < 4; ++i)
            r.v[i] = _mm_shuffle_pd(a.v[3 - i], a.v[3 - i], 1);
        return r;
    }
    static V ShiftIn(V p, V q) {
        V r;
        for (int i = 0; i < 3; ++i)
            r.v[i] = _mm_shuffle_pd(p.v[i], p.v[i + 1], 1);
        r.v[3] = _mm_shuffle_pd(p.v[3], q.v[0], 1);
        return r;
    }
    // Element (i, 2a+e) sits in rows[i].v[a], lane e.
    static void Transpose(V* rows) {
        V t[8];
        for (int a = 0; a < 4; ++a) {
            for (int j = 0; j < 4; ++j) {
                t[2 * a].v[j] = _mm_unpacklo_pd(rows[2 * j].v[a], rows[2 * j + 1].v[a]);
                t[2 * a + 1].v[j] = _mm_unpackhi_pd(rows[2 * j].v[a], rows[2 * j + 1].v[a]);
            }
        }
        for (int i = 0; i < 8; ++i)
            rows[i] = t[i];
    }
    static void LoadComplex(const double* p, V& re, V& im) {
        for (int i = 0; i < 4; ++i) {
            const __m128d a = _mm_loadu_pd(p + 4 * i), b = _mm_loadu_pd(p + 4 * i + 2);
            re.v[i] = _mm_unpacklo_pd(a, b);
            im.v[i] = _mm_unpackhi_pd(a, b);
        }
    }
    static void StoreComplex(double* p, V re, V im) {
        for (int i = 0; i < 4; ++i) {
            _mm_storeu_pd(p + 4 * i, _mm_unpacklo_pd(re.v[i], im.v[i]));
            _mm_storeu_pd(p + 4 * i + 2, _mm_unpackhi_pd(re.v[i], im.v[i]));
        }
    }
    static constexpr std::size_t kLoadOrder[8] = {0, 1, 2, 3, 4, 5, 6, 7};
    static void LoadComplexInLoadOrder(const double* p, V& re, V& im) { LoadComplex(p, re, im); }
    static V ToLoadOrder(V a) { return a; }
};

template <typename T> struct BaselineOpsOf;
template <> struct BaselineOpsOf<float> { using type = SseFloatOps; };
template <> struct BaselineOpsOf<double> { using type = SseDoubleOps; };

#else

template <typename T> struct BaselineOpsOf { using type = GenericOps<T>; };

#endif

} // namespace sonvara::dsp::simd
