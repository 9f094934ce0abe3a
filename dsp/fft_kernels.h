// The complex FFT core, the split step and its mirror, written once over an
// eight-lane vector "ops" type and compiled once per instruction set
// (nsp_fft.cpp for the baseline, nsp_fft_avx2.cpp for AVX2 with FMA).
//
// A real sequence x of N points is read as M = N/2 complex points
// z[j] = (x[2j], x[2j+1]). The complex FFT runs in place in the caller's
// output array: a first pass reads the input in bit-reversed group order and
// writes 8- or 16-point DFTs, then radix-4 decimation-in-time stages follow
// (after one radix-2 stage where the length leaves an odd factor of two).
// Inside the transform the data are kept in blocks of eight complex values,
// eight real parts then eight imaginary parts, so that every butterfly is
// plain lane-wise arithmetic. A block covers the same sixteen values as eight
// interleaved complex values, which lets the last pass of either direction
// write the interleaved result in place.
//
// Everything with code is in an unnamed namespace: each instruction set gets
// its own copy, and none can be merged by the linker into the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace sonvara::dsp {

// The tables of one order; built once (nsp_fft.cpp) and read-only after.
template <typename T> struct FftTables {
    std::size_t n = 0;              // N
    std::size_t m = 0;              // N/2, the complex FFT length
    std::size_t first = 8;          // length of the first-pass DFTs, 8 or 16
    bool radix2 = false;            // a radix-2 stage follows the first pass
    T* direct = nullptr;            // small orders: cos, sin of 2*pi*j/N for j < N
    std::uint32_t* group = nullptr; // first pass: output group of input offset r
    T* stages = nullptr;            // twiddles of the stages, stage after stage
    T* split = nullptr;             // forward split factors -i*e^(-2*pi*i*k/N)/2, k = 1..N/4
    T* mirror = nullptr;            // inverse mirror factors i*e^(2*pi*i*j/N), j < N/2
};

// Entry points of one instruction set.
template <typename T> struct FftKernels {
    // Real forward transform into interleaved CCS; real parts of the result
    // times sr, imaginary parts times si.
    void (*realForward)(const FftTables<T>& t, const T* x, T* out, T sr, T si);
    // CCS to real; sigma +1 for the positive exponent, -1 for the negative;
    // the result times scale.
    void (*ccsToReal)(const FftTables<T>& t, const T* spectrum, T* out, T sigma, T scale);
    // The same for the power spectrum of `spectrum`: every bin taken as
    // (re^2 + im^2, 0), the squares of a float spectrum formed in double.
    void (*ccsPowerToReal)(const FftTables<T>& t, const T* spectrum, T* out, T sigma, T scale);
};

// The AVX2 kernels, or null when this build or this processor has none.
const FftKernels<float>* Avx2KernelsFloat();
const FftKernels<double>* Avx2KernelsDouble();

namespace {

constexpr std::size_t kLanes = 8;

// Position of the real part of complex value i in the block layout.
inline std::size_t BlockIndex(std::size_t i) {
    return 2 * kLanes * (i / kLanes) + i % kLanes;
}

template <class O> struct Kernel {
    using T = typename O::T;
    using V = typename O::V;
    using size_t = std::size_t;

    // (ar + i*ai) * (br + i*bi)
    static void CMul(V ar, V ai, V br, V bi, V& r, V& i) {
        r = O::MulSub(ar, br, ai * bi);
        i = O::MulAdd(ar, bi, ai * br);
    }

    // DFT of four points in natural order, in place.
    static void Dft4(V* re, V* im) {
        const V s02r = re[0] + re[2], s02i = im[0] + im[2];
        const V d02r = re[0] - re[2], d02i = im[0] - im[2];
        const V s13r = re[1] + re[3], s13i = im[1] + im[3];
        const V d13r = re[1] - re[3], d13i = im[1] - im[3];
        re[0] = s02r + s13r, im[0] = s02i + s13i;
        re[2] = s02r - s13r, im[2] = s02i - s13i;
        re[1] = d02r + d13i, im[1] = d02i - d13r;
        re[3] = d02r - d13i, im[3] = d02i + d13r;
    }

    // DFT of eight points in natural order, in place.
    static void Dft8(V* re, V* im) {
        V er[4] = {re[0], re[2], re[4], re[6]}, ei[4] = {im[0], im[2], im[4], im[6]};
        V odr[4] = {re[1], re[3], re[5], re[7]}, odi[4] = {im[1], im[3], im[5], im[7]};
        Dft4(er, ei);
        Dft4(odr, odi);
        // The odd half times e^(-2*pi*i*k/8): (1-i)/sqrt2, -i, (-1-i)/sqrt2.
        const V h = O::Set(static_cast<T>(0.70710678118654752440));
        const V t1r = (odr[1] + odi[1]) * h, t1i = (odi[1] - odr[1]) * h;
        const V t3r = (odi[3] - odr[3]) * h, t3i = (odr[3] + odi[3]) * h; // imaginary part -t3i
        re[0] = er[0] + odr[0], im[0] = ei[0] + odi[0];
        re[4] = er[0] - odr[0], im[4] = ei[0] - odi[0];
        re[1] = er[1] + t1r, im[1] = ei[1] + t1i;
        re[5] = er[1] - t1r, im[5] = ei[1] - t1i;
        re[2] = er[2] + odi[2], im[2] = ei[2] - odr[2];
        re[6] = er[2] - odi[2], im[6] = ei[2] + odr[2];
        re[3] = er[3] + t3r, im[3] = ei[3] - t3i;
        re[7] = er[3] - t3r, im[7] = ei[3] + t3i;
    }

    // DFT of sixteen points in natural order, in place.
    static void Dft16(V* re, V* im) {
        V er[8], ei[8], odr[8], odi[8];
        for (int i = 0; i < 8; ++i) {
            er[i] = re[2 * i], ei[i] = im[2 * i];
            odr[i] = re[2 * i + 1], odi[i] = im[2 * i + 1];
        }
        Dft8(er, ei);
        Dft8(odr, odi);
        // The odd half times e^(-2*pi*i*k/16).
        const T c1 = static_cast<T>(0.92387953251128675613); // cos(pi/8)
        const T s1 = static_cast<T>(0.38268343236508977173); // sin(pi/8)
        const T h = static_cast<T>(0.70710678118654752440);
        const T wr[8] = {1, c1, h, s1, 0, -s1, -h, -c1};
        const T wi[8] = {0, -s1, -h, -c1, -1, -c1, -h, -s1};
        for (int k = 0; k < 8; ++k) {
            V tr = odr[k], ti = odi[k];
            if (k == 4) {
                tr = odi[4], ti = O::Set(T(0)) - odr[4];
            } else if (k != 0) {
                CMul(odr[k], odi[k], O::Set(wr[k]), O::Set(wi[k]), tr, ti);
            }
            re[k] = er[k] + tr, im[k] = ei[k] + ti;
            re[k + 8] = er[k] - tr, im[k + 8] = ei[k] - ti;
        }
    }

    // Lane l of re/im holds the F-point DFT input of the group with input
    // offset r0 + O::kLoadOrder[l]: transformed and transposed, each row is
    // one block of that group's output.
    template <size_t F>
    static void DftAndStoreGroups(const FftTables<T>& t, T* w, size_t r0, V* re, V* im) {
        if constexpr (F == 8) {
            Dft8(re, im);
        } else {
            Dft16(re, im);
        }
        for (size_t c = 0; c < F; c += kLanes) {
            O::Transpose(re + c);
            O::Transpose(im + c);
            for (size_t l = 0; l < kLanes; ++l) {
                T* block = w + 2 * (F * t.group[r0 + O::kLoadOrder[l]] + c);
                O::Store(block, re[c + l]);
                O::Store(block + kLanes, im[c + l]);
            }
        }
    }

    // First pass of the forward transform.
    template <size_t F> static void FirstPassReal(const FftTables<T>& t, const T* x, T* w) {
        const size_t stride = t.m / F;
        for (size_t r0 = 0; r0 < stride; r0 += kLanes) {
            V re[F], im[F];
            for (size_t q = 0; q < F; ++q) {
                O::LoadComplexInLoadOrder(x + 2 * (r0 + q * stride), re[q], im[q]);
            }
            DftAndStoreGroups<F>(t, w, r0, re, im);
        }
    }

    // First pass of the inverse: forms the half-length spectrum Y from the
    // CCS bins on the fly, conjugated so that the forward FFT computes the
    // inverse one. Lanes follow O::kLoadOrder; the mirrored bins, loaded the
    // same way and reversed, then pair up lane by lane.
    template <size_t F, bool NegativeExponent, bool Power = false>
    static void FirstPassCcs(const FftTables<T>& t, const T* X, T* w) {
        const size_t m = t.m, stride = m / F;
        for (size_t r0 = 0; r0 < stride; r0 += kLanes) {
            V re[F], im[F];
            for (size_t q = 0; q < F; ++q) {
                const size_t j0 = r0 + q * stride;
                V ar, ai, br, bi;
                if (j0 == 0) {
                    T a[2 * kLanes], b[2 * kLanes];
                    std::memcpy(a, X, sizeof a);
                    std::memcpy(b, X + 2 * (m - kLanes + 1), sizeof b);
                    a[1] = b[2 * kLanes - 1] = T(0); // bins 0 and N/2 are real by definition
                    O::LoadComplexInLoadOrder(a, ar, ai);
                    O::LoadComplexInLoadOrder(b, br, bi);
                } else {
                    O::LoadComplexInLoadOrder(X + 2 * j0, ar, ai);
                    O::LoadComplexInLoadOrder(X + 2 * (m - j0 - kLanes + 1), br, bi);
                }
                if constexpr (Power) {
                    ar = O::Power(ar, ai), ai = O::Set(T(0));
                    br = O::Power(br, bi), bi = O::Set(T(0));
                }
                br = O::Reverse(br), bi = O::Reverse(bi);
                // A = X[j], B = conj(X[M-j]) (both conjugated for the negative
                // exponent); Y = (A + B) + i*e^(2*pi*i*j/N)*(A - B); the FFT
                // takes conj(Y).
                const V pr = ar + br, dr = ar - br;
                const V npi = NegativeExponent ? ai - bi : bi - ai;
                const V sdi = ai + bi; // imaginary part of A - B, up to the sign
                const T* g = t.mirror + 2 * j0;
                const V gr = O::ToLoadOrder(O::Load(g)), gi = O::ToLoadOrder(O::Load(g + kLanes));
                V gdr, gdi;
                if constexpr (NegativeExponent) {
                    // G*(A - B) with the imaginary part of A - B negated.
                    gdr = O::MulAdd(gi, sdi, gr * dr);
                    gdi = O::MulSub(gi, dr, gr * sdi);
                } else {
                    CMul(gr, gi, dr, sdi, gdr, gdi);
                }
                re[q] = pr + gdr;
                im[q] = npi - gdi;
            }
            DftAndStoreGroups<F>(t, w, r0, re, im);
        }
    }

    static void Radix2Stage(T* w, size_t m, size_t len, const T* tw) {
        for (size_t s = 0; s < m; s += 2 * len) {
            const T* c = tw;
            for (size_t k = 0; k < len; k += kLanes, c += 2 * kLanes) {
                T* pa = w + 2 * (s + k);
                T* pb = pa + 2 * len;
                const V ar = O::Load(pa), ai = O::Load(pa + kLanes);
                V tr, ti;
                CMul(O::Load(pb), O::Load(pb + kLanes), O::Load(c), O::Load(c + kLanes), tr, ti);
                O::Store(pa, ar + tr), O::Store(pa + kLanes, ai + ti);
                O::Store(pb, ar - tr), O::Store(pb + kLanes, ai - ti);
            }
        }
    }

    // Combines four DFTs of `len` points; the last stage of the inverse writes
    // interleaved values, real parts times sr, imaginary parts times si.
    template <bool Interleave>
    static void Radix4Stage(T* w, size_t m, size_t len, const T* tw, T sr, T si) {
        const V vr = O::Set(sr), vi = O::Set(si);
        constexpr size_t L = kLanes;
        for (size_t s = 0; s < m; s += 4 * len) {
            const T* c = tw;
            for (size_t k = 0; k < len; k += L, c += 6 * L) {
                T* pa = w + 2 * (s + k);
                T* pb = pa + 2 * len;
                T* pc = pa + 4 * len;
                T* pd = pa + 6 * len;
                const V ar = O::Load(pa), ai = O::Load(pa + L);
                V t1r, t1i, t2r, t2i, t3r, t3i;
                CMul(O::Load(pb), O::Load(pb + L), O::Load(c + 2 * L), O::Load(c + 3 * L), t1r,
                     t1i);
                CMul(O::Load(pc), O::Load(pc + L), O::Load(c), O::Load(c + L), t2r, t2i);
                CMul(O::Load(pd), O::Load(pd + L), O::Load(c + 4 * L), O::Load(c + 5 * L), t3r,
                     t3i);
                const V s0r = ar + t1r, s0i = ai + t1i, d0r = ar - t1r, d0i = ai - t1i;
                const V s1r = t2r + t3r, s1i = t2i + t3i, d1r = t2r - t3r, d1i = t2i - t3i;
                if constexpr (Interleave) {
                    O::StoreComplex(pa, (s0r + s1r) * vr, (s0i + s1i) * vi);
                    O::StoreComplex(pb, (d0r + d1i) * vr, (d0i - d1r) * vi);
                    O::StoreComplex(pc, (s0r - s1r) * vr, (s0i - s1i) * vi);
                    O::StoreComplex(pd, (d0r - d1i) * vr, (d0i + d1r) * vi);
                } else {
                    O::Store(pa, s0r + s1r), O::Store(pa + L, s0i + s1i);
                    O::Store(pb, d0r + d1i), O::Store(pb + L, d0i - d1r);
                    O::Store(pc, s0r - s1r), O::Store(pc + L, s0i - s1i);
                    O::Store(pd, d0r - d1i), O::Store(pd + L, d0i + d1r);
                }
            }
        }
    }

    static void Stages(const FftTables<T>& t, T* w, bool interleaveLast, T sr, T si) {
        const T* tw = t.stages;
        size_t len = t.first;
        if (t.radix2) {
            Radix2Stage(w, t.m, len, tw);
            tw += 2 * len;
            len *= 2;
        }
        for (; len < t.m; len *= 4) {
            if (interleaveLast && 4 * len == t.m) {
                Radix4Stage<true>(w, t.m, len, tw, sr, si);
            } else {
                Radix4Stage<false>(w, t.m, len, tw, T(1), T(1));
            }
            tw += 6 * len;
        }
    }

    // The split step, in place: from Z (block layout) to the interleaved CCS
    // spectrum X[0..N/2]. Bins k = 8b+1..8b+8 are taken together with their
    // mirrors M-k, which form one whole block. Writing bins 8b+1..8b+8
    // overwrites the start of block b+1, which is therefore carried over in
    // registers.
    template <bool Scaled> static void SplitForward(const FftTables<T>& t, T* w, T sr, T si) {
        constexpr size_t L = kLanes;
        const size_t m = t.m;
        const V half = O::Set(T(0.5)), vr = O::Set(sr), vi = O::Set(si);
        const T z0r = w[0], z0i = w[L];
        V curR = O::Load(w), curI = O::Load(w + L);
        const T* c = t.split;
        for (size_t b = 0; b < m / (2 * L); ++b, c += 2 * L) {
            T* next = w + 2 * L * (b + 1);
            T* mirror = w + 2 * L * (m / L - 1 - b);
            const V nextR = O::Load(next), nextI = O::Load(next + L);
            const V mr = O::Reverse(O::Load(mirror)), mi = O::Reverse(O::Load(mirror + L));
            const V ar = O::ShiftIn(curR, nextR), ai = O::ShiftIn(curI, nextI);
            // A = Z[k], B = conj(Z[M-k]); E = (A+B)/2, T = C*(A-B).
            const V er = (ar + mr) * half, ei = (ai - mi) * half;
            V tr, ti;
            CMul(O::Load(c), O::Load(c + L), ar - mr, ai + mi, tr, ti);
            // X[k] = E + T, X[M-k] = conj(E - T).
            V xr = er + tr, xi = ei + ti;
            V yr = er - tr, yi = ti - ei;
            if constexpr (Scaled) {
                xr = xr * vr, xi = xi * vi;
                yr = yr * vr, yi = yi * vi;
            }
            O::StoreComplex(w + 2 * L * b + 2, xr, xi);
            O::StoreComplex(mirror, O::Reverse(yr), O::Reverse(yi));
            curR = nextR, curI = nextI;
        }
        w[0] = (z0r + z0i) * sr, w[1] = T(0);
        w[2 * m] = (z0r - z0i) * sr, w[2 * m + 1] = T(0);
    }

    static void RealForward(const FftTables<T>& t, const T* x, T* out, T sr, T si) {
        if (t.first == 16) {
            FirstPassReal<16>(t, x, out);
        } else {
            FirstPassReal<8>(t, x, out);
        }
        Stages(t, out, false, T(1), T(1));
        if (sr == T(1) && si == T(1)) {
            SplitForward<false>(t, out, sr, si);
        } else {
            SplitForward<true>(t, out, sr, si);
        }
    }

    template <bool Power>
    static void CcsToReal(const FftTables<T>& t, const T* X, T* out, T sigma, T scale) {
        const bool negative = sigma < T(0);
        if (t.first == 16) {
            negative ? FirstPassCcs<16, true, Power>(t, X, out)
                     : FirstPassCcs<16, false, Power>(t, X, out);
        } else {
            negative ? FirstPassCcs<8, true, Power>(t, X, out)
                     : FirstPassCcs<8, false, Power>(t, X, out);
        }
        // The FFT ran forward on conj(Y); conjugating its result gives z.
        Stages(t, out, true, scale, -scale);
    }

    static constexpr FftKernels<T> kEntries{&RealForward, &CcsToReal<false>, &CcsToReal<true>};
};

} // namespace
} // namespace sonvara::dsp
