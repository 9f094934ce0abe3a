#include "plugin/PeriodSplicer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

std::uint32_t CPeriodFinder::Prepare(std::uint32_t frames) {
    // Zero padding to at least twice the input keeps the circular
    // correlation free of wrap-around for every lag below the input length.
    int order = 0;
    while ((std::uint64_t{1} << order) < std::uint64_t{2} * frames)
        ++order;
    m_order = order;
    const std::size_t n = std::size_t{1} << order;
    m_time.assign(n, 0.0f);
    m_lags.assign(n, 0.0f);
    m_filled = 0;
    m_spectrum.assign(n / 2 + 1, SCplx{0.0f, 0.0f});
    // Tables now, not on the audio thread at the first period search.
    nspsRealFftNip(nullptr, nullptr, order, NSP_Init);
    nspsCcsFftNip(nullptr, nullptr, order, NSP_Init);
    return static_cast<std::uint32_t>(n);
}

const float* CPeriodFinder::Autocorrelate(const float* x, std::uint32_t n) {
    const std::size_t length = m_time.size();
    n = std::min<std::uint32_t>(n, static_cast<std::uint32_t>(length));
    // The padding beyond the input stays zero from call to call: the
    // inverse transform writes to a buffer of its own.
    std::copy(x, x + n, m_time.begin());
    if (n < m_filled) std::fill(m_time.begin() + n, m_time.begin() + m_filled, 0.0f);
    m_filled = n;
    nspsRealFftNip(m_time.data(), m_spectrum.data(), m_order, NSP_Forw);
    // The inverse transform of the spectrum times its conjugate, as
    // nspcbConj2 then nspcbMpy2 give it: in double the products of floats
    // are exact, so the real part is re^2 + im^2 rounded once to double and
    // once to float, and the imaginary part re*im - im*re is exactly 0.
    nspsCcsPowerFftNip(m_spectrum.data(), m_lags.data(), m_order, NSP_Inv);
    return m_lags.data();
}

std::uint32_t CPeriodSplicer::SetSampleRate(std::uint32_t R) {
    m_sampleRate = R;
    m_hop = (R * 30 / 1000) & ~std::uint32_t{3};
    m_windowLength = (R * 80 / 1000) & ~std::uint32_t{3};
    m_crossFade = static_cast<std::uint32_t>(static_cast<double>(R) / 44100 * 300);
    m_minimumLag = R / 500;
    m_centre = (m_windowLength - m_hop) / 2;
    // The window slides along a buffer several hops longer than itself and
    // moves back to the start only when it reaches the end.
    m_window.assign(m_windowLength + kWindowSlack * m_hop, 0.0f);
    m_windowStart = 0;
    m_crossA.assign(m_crossFade, 0.0f);
    m_crossB.assign(m_crossFade, 0.0f);

    const std::uint32_t fftLength = m_finder.Prepare(m_windowLength);
    // The queue never holds more than the backlog plus one hop before an
    // output, nor more than twice the largest output after an insertion
    // (see Process); 44 100 frames cover 44 100 samples per second, higher
    // rates need more.
    m_backlogLimit = fftLength;
    const std::uint32_t capacity = std::max(kMinQueueFrames, 2 * fftLength + 4 * m_hop);
    // The queue's frames start at m_queueStart, which output moves on; they
    // move back to the front of the buffer only once the start has passed
    // a few outputs' worth of slack.
    m_queueCapacity = capacity;
    m_queueSlack = kQueueSlack * MaxWanted();
    m_queue.assign(std::size_t{capacity} + m_queueSlack, 0.0f);
    m_queueStart = 0;
    m_difference.assign(capacity, 0.0f);
    m_queueFill = 0;
    m_candidates.clear();
    m_candidates.reserve(capacity / std::max<std::uint32_t>(m_minimumLag, 1) + 1);

    m_fadeOut.assign(m_crossFade, 0.0f);
    m_fadeIn.assign(m_crossFade, 0.0f);
    const float step = 0.5f / static_cast<float>(m_crossFade);
    const float quarterTurn = static_cast<float>(M_PI / 2);
    for (std::uint32_t i = 0; i < m_crossFade; ++i) {
        const float arg = quarterTurn * (static_cast<float>(2 * i + 1) * step);
        const float c = std::cos(arg);
        const float s = std::sin(arg);
        m_fadeOut[i] = c * c;
        m_fadeIn[i] = s * s;
    }
    return m_hop;
}

void CPeriodSplicer::Process(const float* input, float* output, std::uint32_t wanted) {
    if (m_hop == 0) return;
    const std::uint32_t W = std::min(wanted, MaxWanted());
    float* queue = Queue();

    if (m_windowStart + m_windowLength + m_hop > m_window.size()) {
        std::memmove(m_window.data(), m_window.data() + m_windowStart + m_hop,
                     (m_windowLength - m_hop) * sizeof(float));
        m_windowStart = 0;
    } else {
        m_windowStart += m_hop;
    }
    float* const window = m_window.data() + m_windowStart;
    std::memcpy(window + m_windowLength - m_hop, input, m_hop * sizeof(float));

    std::memcpy(queue + m_queueFill, window + m_centre, m_hop * sizeof(float));
    m_queueFill += m_hop;

    const std::uint32_t limit = m_queueFill - m_crossFade;
    if (W < m_hop) {
        const std::uint32_t excess = m_queueFill - W;
        if (excess > m_minimumLag) RemovePeriods(excess, limit);
    } else if (W > m_hop) {
        if (W > m_queueFill) InsertPeriods(W - m_queueFill, limit);
    }

    if (W > 0) std::memcpy(output, queue, W * sizeof(float));
    Consume(W);
    if (wanted > W) std::fill(output + W, output + wanted, 0.0f);

    // A signal whose strongest lag keeps exceeding the excess never gets a
    // period removed, and the queue would grow without end. Past the backlog
    // limit the oldest frames are dropped so the queue can never overrun.
    if (m_queueFill > m_backlogLimit) {
        Consume(m_queueFill - m_backlogLimit);
    }
}

void CPeriodSplicer::Consume(std::uint32_t frames) {
    m_queueFill -= frames;
    m_queueStart += frames;
    if (m_queueStart > m_queueSlack) {
        std::memmove(m_queue.data(), m_queue.data() + m_queueStart, m_queueFill * sizeof(float));
        m_queueStart = 0;
    }
}

void CPeriodSplicer::FindCandidates(std::uint32_t limit) {
    m_candidates.clear();
    const float* r = m_finder.Autocorrelate(m_window.data() + m_windowStart, m_windowLength);
    // Lags are read only inside the correlation buffer.
    const std::uint32_t M = std::min(limit, m_finder.Length());
    if (M <= m_minimumLag) return;
    int index = 0;
    nspsMaxExt(r + m_minimumLag, static_cast<int>(M - m_minimumLag), &index);
    const std::uint32_t P = m_minimumLag + static_cast<std::uint32_t>(index);
    const std::uint32_t K = M / P;
    m_candidates.push_back(P);
    for (std::uint32_t j = 1; j < K; ++j) {
        const std::uint32_t start = j * P + P / 2;
        const std::uint32_t count = std::min(P, m_finder.Length() - start);
        nspsMaxExt(r + start, static_cast<int>(count), &index);
        m_candidates.push_back(start + static_cast<std::uint32_t>(index));
    }
    if (K >= 3) m_candidates.pop_back();
}

std::uint32_t CPeriodSplicer::SplicePoint(std::uint32_t lag) {
    const std::int64_t D =
        static_cast<std::int64_t>(m_queueFill) - lag - static_cast<std::int64_t>(m_crossFade);
    if (D <= 0) return 0;
    const float* queue = Queue();
    for (std::int64_t i = 0; i < D; ++i)
        m_difference[i] = std::fabs(queue[i] - queue[i + lag]);
    int index = 0;
    nspsMinExt(m_difference.data(), static_cast<int>(D), &index);
    return static_cast<std::uint32_t>(index);
}

void CPeriodSplicer::RemovePeriods(std::uint32_t excess, std::uint32_t limit) {
    FindCandidates(limit);
    if (m_candidates.empty()) return;
    std::uint32_t L = 0;
    for (std::uint32_t candidate : m_candidates) {
        if (candidate > excess || candidate > limit) break;
        L = candidate;
    }
    const std::uint32_t p = SplicePoint(L);
    float* queue = Queue();
    for (std::uint32_t i = 0; i < m_crossFade; ++i)
        m_crossA[i] = queue[p + i] * m_fadeOut[i] + queue[p + L + i] * m_fadeIn[i];
    std::memcpy(queue + p, m_crossA.data(), m_crossFade * sizeof(float));
    const std::uint32_t from = p + L + m_crossFade;
    if (from < m_queueFill)
        std::memmove(queue + p + m_crossFade, queue + from, (m_queueFill - from) * sizeof(float));
    m_queueFill -= L;
}

void CPeriodSplicer::InsertPeriods(std::uint32_t need, std::uint32_t limit) {
    FindCandidates(limit);
    if (m_candidates.empty()) return;
    std::uint32_t L = m_candidates[0];
    for (std::size_t j = 1; j < m_candidates.size(); ++j) {
        if (m_candidates[j - 1] > need || m_candidates[j] > limit) break;
        L = m_candidates[j];
    }
    const std::uint32_t p = SplicePoint(L);
    const std::uint32_t X = std::min(L, m_crossFade);
    const std::uint32_t Q = (need + L - 1) / L;
    float* queue = Queue();
    // The fade reads the period after the splice point, which the move below
    // leaves in place; computing it first is the same.
    for (std::uint32_t i = 0; i < X; ++i)
        m_crossB[i] = queue[p + L + i] * m_fadeOut[i] + queue[p + i] * m_fadeIn[i];
    std::memmove(queue + p + L + Q * L, queue + p + L, (m_queueFill - p - L) * sizeof(float));
    for (std::uint32_t q = 1; q <= Q; ++q) {
        float* at = queue + p + q * L;
        std::memcpy(at, m_crossB.data(), X * sizeof(float));
        std::memcpy(at + X, queue + p + X, (L - X) * sizeof(float));
    }
    m_queueFill += Q * L;
}
