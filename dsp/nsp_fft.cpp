// Real FFTs of N = 2^order points: the argument checks, the per-order table
// caches, the direct transform of small orders and the choice of kernels
// (fft_kernels.h) for the processor.
#include "dsp/fft_kernels.h"
#include "dsp/fft_simd.h"
#include "dsp/nsp.h"
#include "dsp/nsp_internal.h"

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <thread>

namespace sonvara::dsp {
namespace {

using std::size_t;

static_assert(sizeof(SCplx) == 2 * sizeof(float) && alignof(SCplx) == alignof(float));
static_assert(sizeof(DCplx) == 2 * sizeof(double) && alignof(DCplx) == alignof(double));

constexpr int kMaxOrder = 31;
// N <= 64: below the size the vector kernels are laid out for, and a direct
// transform is quick enough there.
constexpr int kDirectMaxOrder = 6;
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

size_t RoundUp(size_t bytes) {
    return (bytes + 31) & ~size_t{31};
}

template <typename T> FftTables<T>* BuildTables(int order) {
    int failing = g_failAllocations.load(std::memory_order_relaxed);
    while (failing > 0 && !g_failAllocations.compare_exchange_weak(failing, failing - 1)) {
    }
    if (failing > 0) return nullptr;

    FftTables<T> shape;
    shape.n = size_t{1} << order;
    shape.m = shape.n / 2;
    const bool direct = order <= kDirectMaxOrder;
    size_t directLen = 0, groupLen = 0, stageLen = 0, splitLen = 0, mirrorLen = 0;
    if (direct) {
        directLen = 2 * shape.n;
    } else {
        // Radix-4 stages take two factors of two at a time. An odd number left
        // after an 8-point first pass goes to a 16-point first pass instead,
        // or to one radix-2 stage where the length is too short for that.
        const bool odd = (order - 1 - 3) % 2 == 1;
        shape.first = odd && shape.m / 16 >= kLanes ? 16 : 8;
        shape.radix2 = odd && shape.first == 8;
        groupLen = shape.m / shape.first;
        size_t len = shape.first;
        if (shape.radix2) stageLen += 2 * len, len *= 2;
        for (; len < shape.m; len *= 4)
            stageLen += 6 * len;
        splitLen = shape.m;
        mirrorLen = 2 * shape.m;
    }
    const size_t header = RoundUp(sizeof(FftTables<T>));
    const size_t directBytes = RoundUp(directLen * sizeof(T));
    const size_t groupBytes = RoundUp(groupLen * sizeof(std::uint32_t));
    const size_t stageBytes = RoundUp(stageLen * sizeof(T));
    const size_t splitBytes = RoundUp(splitLen * sizeof(T));
    const size_t mirrorBytes = RoundUp(mirrorLen * sizeof(T));
    auto* base = static_cast<unsigned char*>(
        AllocAligned(header + directBytes + groupBytes + stageBytes + splitBytes + mirrorBytes));
    if (!base) return nullptr;

    auto* t = new (base) FftTables<T>(shape);
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
    if (direct) {
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

    // Twiddles e^(-2*pi*i*e*k/(radix*len)) for e = 1 .. radix-1, per group of
    // eight k: eight real parts, then eight imaginary parts, for each e.
    auto fillStage = [&c, &s](size_t radix, size_t len, T* tw) {
        const size_t powers = radix - 1;
        for (size_t k = 0; k < len; ++k) {
            T* at = tw + 2 * kLanes * powers * (k / kLanes) + k % kLanes;
            for (size_t e = 1; e <= powers; ++e) {
                CosSin(e * k, radix * len, c, s);
                at[2 * kLanes * (e - 1)] = static_cast<T>(c);
                at[2 * kLanes * (e - 1) + kLanes] = static_cast<T>(-s);
            }
        }
        return tw + 2 * powers * len;
    };
    T* tw = t->stages;
    size_t len = t->first;
    if (t->radix2) tw = fillStage(2, len, tw), len *= 2;
    for (; len < t->m; len *= 4)
        tw = fillStage(4, len, tw);

    for (size_t k = 1; k <= t->m / 2; ++k) {
        CosSin(k, t->n, c, s);
        t->split[BlockIndex(k - 1)] = static_cast<T>(-0.5 * s);
        t->split[BlockIndex(k - 1) + kLanes] = static_cast<T>(-0.5 * c);
    }
    for (size_t j = 0; j < t->m; ++j) {
        CosSin(j, t->n, c, s);
        t->mirror[BlockIndex(j)] = static_cast<T>(-s);
        t->mirror[BlockIndex(j) + kLanes] = static_cast<T>(c);
    }
    return t;
}

// The per-order caches. Tables are built once, published with a
// compare-exchange (concurrent first calls of an order keep one set) and
// never change afterwards. A transform registers itself as a reader of its
// order for as long as it uses the tables; dropping an order (NSP_Free, or
// the flush after a failed allocation) unpublishes the tables at once but
// frees them only after the readers of that order are gone. So a stream on
// one thread may free or flush while streams on other threads transform:
// the transform path takes no lock and never waits, only the freeing call
// does, for the few microseconds a transform lasts.
template <typename T> std::atomic<FftTables<T>*> g_cache[kMaxOrder + 1];
template <typename T> std::atomic<int> g_readers[kMaxOrder + 1];

// The tables of one order, held for one transform.
template <typename T> class TableUse {
public:
    TableUse() = default;
    TableUse(const TableUse&) = delete;
    TableUse& operator=(const TableUse&) = delete;
    ~TableUse() { Leave(); }

    // Registers as a reader first, then reads the slot: a release that
    // unpublished the tables after this read sees the registration and waits.
    const FftTables<T>* Enter(int order) {
        Leave();
        m_order = order;
        g_readers<T>[order].fetch_add(1, std::memory_order_seq_cst);
        m_tables = g_cache<T>[order].load(std::memory_order_seq_cst);
        return m_tables;
    }
    void Leave() {
        if (m_order < 0) return;
        g_readers<T>[m_order].fetch_sub(1, std::memory_order_seq_cst);
        m_order = -1;
        m_tables = nullptr;
    }
    const FftTables<T>* Tables() const { return m_tables; }

private:
    int m_order = -1;
    const FftTables<T>* m_tables = nullptr;
};

template <typename T> void ReleaseOrder(int order) {
    FftTables<T>* t = g_cache<T>[order].exchange(nullptr, std::memory_order_seq_cst);
    if (!t) return;
    while (g_readers<T>[order].load(std::memory_order_seq_cst) != 0)
        std::this_thread::yield();
    FreeAligned(t);
}

void FlushAllTables() {
    for (int order = 0; order <= kMaxOrder; ++order) {
        ReleaseOrder<float>(order);
        ReleaseOrder<double>(order);
    }
}

// Makes sure the order has tables (building and publishing them when it has
// none); false, with the error reported, when memory is short. The caller
// holds no reader registration here, so the flush cannot wait for itself.
template <typename T> bool BuildOrder(int order, const char* func, const char* source) {
    std::atomic<FftTables<T>*>& slot = g_cache<T>[order];
    if (slot.load(std::memory_order_acquire)) return true;
    FftTables<T>* built = BuildTables<T>(order);
    if (!built) {
        // Cached tables of other orders may be what stands in the way.
        FlushAllTables();
        built = BuildTables<T>(order);
    }
    if (!built) {
        nspError(NSP_StsNoMem, func, "No working Twd memory", source, __LINE__);
        return false;
    }
    FftTables<T>* expected = nullptr;
    if (!slot.compare_exchange_strong(expected, built, std::memory_order_acq_rel))
        FreeAligned(built);
    return true;
}

// The argument checks shared by the three transforms, in their fixed order.
// True when the transform itself is to run, with the tables held in `use`.
template <typename T>
bool Prepare(const void* src, const void* dst, int order, int flags, const char* func,
             const char* source, TableUse<T>& use) {
    // An order out of range has no tables to free; it falls through to the
    // order checks below and is reported rather than indexing the cache.
    if ((flags & NSP_Free) && order >= 0 && order <= kMaxOrder) {
        ReleaseOrder<T>(order);
        return false;
    }
    if (order < 0) return ReportBadArg(func, "order<0", source, __LINE__), false;
    if (order > kMaxOrder) return ReportBadArg(func, "order>31", source, __LINE__), false;
    // Another thread may drop the tables between the build and the use:
    // then they are built again.
    while (!use.Enter(order)) {
        use.Leave();
        if (!BuildOrder<T>(order, func, source)) return false;
    }
    if (flags & NSP_Init) return false;
    if (!src) return ReportBadArg(func, "inSamps==0", source, __LINE__), false;
    if (!dst) return ReportBadArg(func, "outSamps==0", source, __LINE__), false;
    if ((flags & NSP_Forw) && (flags & NSP_Inv)) {
        return ReportBadArg(func, "(flags & 1) && (flags & 2)", source, __LINE__), false;
    }
    if (!(flags & NSP_Forw) && !(flags & NSP_Inv)) {
        return ReportBadArg(func, "(flags & 1)==0 && (flags & 2)==0", source, __LINE__), false;
    }
    return true;
}

// ---- Direct transforms (N <= 16), accumulated in double ----

template <typename T> void DirectReal(const FftTables<T>& t, const T* x, T* out, T sr, T si) {
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
template <typename T> void DirectCcs(const FftTables<T>& t, const T* X, T* out, T sigma, T scale) {
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

// ---- The kernels of the processor ----

std::atomic<bool> g_allowAvx2{true};

template <typename T> const FftKernels<T>* WideKernels();
template <> const FftKernels<float>* WideKernels<float>() {
    return Avx2KernelsFloat();
}
template <> const FftKernels<double>* WideKernels<double>() {
    return Avx2KernelsDouble();
}

template <typename T> const FftKernels<T>& ActiveKernels() {
    if (g_allowAvx2.load(std::memory_order_relaxed)) {
        if (const FftKernels<T>* wide = WideKernels<T>()) return *wide;
    }
    return Kernel<typename simd::BaselineOpsOf<T>::type>::kEntries;
}

template <typename T>
void RealForward(const FftTables<T>& t, const T* x, T* out, bool inverse, bool noScale) {
    const T scale = (inverse && !noScale) ? T(1) / static_cast<T>(t.n) : T(1);
    const T sr = scale, si = inverse ? -scale : scale; // the inverse exponent conjugates
    if (t.n <= (size_t{1} << kDirectMaxOrder)) return DirectReal(t, x, out, sr, si);
    ActiveKernels<T>().realForward(t, x, out, sr, si);
}

template <typename T>
void CcsToReal(const FftTables<T>& t, const T* X, T* out, bool inverse, bool noScale) {
    const T scale = (inverse && !noScale) ? T(1) / static_cast<T>(t.n) : T(1);
    const T sigma = inverse ? T(1) : T(-1);
    if (t.n <= (size_t{1} << kDirectMaxOrder)) return DirectCcs(t, X, out, sigma, scale);
    ActiveKernels<T>().ccsToReal(t, X, out, sigma, scale);
}

void CcsPowerToReal(const FftTables<float>& t, const float* X, float* out, bool inverse,
                    bool noScale) {
    if (t.n <= (size_t{1} << kDirectMaxOrder)) {
        // A short spectrum's power is formed first, on the stack.
        float power[(size_t{1} << kDirectMaxOrder) + 2];
        for (size_t k = 0; k <= t.m; ++k) {
            const double re = X[2 * k], im = (k == 0 || k == t.m) ? 0.0 : X[2 * k + 1];
            power[2 * k] = static_cast<float>(re * re + im * im);
            power[2 * k + 1] = 0.0f;
        }
        return CcsToReal(t, power, out, inverse, noScale);
    }
    const float scale = (inverse && !noScale) ? 1.0f / static_cast<float>(t.n) : 1.0f;
    ActiveKernels<float>().ccsPowerToReal(t, X, out, inverse ? 1.0f : -1.0f, scale);
}

} // namespace

void FailNextTableAllocations(int count) noexcept {
    g_failAllocations.store(count, std::memory_order_relaxed);
}

bool AllowWideKernels(bool allow) noexcept {
    g_allowAvx2.store(allow, std::memory_order_relaxed);
    return allow && Avx2KernelsFloat() != nullptr;
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
    TableUse<float> use;
    if (Prepare<float>(src, dst, order, flags, "nspsRealFftNip", kSrcFftFloat, use)) {
        RealForward(*use.Tables(), src, reinterpret_cast<float*>(dst), (flags & NSP_Inv) != 0,
                    (flags & NSP_NoScale) != 0);
    }
}

void nspdRealFftNip(const double* src, DCplx* dst, int order, int flags) {
    TableUse<double> use;
    if (Prepare<double>(src, dst, order, flags, "nspdRealFftNip", kSrcFftDouble, use)) {
        RealForward(*use.Tables(), src, reinterpret_cast<double*>(dst), (flags & NSP_Inv) != 0,
                    (flags & NSP_NoScale) != 0);
    }
}

void nspsCcsPowerFftNip(const SCplx* src, float* dst, int order, int flags) {
    TableUse<float> use;
    if (Prepare<float>(src, dst, order, flags, "nspsCcsPowerFftNip", kSrcFftFloat, use)) {
        CcsPowerToReal(*use.Tables(), reinterpret_cast<const float*>(src), dst,
                       (flags & NSP_Inv) != 0, (flags & NSP_NoScale) != 0);
    }
}

void nspsCcsFftNip(const SCplx* src, float* dst, int order, int flags) {
    TableUse<float> use;
    if (Prepare<float>(src, dst, order, flags, "nspsCcsFftNip", kSrcFftFloat, use)) {
        CcsToReal(*use.Tables(), reinterpret_cast<const float*>(src), dst, (flags & NSP_Inv) != 0,
                  (flags & NSP_NoScale) != 0);
    }
}
