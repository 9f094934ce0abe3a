// Four-lane vectors for the FFT: SSE2 where the target has it (every x86-64),
// plain arrays elsewhere. Only the operations the FFT needs; every load and
// store is unaligned because callers' arrays carry no alignment promise.
#pragma once

#if !defined(SONVARA_DSP_NO_SIMD) &&                                                               \
    (defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2))
#define SONVARA_DSP_SSE2 1
#include <emmintrin.h>
#endif

namespace sonvara::dsp::simd {

// Portable lanes, also the reference for what each operation does.
template <typename T> struct Lanes { T v[4]; };

template <typename T> inline Lanes<T> operator+(Lanes<T> a, Lanes<T> b) {
    return {{a.v[0] + b.v[0], a.v[1] + b.v[1], a.v[2] + b.v[2], a.v[3] + b.v[3]}};
}
template <typename T> inline Lanes<T> operator-(Lanes<T> a, Lanes<T> b) {
    return {{a.v[0] - b.v[0], a.v[1] - b.v[1], a.v[2] - b.v[2], a.v[3] - b.v[3]}};
}
template <typename T> inline Lanes<T> operator*(Lanes<T> a, Lanes<T> b) {
    return {{a.v[0] * b.v[0], a.v[1] * b.v[1], a.v[2] * b.v[2], a.v[3] * b.v[3]}};
}
template <typename T> inline Lanes<T> LoadLanes(const T* p) {
    return {{p[0], p[1], p[2], p[3]}};
}
template <typename T> inline void Store(T* p, Lanes<T> a) {
    p[0] = a.v[0], p[1] = a.v[1], p[2] = a.v[2], p[3] = a.v[3];
}
template <typename T> inline Lanes<T> SetLanes(T x) {
    return {{x, x, x, x}};
}
// [a3 a2 a1 a0]
template <typename T> inline Lanes<T> Reverse(Lanes<T> a) {
    return {{a.v[3], a.v[2], a.v[1], a.v[0]}};
}
// [p1 p2 p3 q0]: four consecutive lanes starting one into p.
template <typename T> inline Lanes<T> ShiftIn(Lanes<T> p, Lanes<T> q) {
    return {{p.v[1], p.v[2], p.v[3], q.v[0]}};
}
template <typename T> inline void Transpose(Lanes<T>& a, Lanes<T>& b, Lanes<T>& c, Lanes<T>& d) {
    const Lanes<T> r0{{a.v[0], b.v[0], c.v[0], d.v[0]}};
    const Lanes<T> r1{{a.v[1], b.v[1], c.v[1], d.v[1]}};
    const Lanes<T> r2{{a.v[2], b.v[2], c.v[2], d.v[2]}};
    const Lanes<T> r3{{a.v[3], b.v[3], c.v[3], d.v[3]}};
    a = r0, b = r1, c = r2, d = r3;
}
// Four interleaved complex values (re, im, re, im ...) into lanes and back.
template <typename T> inline void LoadComplex(const T* p, Lanes<T>& re, Lanes<T>& im) {
    re = {{p[0], p[2], p[4], p[6]}};
    im = {{p[1], p[3], p[5], p[7]}};
}
template <typename T> inline void StoreComplex(T* p, Lanes<T> re, Lanes<T> im) {
    for (int i = 0; i < 4; ++i)
        p[2 * i] = re.v[i], p[2 * i + 1] = im.v[i];
}

#if defined(SONVARA_DSP_SSE2)

struct F4 {
    __m128 v;
};
inline F4 operator+(F4 a, F4 b) {
    return {_mm_add_ps(a.v, b.v)};
}
inline F4 operator-(F4 a, F4 b) {
    return {_mm_sub_ps(a.v, b.v)};
}
inline F4 operator*(F4 a, F4 b) {
    return {_mm_mul_ps(a.v, b.v)};
}
inline F4 Load(const float* p) {
    return {_mm_loadu_ps(p)};
}
inline void Store(float* p, F4 a) {
    _mm_storeu_ps(p, a.v);
}
inline F4 Set(float x) {
    return {_mm_set1_ps(x)};
}
inline F4 Reverse(F4 a) {
    return {_mm_shuffle_ps(a.v, a.v, _MM_SHUFFLE(0, 1, 2, 3))};
}
inline F4 ShiftIn(F4 p, F4 q) {
    const __m128 t = _mm_move_ss(p.v, q.v); // [q0 p1 p2 p3]
    return {_mm_shuffle_ps(t, t, _MM_SHUFFLE(0, 3, 2, 1))};
}
inline void Transpose(F4& a, F4& b, F4& c, F4& d) {
    _MM_TRANSPOSE4_PS(a.v, b.v, c.v, d.v);
}
inline void LoadComplex(const float* p, F4& re, F4& im) {
    const __m128 lo = _mm_loadu_ps(p), hi = _mm_loadu_ps(p + 4);
    re.v = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0));
    im.v = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1));
}
inline void StoreComplex(float* p, F4 re, F4 im) {
    _mm_storeu_ps(p, _mm_unpacklo_ps(re.v, im.v));
    _mm_storeu_ps(p + 4, _mm_unpackhi_ps(re.v, im.v));
}

struct D4 {
    __m128d lo, hi;
};
inline D4 operator+(D4 a, D4 b) {
    return {_mm_add_pd(a.lo, b.lo), _mm_add_pd(a.hi, b.hi)};
}
inline D4 operator-(D4 a, D4 b) {
    return {_mm_sub_pd(a.lo, b.lo), _mm_sub_pd(a.hi, b.hi)};
}
inline D4 operator*(D4 a, D4 b) {
    return {_mm_mul_pd(a.lo, b.lo), _mm_mul_pd(a.hi, b.hi)};
}
inline D4 Load(const double* p) {
    return {_mm_loadu_pd(p), _mm_loadu_pd(p + 2)};
}
inline void Store(double* p, D4 a) {
    _mm_storeu_pd(p, a.lo), _mm_storeu_pd(p + 2, a.hi);
}
inline D4 Set(double x) {
    return {_mm_set1_pd(x), _mm_set1_pd(x)};
}
inline D4 Reverse(D4 a) {
    return {_mm_shuffle_pd(a.hi, a.hi, 1), _mm_shuffle_pd(a.lo, a.lo, 1)};
}
inline D4 ShiftIn(D4 p, D4 q) {
    return {_mm_shuffle_pd(p.lo, p.hi, 1), _mm_shuffle_pd(p.hi, q.lo, 1)};
}
inline void Transpose(D4& a, D4& b, D4& c, D4& d) {
    const D4 r0{_mm_unpacklo_pd(a.lo, b.lo), _mm_unpacklo_pd(c.lo, d.lo)};
    const D4 r1{_mm_unpackhi_pd(a.lo, b.lo), _mm_unpackhi_pd(c.lo, d.lo)};
    const D4 r2{_mm_unpacklo_pd(a.hi, b.hi), _mm_unpacklo_pd(c.hi, d.hi)};
    const D4 r3{_mm_unpackhi_pd(a.hi, b.hi), _mm_unpackhi_pd(c.hi, d.hi)};
    a = r0, b = r1, c = r2, d = r3;
}
inline void LoadComplex(const double* p, D4& re, D4& im) {
    const __m128d c0 = _mm_loadu_pd(p), c1 = _mm_loadu_pd(p + 2);
    const __m128d c2 = _mm_loadu_pd(p + 4), c3 = _mm_loadu_pd(p + 6);
    re = {_mm_unpacklo_pd(c0, c1), _mm_unpacklo_pd(c2, c3)};
    im = {_mm_unpackhi_pd(c0, c1), _mm_unpackhi_pd(c2, c3)};
}
inline void StoreComplex(double* p, D4 re, D4 im) {
    _mm_storeu_pd(p, _mm_unpacklo_pd(re.lo, im.lo));
    _mm_storeu_pd(p + 2, _mm_unpackhi_pd(re.lo, im.lo));
    _mm_storeu_pd(p + 4, _mm_unpacklo_pd(re.hi, im.hi));
    _mm_storeu_pd(p + 6, _mm_unpackhi_pd(re.hi, im.hi));
}

template <typename T> struct VecOf;
template <> struct VecOf<float> { using type = F4; };
template <> struct VecOf<double> { using type = D4; };

#else

inline Lanes<float> Load(const float* p) {
    return LoadLanes(p);
}
inline Lanes<double> Load(const double* p) {
    return LoadLanes(p);
}
inline Lanes<float> Set(float x) {
    return SetLanes(x);
}
inline Lanes<double> Set(double x) {
    return SetLanes(x);
}

template <typename T> struct VecOf { using type = Lanes<T>; };

#endif

} // namespace sonvara::dsp::simd
