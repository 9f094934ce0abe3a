// Real FFTs of N = 2^order points.
//
// The real sequence is read as N/2 complex points (even samples real, odd
// samples imaginary), transformed by a radix-4 complex FFT and separated into
// the spectrum of the real sequence by the split step; the inverse runs the
// mirror of that step first. Orders up to 4 use a direct transform.
//
// The complex FFT works in place in the caller's output array, so a call
// needs no work memory of its own: the first pass reads the input in
// bit-reversed group order and writes short DFTs, then radix-4
// decimation-in-time stages follow. Inside the transform the data are kept
// in blocks of four complex values, four real parts then four imaginary
// parts, so that every butterfly is plain four-lane arithmetic. A block
// covers the same eight floats as four interleaved values, which lets the
// last pass of either direction write the interleaved result in place.
#include "dsp/fft_simd.h"
#include "dsp/nsp.h"
#include "dsp/nsp_internal.h"

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

namespace sonvara::dsp {
namespace {

using std::size_t;
using namespace simd;

static_assert(sizeof(SCplx) == 2 * sizeof(float) && alignof(SCplx) == alignof(float));
static_assert(sizeof(DCplx) == 2 * sizeof(double) && alignof(DCplx) == alignof(double));

constexpr int kMaxOrder = 31;
// N <= 16: a direct transform is both exact enough and quick.
constexpr int kDirectMaxOrder = 4;
constexpr double kTwoPi = 6.283185307179586476925286766559;

std::atomic<int> g_failAllocations{0};

// cos and sin of 2*pi*j/n for n a power of two. Reduced to the first octant
// so that the multiples of pi/4 come out exact and symmetric twiddles agree.
void CosSin(size_t j, size_t n, double& c, double& s) {
    if (n < 8) {
        j *= 8 / n;
        n = 8;
    }
    j &= n - 1;
    const size_t quarter = n / 4;
    const size_t q = j / quarter;
    const size_t r = j - q * quarter;
    double x, y; // cos, sin of 2*pi*r/n, an angle in [0, pi/2)
    if (8 * r == n) {
        x = y = std::sqrt(0.5);
    } else if (8 * r < n) {
        const double a = kTwoPi * static_cast<double>(r) / static_cast<double>(n);
        x = std::cos(a), y = std::sin(a);
    } else {
        const double a = kTwoPi * static_cast<double>(quarter - r) / static_cast<double>(n);
        x = std::sin(a), y = std::cos(a);
    }
    switch (q) {
    case 0:
        c = x, s = y;
        break;
    case 1:
        c = -y, s = x;
        break;
    case 2:
        c = -x, s = -y;
        break;
    default:
        c = y, s = -x;
        break;
    }
}

// Position of the real part of complex value i in the four-block layout.
inline size_t ReIndex(size_t i) {
    return 8 * (i / 4) + i % 4;
}

// The tables of one order, placed at the start of one aligned block.
template <typename T> struct Tables {
    size_t n = 0;                   // N
    size_t m = 0;                   // N/2, the complex FFT length
    size_t first = 0;               // length of the first-pass DFTs (4 or 8); 0 on the direct path
    T* direct = nullptr;            // direct path: cos, sin of 2*pi*j/N for j < N
    std::uint32_t* group = nullptr; // first pass: output group of input offset r
    T* stages = nullptr;            // radix-4 twiddles w^k, w^2k, w^3k, stage after stage
    T* split = nullptr;             // forward split factors -i*e^(-2*pi*i*k/N)/2, k = 1..N/4
    T* mirror = nullptr;            // inverse mirror factors i*e^(2*pi*i*j/N), j < N/2
};

size_t RoundUp(size_t bytes) {
    return (bytes + 31) & ~size_t{31};
}

template <typename T> Tables<T>* BuildTables(int order) {
    int failing = g_failAllocations.load(std::memory_order_relaxed);
    while (failing > 0 && !g_failAllocations.compare_exchange_weak(failing, failing - 1)) {
    }
    if (failing > 0) return nullptr;

    Tables<T> shape;
    shape.n = size_t{1} << order;
    shape.m = shape.n / 2;
    size_t directLen = 0, groupLen = 0, stageLen = 0, splitLen = 0, mirrorLen = 0;
    if (order <= kDirectMaxOrder) {
        directLen = 2 * shape.n;
    } else {
        // The radix-4 stages need an even number of remaining factors of two.
        shape.first = (order - 1) % 2 == 0 ? 4 : 8;
        groupLen = shape.m / shape.first;
        for (size_t len = shape.first; len < shape.m; len *= 4)
            stageLen += 6 * len;
        splitLen = shape.m;
        mirrorLen = 2 * shape.m;
    }
    const size_t header = RoundUp(sizeof(Tables<T>));
    const size_t directBytes = RoundUp(directLen * sizeof(T));
    const size_t groupBytes = RoundUp(groupLen * sizeof(std::uint32_t));
    const size_t stageBytes = RoundUp(stageLen * sizeof(T));
    const size_t splitBytes = RoundUp(splitLen * sizeof(T));
    const size_t mirrorBytes = RoundUp(mirrorLen * sizeof(T));
    auto* base = static_cast<unsigned char*>(
        AllocAligned(header + directBytes + groupBytes + stageBytes + splitBytes + mirrorBytes));
    if (!base) return nullptr;

    auto* t = new (base) Tables<T>(shape);
    unsigned char* next = base + header;
    auto take = [&next](size_t bytes) {
        unsigned char* p = next;
        next += bytes;
        return p;
    };
    t->direct = reinterpret_cast<T*>(take(directBytes));
    t->group = reinterpret_cast<std::uint32_t*>(take(groupBytes));
    t->stages = reinterpret_cast<T*>(take(stageBytes));
    t->split = reinterpret_cast<T*>(take(splitBytes));
    t->mirror = reinterpret_cast<T*>(take(mirrorBytes));

    double c, s;
    if (order <= kDirectMaxOrder) {
        for (size_t j = 0; j < t->n; ++j) {
            CosSin(j, t->n, c, s);
            t->direct[2 * j] = static_cast<T>(c);
            t->direct[2 * j + 1] = static_cast<T>(s);
        }
        return t;
    }

    int groupBits = 0;
    while ((size_t{1} << groupBits) < groupLen)
        ++groupBits;
    for (size_t r = 0; r < groupLen; ++r) {
        size_t rev = 0;
        for (int b = 0; b < groupBits; ++b)
            rev |= ((r >> b) & 1) << (groupBits - 1 - b);
        t->group[r] = static_cast<std::uint32_t>(rev);
    }

    T* tw = t->stages;
    for (size_t len = t->first; len < t->m; len *= 4) {
        for (size_t k = 0; k < len; ++k) {
            T* at = tw + 24 * (k / 4) + k % 4;
            for (size_t e = 1; e <= 3; ++e) {
                CosSin(e * k, 4 * len, c, s);
                at[8 * (e - 1)] = static_cast<T>(c);
                at[8 * (e - 1) + 4] = static_cast<T>(-s);
            }
        }
        tw += 6 * len;
    }

    for (size_t k = 1; k <= t->m / 2; ++k) {
        CosSin(k, t->n, c, s);
        const size_t i = k - 1;
        t->split[ReIndex(i)] = static_cast<T>(-0.5 * s);
        t->split[ReIndex(i) + 4] = static_cast<T>(-0.5 * c);
    }
    for (size_t j = 0; j < t->m; ++j) {
        CosSin(j, t->n, c, s);
        t->mirror[ReIndex(j)] = static_cast<T>(-s);
        t->mirror[ReIndex(j) + 4] = static_cast<T>(c);
    }
    return t;
}

// The per-order caches. Publishing with a compare-exchange makes concurrent
// first calls of one order safe; releasing tables in use is not.
template <typename T> std::atomic<Tables<T>*> g_cache[kMaxOrder + 1];

template <typename T> void ReleaseOrder(int order) {
    Tables<T>* t = g_cache<T>[order].exchange(nullptr, std::memory_order_acq_rel);
    FreeAligned(t);
}

void FlushAllTables() {
    for (int order = 0; order <= kMaxOrder; ++order) {
        ReleaseOrder<float>(order);
        ReleaseOrder<double>(order);
    }
}

template <typename T>
const Tables<T>* AcquireTables(int order, const char* func, const char* source) {
    std::atomic<Tables<T>*>& slot = g_cache<T>[order];
    if (Tables<T>* ready = slot.load(std::memory_order_acquire)) return ready;
    Tables<T>* built = BuildTables<T>(order);
    if (!built) {
        // Cached tables of other orders may be what stands in the way.
        FlushAllTables();
        built = BuildTables<T>(order);
    }
    if (!built) {
        nspError(NSP_StsNoMem, func, "No working Twd memory", source, __LINE__);
        return nullptr;
    }
    Tables<T>* expected = nullptr;
    if (!slot.compare_exchange_strong(expected, built, std::memory_order_acq_rel)) {
        FreeAligned(built);
        return expected;
    }
    return built;
}

// The argument checks shared by the three transforms, in their fixed order.
// Returns the tables when the transform itself is to run.
template <typename T>
const Tables<T>* Prepare(const void* src, const void* dst, int order, int flags, const char* func,
                         const char* source) {
    // An order out of range has no tables to free; it falls through to the
    // order checks below and is reported rather than indexing the cache.
    if ((flags & NSP_Free) && order >= 0 && order <= kMaxOrder) {
        ReleaseOrder<T>(order);
        return nullptr;
    }
    if (order < 0) return ReportBadArg(func, "order<0", source, __LINE__), nullptr;
    if (order > kMaxOrder) return ReportBadArg(func, "order>31", source, __LINE__), nullptr;
    const Tables<T>* t = AcquireTables<T>(order, func, source);
    if (!t || (flags & NSP_Init)) return nullptr;
    if (!src) return ReportBadArg(func, "inSamps==0", source, __LINE__), nullptr;
    if (!dst) return ReportBadArg(func, "outSamps==0", source, __LINE__), nullptr;
    if ((flags & NSP_Forw) && (flags & NSP_Inv)) {
        return ReportBadArg(func, "(flags & 1) && (flags & 2)", source, __LINE__), nullptr;
    }
    if (!(flags & NSP_Forw) && !(flags & NSP_Inv)) {
        return ReportBadArg(func, "(flags & 1)==0 && (flags & 2)==0", source, __LINE__), nullptr;
    }
    return t;
}

// ---- Direct transforms (N <= 16), accumulated in double ----

template <typename T> void DirectReal(const Tables<T>& t, const T* x, T* out, T sr, T si) {
    const size_t n = t.n, m = t.m;
    for (size_t k = 0; k <= m; ++k) {
        double re = 0.0, im = 0.0;
        for (size_t j = 0; j < n; ++j) {
            const size_t at = 2 * ((k * j) & (n - 1));
            re += static_cast<double>(x[j]) * t.direct[at];
            im -= static_cast<double>(x[j]) * t.direct[at + 1];
        }
        out[2 * k] = static_cast<T>(re * sr);
        out[2 * k + 1] = (k == 0 || k == m) ? T(0) : static_cast<T>(im * si);
    }
}

// sigma is +1 for the inverse exponent and -1 for the forward one. The
// imaginary parts of bins 0 and N/2 are zero by definition and not read.
template <typename T> void DirectCcs(const Tables<T>& t, const T* X, T* out, T sigma, T scale) {
    const size_t n = t.n, m = t.m;
    if (n == 1) {
        out[0] = X[0] * scale;
        return;
    }
    for (size_t j = 0; j < n; ++j) {
        double acc = static_cast<double>(X[0]) + ((j & 1) ? -1.0 : 1.0) * X[2 * m];
        for (size_t k = 1; k < m; ++k) {
            const size_t at = 2 * ((k * j) & (n - 1));
            acc += 2.0 * (static_cast<double>(X[2 * k]) * t.direct[at] -
                          static_cast<double>(sigma) * X[2 * k + 1] * t.direct[at + 1]);
        }
        out[j] = static_cast<T>(acc * scale);
    }
}

// ---- The complex FFT ----

// DFT of four points in natural order, in place.
template <typename V> inline void Dft4(V* re, V* im) {
    const V s02r = re[0] + re[2], s02i = im[0] + im[2];
    const V d02r = re[0] - re[2], d02i = im[0] - im[2];
    const V s13r = re[1] + re[3], s13i = im[1] + im[3];
    const V d13r = re[1] - re[3], d13i = im[1] - im[3];
    re[0] = s02r + s13r, im[0] = s02i + s13i;
    re[2] = s02r - s13r, im[2] = s02i - s13i;
    re[1] = d02r + d13i, im[1] = d02i - d13r;
    re[3] = d02r - d13i, im[3] = d02i + d13r;
}

// DFT of eight points in natural order, in place: two of four and a
// radix-2 step.
template <typename V> inline void Dft8(V* re, V* im, V half) {
    V er[4] = {re[0], re[2], re[4], re[6]}, ei[4] = {im[0], im[2], im[4], im[6]};
    V odr[4] = {re[1], re[3], re[5], re[7]}, odi[4] = {im[1], im[3], im[5], im[7]};
    Dft4(er, ei);
    Dft4(odr, odi);
    // Odd half times e^(-2*pi*i*k/8): (1-i)/sqrt2, -i, (-1-i)/sqrt2.
    const V t1r = (odr[1] + odi[1]) * half, t1i = (odi[1] - odr[1]) * half;
    const V t3r = (odi[3] - odr[3]) * half, t3i = (odr[3] + odi[3]) * half; // im is -t3i
    re[0] = er[0] + odr[0], im[0] = ei[0] + odi[0];
    re[4] = er[0] - odr[0], im[4] = ei[0] - odi[0];
    re[1] = er[1] + t1r, im[1] = ei[1] + t1i;
    re[5] = er[1] - t1r, im[5] = ei[1] - t1i;
    re[2] = er[2] + odi[2], im[2] = ei[2] - odr[2];
    re[6] = er[2] - odi[2], im[6] = ei[2] + odr[2];
    re[3] = er[3] + t3r, im[3] = ei[3] - t3i;
    re[7] = er[3] - t3r, im[7] = ei[3] + t3i;
}

template <typename T, size_t F, typename V> inline void SmallDft(V* re, V* im) {
    if constexpr (F == 4) {
        Dft4(re, im);
    } else {
        Dft8(re, im, simd::Set(static_cast<T>(0.70710678118654752440)));
    }
}

// Lane l of re/im holds the DFT of the group with input offset r0 + l;
// transpose and store each group's F outputs at its place.
template <typename T, size_t F, typename V>
inline void StoreGroups(const Tables<T>& t, T* w, size_t r0, V* re, V* im) {
    T* dst[4];
    for (size_t l = 0; l < 4; ++l)
        dst[l] = w + 2 * F * t.group[r0 + l];
    for (size_t c = 0; c < F; c += 4) {
        V r0v = re[c], r1v = re[c + 1], r2v = re[c + 2], r3v = re[c + 3];
        V i0v = im[c], i1v = im[c + 1], i2v = im[c + 2], i3v = im[c + 3];
        simd::Transpose(r0v, r1v, r2v, r3v);
        simd::Transpose(i0v, i1v, i2v, i3v);
        Store(dst[0] + 2 * c, r0v), Store(dst[0] + 2 * c + 4, i0v);
        Store(dst[1] + 2 * c, r1v), Store(dst[1] + 2 * c + 4, i1v);
        Store(dst[2] + 2 * c, r2v), Store(dst[2] + 2 * c + 4, i2v);
        Store(dst[3] + 2 * c, r3v), Store(dst[3] + 2 * c + 4, i3v);
    }
}

// First pass of the forward transform: the complex point j is (x[2j], x[2j+1]).
template <typename T, size_t F> void FirstPassReal(const Tables<T>& t, const T* x, T* w) {
    using V = typename simd::VecOf<T>::type;
    const size_t stride = t.m / F;
    for (size_t r0 = 0; r0 < stride; r0 += 4) {
        V re[F], im[F];
        for (size_t q = 0; q < F; ++q)
            LoadComplex(x + 2 * (r0 + q * stride), re[q], im[q]);
        SmallDft<T, F>(re, im);
        StoreGroups<T, F>(t, w, r0, re, im);
    }
}

// First pass of the inverse: forms the half-length spectrum from the CCS
// bins on the fly, conjugated so that the forward FFT computes the inverse.
template <typename T, size_t F> void FirstPassCcs(const Tables<T>& t, const T* X, T* w, T sigma) {
    using V = typename simd::VecOf<T>::type;
    const size_t m = t.m, stride = m / F;
    const V sg = simd::Set(sigma);
    for (size_t r0 = 0; r0 < stride; r0 += 4) {
        V re[F], im[F];
        for (size_t q = 0; q < F; ++q) {
            const size_t j0 = r0 + q * stride;
            V ar, ai, br, bi;
            if (j0 == 0) {
                T a[8], b[8];
                std::memcpy(a, X, sizeof a);
                std::memcpy(b, X + 2 * (m - 3), sizeof b);
                a[1] = b[7] = T(0); // bins 0 and N/2 are real by definition
                LoadComplex(a, ar, ai);
                LoadComplex(b, br, bi);
            } else {
                LoadComplex(X + 2 * j0, ar, ai);
                LoadComplex(X + 2 * (m - j0 - 3), br, bi);
            }
            br = Reverse(br), bi = Reverse(bi);
            // A = X[j], B = conj(X[M-j]), sign of the exponent folded in by sigma;
            // Y = (A + B) + i*e^(2*pi*i*j/N)*(A - B); the pass takes conj(Y).
            const V pr = ar + br, npi = (bi - ai) * sg;
            const V dr = ar - br, di = (ai + bi) * sg;
            const T* g = t.mirror + 2 * j0;
            const V gr = Load(g), gi = Load(g + 4);
            re[q] = pr + (gr * dr - gi * di);
            im[q] = npi - (gr * di + gi * dr);
        }
        SmallDft<T, F>(re, im);
        StoreGroups<T, F>(t, w, r0, re, im);
    }
}

// One radix-4 decimation-in-time stage combining four DFTs of `len` points.
// The last stage of the inverse writes interleaved values scaled by sr, si.
template <typename T, bool Interleave>
void Radix4Stage(T* w, size_t m, size_t len, const T* tw, T sr, T si) {
    using V = typename simd::VecOf<T>::type;
    const V vr = simd::Set(sr), vi = simd::Set(si);
    for (size_t s = 0; s < m; s += 4 * len) {
        const T* c = tw;
        for (size_t k = 0; k < len; k += 4, c += 24) {
            T* pa = w + 2 * (s + k);
            T* pb = pa + 2 * len;
            T* pc = pa + 4 * len;
            T* pd = pa + 6 * len;
            const V ar = Load(pa), ai = Load(pa + 4);
            const V br = Load(pb), bi = Load(pb + 4);
            const V cr = Load(pc), ci = Load(pc + 4);
            const V dr = Load(pd), di = Load(pd + 4);
            const V w1r = Load(c), w1i = Load(c + 4);
            const V w2r = Load(c + 8), w2i = Load(c + 12);
            const V w3r = Load(c + 16), w3i = Load(c + 20);
            const V t1r = br * w2r - bi * w2i, t1i = br * w2i + bi * w2r;
            const V t2r = cr * w1r - ci * w1i, t2i = cr * w1i + ci * w1r;
            const V t3r = dr * w3r - di * w3i, t3i = dr * w3i + di * w3r;
            const V s0r = ar + t1r, s0i = ai + t1i, d0r = ar - t1r, d0i = ai - t1i;
            const V s1r = t2r + t3r, s1i = t2i + t3i, d1r = t2r - t3r, d1i = t2i - t3i;
            if constexpr (Interleave) {
                StoreComplex(pa, (s0r + s1r) * vr, (s0i + s1i) * vi);
                StoreComplex(pb, (d0r + d1i) * vr, (d0i - d1r) * vi);
                StoreComplex(pc, (s0r - s1r) * vr, (s0i - s1i) * vi);
                StoreComplex(pd, (d0r - d1i) * vr, (d0i + d1r) * vi);
            } else {
                Store(pa, s0r + s1r), Store(pa + 4, s0i + s1i);
                Store(pb, d0r + d1i), Store(pb + 4, d0i - d1r);
                Store(pc, s0r - s1r), Store(pc + 4, s0i - s1i);
                Store(pd, d0r - d1i), Store(pd + 4, d0i + d1r);
            }
        }
    }
}

template <typename T> void Stages(const Tables<T>& t, T* w, bool interleaveLast, T sr, T si) {
    const T* tw = t.stages;
    for (size_t len = t.first; len < t.m; len *= 4) {
        if (interleaveLast && 4 * len == t.m) {
            Radix4Stage<T, true>(w, t.m, len, tw, sr, si);
        } else {
            Radix4Stage<T, false>(w, t.m, len, tw, T(1), T(1));
        }
        tw += 6 * len;
    }
}

// The split step, in place: from Z (four-block layout) to the interleaved
// CCS spectrum X[0..N/2]. Bins k = 4b+1..4b+4 are taken together with their
// mirrors N/2-k, which form one whole block. Writing bins 4b+1..4b+4
// overwrites the start of block b+1, which is therefore carried in registers.
template <typename T, bool Scaled> void SplitForward(const Tables<T>& t, T* w, T sr, T si) {
    using V = typename simd::VecOf<T>::type;
    const size_t m = t.m;
    const V half = simd::Set(T(0.5)), vr = simd::Set(sr), vi = simd::Set(si);
    const T z0r = w[0], z0i = w[4];
    V curR = Load(w), curI = Load(w + 4);
    const T* c = t.split;
    for (size_t b = 0; b < m / 8; ++b, c += 8) {
        T* next = w + 8 * (b + 1);
        T* mirror = w + 8 * (m / 4 - 1 - b);
        const V nextR = Load(next), nextI = Load(next + 4);
        const V mr = Reverse(Load(mirror)), mi = Reverse(Load(mirror + 4));
        const V ar = ShiftIn(curR, nextR), ai = ShiftIn(curI, nextI);
        // A = Z[k], B = conj(Z[M-k]); E = (A+B)/2, T = C*(A-B).
        const V er = (ar + mr) * half, ei = (ai - mi) * half;
        const V dr = ar - mr, di = ai + mi;
        const V cr = Load(c), ci = Load(c + 4);
        const V tr = cr * dr - ci * di, ti = cr * di + ci * dr;
        // X[k] = E + T, X[M-k] = conj(E - T).
        V xr = er + tr, xi = ei + ti;
        V yr = er - tr, yi = ti - ei;
        if constexpr (Scaled) {
            xr = xr * vr, xi = xi * vi;
            yr = yr * vr, yi = yi * vi;
        }
        StoreComplex(w + 8 * b + 2, xr, xi);
        StoreComplex(mirror, Reverse(yr), Reverse(yi));
        curR = nextR, curI = nextI;
    }
    w[0] = (z0r + z0i) * sr, w[1] = T(0);
    w[2 * m] = (z0r - z0i) * sr, w[2 * m + 1] = T(0);
}

template <typename T>
void RealForward(const Tables<T>& t, const T* x, T* out, bool inverse, bool noScale) {
    const T scale = (inverse && !noScale) ? T(1) / static_cast<T>(t.n) : T(1);
    const T sr = scale, si = inverse ? -scale : scale; // the inverse exponent conjugates
    if (t.first == 0) return DirectReal(t, x, out, sr, si);
    if (t.first == 4) {
        FirstPassReal<T, 4>(t, x, out);
    } else {
        FirstPassReal<T, 8>(t, x, out);
    }
    Stages(t, out, false, T(1), T(1));
    if (sr == T(1) && si == T(1)) {
        SplitForward<T, false>(t, out, sr, si);
    } else {
        SplitForward<T, true>(t, out, sr, si);
    }
}

template <typename T>
void CcsToReal(const Tables<T>& t, const T* X, T* out, bool inverse, bool noScale) {
    const T scale = (inverse && !noScale) ? T(1) / static_cast<T>(t.n) : T(1);
    const T sigma = inverse ? T(1) : T(-1);
    if (t.first == 0) return DirectCcs(t, X, out, sigma, scale);
    if (t.first == 4) {
        FirstPassCcs<T, 4>(t, X, out, sigma);
    } else {
        FirstPassCcs<T, 8>(t, X, out, sigma);
    }
    // The FFT ran forward on conj(Y); conjugating its result gives z.
    Stages(t, out, true, scale, -scale);
}

} // namespace

void FailNextTableAllocations(int count) noexcept {
    g_failAllocations.store(count, std::memory_order_relaxed);
}

int CachedTableCount() noexcept {
    int count = 0;
    for (int order = 0; order <= kMaxOrder; ++order) {
        count += g_cache<float>[order].load(std::memory_order_acquire) != nullptr;
        count += g_cache<double>[order].load(std::memory_order_acquire) != nullptr;
    }
    return count;
}

} // namespace sonvara::dsp

using namespace sonvara::dsp;

void nspsRealFftNip(const float* src, SCplx* dst, int order, int flags) {
    if (const auto* t = Prepare<float>(src, dst, order, flags, "nspsRealFftNip", kSrcFftFloat)) {
        RealForward(*t, src, reinterpret_cast<float*>(dst), (flags & NSP_Inv) != 0,
                    (flags & NSP_NoScale) != 0);
    }
}

void nspdRealFftNip(const double* src, DCplx* dst, int order, int flags) {
    if (const auto* t = Prepare<double>(src, dst, order, flags, "nspdRealFftNip", kSrcFftDouble)) {
        RealForward(*t, src, reinterpret_cast<double*>(dst), (flags & NSP_Inv) != 0,
                    (flags & NSP_NoScale) != 0);
    }
}

void nspsCcsFftNip(const SCplx* src, float* dst, int order, int flags) {
    if (const auto* t = Prepare<float>(src, dst, order, flags, "nspsCcsFftNip", kSrcFftFloat)) {
        CcsToReal(*t, reinterpret_cast<const float*>(src), dst, (flags & NSP_Inv) != 0,
                  (flags & NSP_NoScale) != 0);
    }
}
