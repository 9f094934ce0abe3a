#include "plugin/DrumDetector.h"

#include "plugin/VectorTypes.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// Band 0 and band 1 of the split, as b[0..6] and a[0..6] with a[0] = 1.
constexpr double kBandB[2][7] = {{0.00990524017, -0.05912365967, 0.1473495629, -0.1962622828,
                                  0.1473495629, -0.05912365967, 0.00990524017},
                                 {0.001554090616, -0.006170867028, 0.007679527483, -2.487e-14,
                                  -0.007679527483, 0.006170867028, -0.001554090616}};
constexpr double kBandA[2][7] = {
    {1, -5.961719596, 14.81541948, -19.64429128, 14.65756609, -5.835338062, 0.9683633707},
    {1, -5.944456151, 14.74532978, -19.53598571, 14.58068828, -5.812455591, 0.966879662}};

constexpr double kShortestPeriod = 0.33;
constexpr double kLongestPeriod = 1.3;
constexpr double kHalfLife = 2.0;
constexpr double kAnalysisInterval = 0.0232;
constexpr double kMergeDistance = 0.075;
constexpr double kReportWeight = 2.0;
constexpr double kMinBeatSpacing = 0.3;

// The roots of the monic polynomial z^6 + a[1] z^5 + ... + a[6]
// (Durand-Kerner iteration).
void Roots(const double* a, std::complex<double>* roots) {
    for (int i = 0; i < 6; ++i)
        roots[i] = std::pow(std::complex<double>(0.4, 0.9), i);
    for (int iteration = 0; iteration < 500; ++iteration) {
        double moved = 0.0;
        for (int i = 0; i < 6; ++i) {
            std::complex<double> value = 1.0;
            for (int k = 1; k <= 6; ++k)
                value = value * roots[i] + a[k];
            std::complex<double> denominator = 1.0;
            for (int j = 0; j < 6; ++j)
                if (j != i) denominator *= roots[i] - roots[j];
            const std::complex<double> step = value / denominator;
            roots[i] -= step;
            moved = std::max(moved, std::abs(step));
        }
        if (moved < 1e-15) break;
    }
}

// The low band's coefficients, rounded to ten digits, put a pair of poles
// just outside the unit circle (radius 1.0058 near 400 Hz): run as given the
// filter grows without bound and its output is NaN within seconds. Poles
// outside the circle are reflected inside (p -> 1 / conj(p)), and b is scaled
// by 1 / |p| for each, which keeps the magnitude response; a stable filter
// is left exactly as given.
void Stabilise(double* b, double* a) {
    std::complex<double> roots[6];
    Roots(a, roots);
    bool changed = false;
    double gain = 1.0;
    for (auto& root : roots) {
        const double radius = std::abs(root);
        if (radius > 1.0) {
            root = 1.0 / std::conj(root);
            gain /= radius;
            changed = true;
        }
    }
    if (!changed) return;
    std::complex<double> poly[7] = {1.0};
    for (const auto& root : roots)
        for (int k = 6; k > 0; --k)
            poly[k] -= root * poly[k - 1];
    for (int k = 1; k < 7; ++k)
        a[k] = poly[k].real();
    for (int k = 0; k < 7; ++k)
        b[k] *= gain;
}

} // namespace

namespace {

// Both bands' values of one quantity, the low band's first. Each lane goes
// through the same IEEE operations in the same order as a band on its own.
using Pair = double __attribute__((vector_size(16)));

} // namespace

namespace stavo {

// The pair (high, low) with high + low = a + b exactly, high the rounded sum
// (the sums of two values of Knuth and of Dekker); V is a double or a Quad.
template <typename V> inline void TwoSum(const V& a, const V& b, V& high, V& low) {
    high = a + b;
    const V bVirtual = high - a;
    low = (a - (high - bVirtual)) + (b - bVirtual);
}

// Adds v to the unrounded sum (high, low), lane by lane.
template <typename V> inline void AddTo(V& high, V& low, const V& v) {
    V s, e;
    TwoSum(high, v, s, e);
    e += low;
    high = s + e;
    low = e - (high - s);
}

// For n resonators (a multiple of four): each sum of fourth powers gains the
// value that enters its span and loses the one that leaves it, and each
// count of values that are not zero follows. y^4 is ((y y) y) y, as an
// analysis reading the outputs one by one would work it out.
// Returns whether every sum is finite.
STAVO_BUILT_FOR_AVX2 bool SlideSums(const double* leaving, const double* entering, int n,
                                    double* high, double* low, double* nonZero) {
    Quad check = {};
    for (int k = 0; k + 4 <= n; k += 4) {
        Quad out, in, h, l, count;
        std::memcpy(&out, leaving + k, sizeof out);
        std::memcpy(&in, entering + k, sizeof in);
        std::memcpy(&h, high + k, sizeof h);
        std::memcpy(&l, low + k, sizeof l);
        std::memcpy(&count, nonZero + k, sizeof count);
        out = out * out * out * out;
        in = in * in * in * in;
        AddTo(h, l, in);
        AddTo(h, l, -out);
        const Quad zero = {};
        const Quad one = {1.0, 1.0, 1.0, 1.0};
        count += reinterpret_cast<Quad>(reinterpret_cast<QuadMask>(one) &
                                        reinterpret_cast<QuadMask>(in != zero)) -
                 reinterpret_cast<Quad>(reinterpret_cast<QuadMask>(one) &
                                        reinterpret_cast<QuadMask>(out != zero));
        std::memcpy(high + k, &h, sizeof h);
        std::memcpy(low + k, &l, sizeof l);
        std::memcpy(nonZero + k, &count, sizeof count);
        check += h - h; // 0 for a finite sum, NaN otherwise
    }
    return check[0] == 0.0 && check[1] == 0.0 && check[2] == 0.0 && check[3] == 0.0;
}

// For the sixteen resonators of a group: leaving[k] = oldest[k], the output
// each made D values ago, and y[k] = input[k] onset + gain[k] oldest[k], the
// output each makes now.
STAVO_BUILT_FOR_AVX2 void CombStep(const double* input, const double* gain, double onset,
                                   const double* oldest, double* leaving, double* y) {
    for (int k = 0; k < 16; k += 4) {
        Quad in, g, old;
        std::memcpy(&in, input + k, sizeof in);
        std::memcpy(&g, gain + k, sizeof g);
        std::memcpy(&old, oldest + k, sizeof old);
        const Quad out = in * onset + g * old;
        std::memcpy(leaving + k, &old, sizeof old);
        std::memcpy(y + k, &out, sizeof out);
    }
}

// out[i] = b[0] x[i] + b[1] x[i - 1] + ... + b[6] x[i - 6], summed in that
// order, for i < n: the part of a filter's output that depends on the input
// alone. Four outputs go side by side.
STAVO_BUILT_FOR_AVX2 void FeedForward(const double* x, std::uint32_t n, const double* b,
                                      double* out) {
    std::uint32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        Quad v = {};
        for (int k = 0; k < 7; ++k) {
            Quad in;
            std::memcpy(&in, x + i - k, sizeof in);
            v += b[k] * in;
        }
        std::memcpy(out + i, &v, sizeof v);
    }
    for (; i < n; ++i) {
        double v = 0.0;
        for (int k = 0; k < 7; ++k)
            v += b[k] * x[static_cast<std::ptrdiff_t>(i) - k];
        out[i] = v;
    }
}

} // namespace stavo

CDrumDetector::CDrumDetector() {
    m_view.channels.reserve(8);
    m_predictions.reserve(kMaxPredictions);
}

bool CDrumDetector::Open(const WAVEFORMATEX& format) {
    const std::uint32_t R = format.nSamplesPerSec;
    if (R == 0) return false;
    m_sampleRate = R;
    // The envelope rate divides the sample rate exactly so that decimation
    // is a whole number of frames. The search stops at twice the nominal
    // rate: a rate with no divisor near 150 (a prime one, say) would
    // otherwise run the envelope at the sample rate itself, and the
    // resonators' delay lines, which grow with it, would take gigabytes.
    // Such a rate decimates by a whole number close to R / 150 instead, and
    // the beat times are off by less than one part in 150.
    std::uint32_t E = 150;
    while (E < R && E < 300 && R % E != 0)
        ++E;
    if (E < R && R % E != 0) E = R / (R / 150);
    m_envelopeRate = std::min(E, R);
    m_decimation = R / m_envelopeRate;
    m_framePeriod = 1.0 / R;
    m_envelopeCount = 0;
    m_clock = 0.0;
    m_lastAnalysis = 0.0;
    m_levelSum = 0.0;
    m_tempo = 0.0;
    m_lastBeat = 0.0;
    m_beat = false;
    m_predictions.clear();
    m_nextReport = std::numeric_limits<double>::infinity();
    // Streams opened alike run alike: the run-time library's random sequence
    // starts from the same seed at every open.
    std::srand(100);

    std::uint32_t longestSpan = 0;
    for (int j = 0; j < kResonators; ++j) {
        const double period =
            std::exp(std::log(kShortestPeriod) +
                     (std::log(kLongestPeriod) - std::log(kShortestPeriod)) * j / kResonators);
        m_period[j] = period;
        m_gain[j] = std::pow(0.5, period / kHalfLife);
        m_input[j] = std::sqrt(1 - m_gain[j] * m_gain[j]);
        const auto delay =
            static_cast<std::uint32_t>(std::floor(m_envelopeRate * period + 0.001)) + 1;
        m_span[j] =
            std::min(static_cast<std::uint32_t>(std::floor(m_envelopeRate * period)), delay);
        m_delay[j] = delay;
        longestSpan = std::max(longestSpan, m_span[j]);
    }
    for (int j = kResonators; j < kColumns; ++j) {
        m_period[j] = m_period[kResonators - 1];
        m_gain[j] = m_input[j] = 0.0;
        m_span[j] = m_span[kResonators - 1];
        m_delay[j] = m_delay[kResonators - 1];
    }
    std::size_t values = 0;
    for (int g = 0; g < kGroups; ++g) {
        Group& group = m_groups[g];
        group.start = values;
        group.rows = *std::max_element(m_delay + g * kSide, m_delay + (g + 1) * kSide);
        group.row = 0;
        group.turns = 0;
        values += std::size_t{group.rows} * kSide;
    }

    for (int k = 0; k < kBands; ++k) {
        Band& band = m_bands[k];
        std::copy(kBandB[k], kBandB[k] + 7, band.filter.b);
        std::copy(kBandA[k], kBandA[k] + 7, band.filter.a);
        Stabilise(band.filter.b, band.filter.a);
        std::fill(band.filter.y, band.filter.y + 6, 0.0);
        const auto window = static_cast<std::size_t>(std::floor(R * 0.3 / (k + 1)));
        band.squares.assign(std::max<std::size_t>(window, 1), 0.0);
        band.squarePosition = 0;
        band.squareSum = band.freshSum = 0.0;
        band.zeroRun = band.squares.size();
        band.level = band.previousLevel = 0.0;
        band.normaliser = 1.0;
        band.outputs.assign(values, 0.0);
        std::fill(band.sumHigh, band.sumHigh + kColumns, 0.0);
        std::fill(band.sumLow, band.sumLow + kColumns, 0.0);
        std::fill(band.nonZero, band.nonZero + kColumns, 0.0);
        std::fill(band.scores, band.scores + kResonators, 0.0);
    }
    std::fill(m_mono, m_mono + 6, 0.0);
    m_phase.assign(longestSpan, 0.0);
    return true;
}

void CDrumDetector::Release() {
    for (Band& band : m_bands) {
        band.squares = {};
        band.outputs = {};
    }
    m_phase = {};
    m_sampleRate = 0;
}

bool CDrumDetector::ProcessChannels(float* const* channels, std::uint32_t count,
                                    std::uint32_t frames) {
    m_view.channels.assign(channels, channels + count);
    m_view.frames = frames;
    m_view.valid = frames;
    Process(m_view);
    return m_beat;
}

// Every frame runs both band filters, then keeps each band's window of
// squares and its sum; once per decimation the envelope moves on, about 43
// times a second the tempo is analysed, and a beat may be due.
//
// The filters are the direct form. The part of an output that depends on
// the input alone is worked out for a chunk first, with the sums in their
// order; the feedback adds up the five older outputs first and takes off
// the latest one last, so that an output waits for the one before it by
// one product and one subtraction rather than by six (the bands' beats are
// the same; only the last bit of a filter output can differ). The two bands
// go side by side in one vector. The windows of squares and the clock are
// kept in the same loop, with all state in locals: the loop stops at a frame
// that needs more (a window that turns, an envelope value, an analysis, a
// report), which is done outside it.
void CDrumDetector::DoBlock(const StreamBuffer& buffer) {
    m_beat = false;
    if (m_sampleRate == 0 || buffer.channels.empty()) return;
    const float* left = buffer.channels[0];
    const float* right = buffer.channels.size() >= 2 ? buffer.channels[1] : nullptr;

    Band& low = m_bands[0];
    Band& high = m_bands[1];
    Pair a[7];
    for (int k = 0; k < 7; ++k)
        a[k] = Pair{low.filter.a[k], high.filter.a[k]};
    Pair y1 = {low.filter.y[0], high.filter.y[0]}, y2 = {low.filter.y[1], high.filter.y[1]},
         y3 = {low.filter.y[2], high.filter.y[2]}, y4 = {low.filter.y[3], high.filter.y[3]},
         y5 = {low.filter.y[4], high.filter.y[4]}, y6 = {low.filter.y[5], high.filter.y[5]};

    double* const lowSquares = low.squares.data();
    double* const highSquares = high.squares.data();
    const std::size_t lowWindow = low.squares.size();
    const std::size_t highWindow = high.squares.size();
    std::size_t lowAt = low.squarePosition, highAt = high.squarePosition;
    Pair sums = {low.squareSum, high.squareSum};
    Pair fresh = {low.freshSum, high.freshSum};
    std::size_t lowZeros = low.zeroRun, highZeros = high.zeroRun;

    const std::uint32_t decimation = m_decimation;
    const double period = m_framePeriod;
    std::uint32_t count = m_envelopeCount;
    double clock = m_clock;
    double lastAnalysis = m_lastAnalysis;
    double nextReport = m_nextReport;
    const auto keep = [&] {
        low.squareSum = sums[0], high.squareSum = sums[1];
        low.zeroRun = lowZeros, high.zeroRun = highZeros;
        m_clock = clock;
    };

    for (std::uint32_t start = 0; start < buffer.frames; start += kChunk) {
        const std::uint32_t n = std::min(kChunk, buffer.frames - start);
        double* const x = m_mono + 6; // x[-6] to x[-1]: the inputs before
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint32_t at = start + i;
            x[i] = right ? (static_cast<double>(left[at]) + right[at]) / 2 : left[at];
        }
        stavo::FeedForward(x, n, low.filter.b, m_feed[0]);
        stavo::FeedForward(x, n, high.filter.b, m_feed[1]);
        std::copy(x + n - 6, x + n, m_mono);

        for (std::uint32_t i = 0; i < n;) {
            // Up to the frame where a window turns or the envelope moves on.
            const std::uint32_t stop = static_cast<std::uint32_t>(
                std::min({std::size_t{n}, i + (lowWindow - lowAt), i + (highWindow - highAt),
                          std::size_t{i} + (decimation - count)}));
            bool due = false;
            while (i < stop && !due) {
                Pair v = {m_feed[0][i], m_feed[1][i]};
                v -= (((a[6] * y6 + a[5] * y5) + a[4] * y4) + a[3] * y3) + a[2] * y2;
                v -= a[1] * y1;
                y6 = y5, y5 = y4, y4 = y3, y3 = y2, y2 = y1, y1 = v;

                // Each window's sum is kept up to date as squares come and
                // go, and summed afresh once per turn of the window so that
                // rounding cannot build up; a window of silence (only zero
                // squares) sums to exactly 0. The fresh sum is the window's
                // squares from its first place on, added as they come in.
                const Pair square = v * v;
                sums += square - Pair{lowSquares[lowAt], highSquares[highAt]};
                fresh += square;
                lowSquares[lowAt++] = square[0];
                highSquares[highAt++] = square[1];
                lowZeros = square[0] != 0.0 ? 0 : lowZeros + 1;
                highZeros = square[1] != 0.0 ? 0 : highZeros + 1;
                ++count;
                clock += period;
                ++i;
                due = clock - lastAnalysis > kAnalysisInterval || nextReport < clock + period;
            }
            if (lowAt == lowWindow) {
                lowAt = 0;
                sums[0] = fresh[0];
                fresh[0] = 0.0;
            }
            if (highAt == highWindow) {
                highAt = 0;
                sums[1] = fresh[1];
                fresh[1] = 0.0;
            }
            if (count >= decimation) {
                count = 0;
                keep();
                Envelope();
            }
            if (clock - lastAnalysis > kAnalysisInterval) {
                keep();
                Analyse();
                lastAnalysis = m_lastAnalysis = clock;
                nextReport = m_nextReport;
            }
            // Only a prediction that can be reported is worth a scan: none
            // before the earliest one heavy enough and far enough from the
            // last beat.
            if (nextReport < clock + period) {
                keep();
                Report(clock + period);
                nextReport = m_nextReport;
            }
        }
    }

    const Pair ys[6] = {y1, y2, y3, y4, y5, y6};
    for (int k = 0; k < 6; ++k) {
        low.filter.y[k] = ys[k][0];
        high.filter.y[k] = ys[k][1];
    }
    low.squarePosition = static_cast<std::uint32_t>(lowAt);
    high.squarePosition = static_cast<std::uint32_t>(highAt);
    low.freshSum = fresh[0], high.freshSum = fresh[1];
    m_envelopeCount = count;
    keep();
}

void CDrumDetector::Report(double frameEnd) {
    for (std::size_t i = 0; i < m_predictions.size(); ++i) {
        const Prediction& p = m_predictions[i];
        if (p.time > m_clock && p.time < frameEnd && p.weight > kReportWeight &&
            p.time > m_lastBeat + kMinBeatSpacing) {
            m_lastBeat = p.time;
            m_predictions.erase(m_predictions.begin() + static_cast<std::ptrdiff_t>(i));
            m_beat = true;
            break;
        }
    }
    UpdateNextReport();
}

void CDrumDetector::UpdateNextReport() {
    m_nextReport = std::numeric_limits<double>::infinity();
    for (const Prediction& p : m_predictions)
        if (p.weight > kReportWeight && p.time > m_lastBeat + kMinBeatSpacing)
            m_nextReport = std::min(m_nextReport, p.time);
}

void CDrumDetector::Envelope() {
    m_levelSum = 0.0;
    bool finite = true;
    for (Band& band : m_bands) {
        const double sum = band.zeroRun < band.squares.size() ? std::max(band.squareSum, 0.0) : 0.0;
        const double level = std::sqrt(sum / static_cast<double>(band.squares.size()));
        double onset = 0.0;
        if (level != 0.0) onset = (level - band.previousLevel) / band.normaliser;
        band.previousLevel = level;
        band.level = level;
        if (onset < 0.0) onset = 0.0;

        // Each resonator feeds back its output of D values ago (a comb).
        double* const outputs = band.outputs.data();
        double leaving[kColumns], entering[kColumns];
        for (int g = 0; g < kGroups; ++g) {
            const Group& group = m_groups[g];
            const std::size_t oldest = group.start + std::size_t{group.row} * kSide;
            const int first = g * kSide;
            double y[kSide];
            stavo::CombStep(m_input + first, m_gain + first, onset, outputs + oldest,
                            leaving + first, y);
            // The padding columns of the last group stay zero.
            const int used = std::min(kSide, kResonators - first);
            for (int k = used; k < kSide; ++k)
                entering[first + k] = 0.0;
            for (int k = 0; k < used; ++k) {
                std::uint32_t row = group.row + m_delay[first + k];
                if (row >= group.rows) row -= group.rows;
                const std::size_t at = group.start + std::size_t{row} * kSide + k;
                outputs[at] = y[k];
            }
            // The span moves on by one: the oldest output leaves it (read
            // before a line as long as the ring overwrote it), the one
            // `span` rows on enters (read after, since with a span as long
            // as the delay that is the output just made).
            for (int k = 0; k < used; ++k) {
                std::uint32_t row = group.row + m_span[first + k];
                if (row >= group.rows) row -= group.rows;
                entering[first + k] = outputs[group.start + std::size_t{row} * kSide + k];
            }
        }
        finite = stavo::SlideSums(leaving, entering, kColumns, band.sumHigh, band.sumLow,
                                  band.nonZero) &&
                 finite;
        m_levelSum += level;
    }
    // Rounding cannot build up in the unrounded sums in any time that
    // matters, but a value too large for a double (infinity, or NaN after
    // it) would stay in a sum after it left the span: now and then, and at
    // once when a sum is not finite, the group's sums are made afresh.
    constexpr std::uint32_t kTurnsBetweenResums = 16;
    for (int g = 0; g < kGroups; ++g) {
        Group& group = m_groups[g];
        if (++group.row == group.rows) {
            group.row = 0;
            ++group.turns;
        }
        if (!finite || (group.row == 0 && group.turns >= kTurnsBetweenResums)) {
            for (Band& band : m_bands)
                Resum(band, g);
            group.turns = 0;
        }
    }
}

void CDrumDetector::Resum(Band& band, int g) {
    const Group& group = m_groups[g];
    for (int k = g * kSide; k < (g + 1) * kSide; ++k) {
        double high = 0.0, low = 0.0, nonZero = 0.0;
        std::uint32_t row = group.row;
        const double* const column = band.outputs.data() + group.start + k % kSide;
        for (std::uint32_t i = 0; i < m_span[k]; ++i) {
            const double y = column[std::size_t{row} * kSide];
            const double v = y * y * y * y;
            stavo::AddTo(high, low, v);
            nonZero += v != 0.0 ? 1.0 : 0.0;
            if (++row == group.rows) row = 0;
        }
        band.sumHigh[k] = high;
        band.sumLow[k] = low;
        band.nonZero[k] = nonZero;
    }
}

void CDrumDetector::Normalise(double* v, int n) const {
    double max = 0.0;
    double min = 100000.0;
    for (int i = 0; i < n - 1; ++i) {
        max = std::max(max, v[i]);
        min = std::min(min, v[i]);
    }
    const double floor = std::pow(std::max(0.0005, m_levelSum / 300), 4);
    // max / min > 1.5, written so that a zero minimum counts as a large ratio.
    const bool spread = min > 0.0 ? max / min > 1.5 : max > 0.0;
    if (spread && max != 0.0 && max > floor) {
        const double k = 0.5 + 0.5 * (1 - std::fabs(min / max));
        for (int i = 0; i < n - 1; ++i)
            v[i] = (v[i] - min * k) / (max - min * k);
    } else {
        for (int i = 0; i < n - 1; ++i)
            v[i] = 0.0;
    }
}

// The sum of y^4 over the first `span` values of each resonator's line, from
// its oldest on: the kept sum rounded once, and exactly 0 for a span of zeros.
void CDrumDetector::Scores(const Band& band, double* raw) const {
    for (int j = 0; j < kResonators; ++j)
        raw[j] = band.nonZero[j] > 0.0 ? std::max(band.sumHigh[j] + band.sumLow[j], 0.0) : 0.0;
}

void CDrumDetector::Analyse() {
    for (Band& band : m_bands) {
        double raw[kResonators];
        Scores(band, raw);
        band.scores[0] = raw[0];
        band.scores[kResonators - 1] = raw[kResonators - 1];
        for (int j = 1; j < kResonators - 1; ++j)
            band.scores[j] = (0.5 * raw[j - 1] + raw[j] + 0.5 * raw[j + 1]) / 2;
        Normalise(band.scores, kResonators);
    }
    for (int j = 0; j < kResonators; ++j)
        m_total[j] = (m_bands[0].scores[j] + m_bands[1].scores[j]) * 0.1;
    Normalise(m_total, kResonators);
    int chosen = 0;
    for (int j = 1; j < kResonators; ++j)
        if (m_total[j] > m_total[chosen]) chosen = j;
    m_tempo = m_period[chosen];

    // Phase: where within one period the resonators of the confident bands
    // peak is where the next beat is expected.
    const std::uint32_t span = m_span[chosen];
    std::fill(m_phase.begin(), m_phase.begin() + span, 0.0);
    bool any = false;
    for (const Band& band : m_bands) {
        double mean = 0.0;
        for (double s : band.scores)
            mean += s;
        mean /= kResonators;
        if (!(band.scores[chosen] > 0.8 && mean < 0.5)) continue;
        any = true;
        // The chosen resonator's line from its oldest value on.
        const Group& group = m_groups[chosen / kSide];
        const double* const column = band.outputs.data() + group.start + chosen % kSide;
        std::uint32_t row = group.row;
        for (std::uint32_t i = 0; i < span; ++i) {
            m_phase[i] += column[std::size_t{row} * kSide];
            if (++row == group.rows) row = 0;
        }
    }
    if (any && span > 0) {
        std::uint32_t p = 0;
        for (std::uint32_t i = 1; i < span; ++i)
            if (m_phase[i] > m_phase[p]) p = i;
        if (p != 0) Predict(m_clock + static_cast<double>(p) / m_envelopeRate, m_total[chosen]);
    }

    // Age the predictions: past ones go, the rest lose weight, and close ones merge.
    std::size_t kept = 0;
    for (const Prediction& p : m_predictions) {
        if (p.time < m_clock) continue;
        m_predictions[kept++] = {p.time, p.weight * 0.8};
    }
    m_predictions.resize(kept);
    for (std::size_t i = 0; i < m_predictions.size(); ++i) {
        for (std::size_t j = i + 1; j < m_predictions.size();) {
            if (std::fabs(m_predictions[i].time - m_predictions[j].time) < kMergeDistance) {
                m_predictions[i].time = (m_predictions[i].time + m_predictions[j].time) / 2;
                m_predictions[i].weight += m_predictions[j].weight;
                m_predictions.erase(m_predictions.begin() + static_cast<std::ptrdiff_t>(j));
            } else {
                ++j;
            }
        }
    }
    UpdateNextReport();
}

void CDrumDetector::Predict(double time, double weight) {
    std::size_t closest = m_predictions.size();
    double distance = kMergeDistance;
    for (std::size_t i = 0; i < m_predictions.size(); ++i) {
        const double d = std::fabs(m_predictions[i].time - time);
        if (d < distance) {
            distance = d;
            closest = i;
        }
    }
    if (closest < m_predictions.size()) {
        Prediction& p = m_predictions[closest];
        p.time = p.time * 0.666 + time * 0.334;
        p.weight += weight;
    } else if (m_predictions.size() < kMaxPredictions) {
        m_predictions.push_back({time, weight});
    }
}
