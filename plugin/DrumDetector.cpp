#include "plugin/DrumDetector.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
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

// One filter's state in registers: x1 and y1 the latest input and output.
struct FilterState {
    double x1, x2, x3, x4, x5, x6;
    double y1, y2, y3, y4, y5, y6;

    // One step of the direct form, the sums in its order.
    double Step(const double* b, const double* a, double x0) {
        double v = 0.0;
        v += b[0] * x0;
        v += b[1] * x1;
        v += b[2] * x2;
        v += b[3] * x3;
        v += b[4] * x4;
        v += b[5] * x5;
        v += b[6] * x6;
        v -= a[1] * y1;
        v -= a[2] * y2;
        v -= a[3] * y3;
        v -= a[4] * y4;
        v -= a[5] * y5;
        v -= a[6] * y6;
        x6 = x5, x5 = x4, x4 = x3, x3 = x2, x2 = x1, x1 = x0;
        y6 = y5, y5 = y4, y4 = y3, y3 = y2, y2 = y1, y1 = v;
        return v;
    }
};

} // namespace

void CDrumDetector::Filter::RunPair(Filter& f, Filter& g, const double* in, double* outF,
                                    double* outG, std::uint32_t n) {
    // x[0] and y[0] hold the latest input and output, x[5] and y[5] the
    // sixth latest. Each output waits for the one before it; running the
    // two bands in one loop lets their waits overlap.
    FilterState sf{f.x[0], f.x[1], f.x[2], f.x[3], f.x[4], f.x[5],
                   f.y[0], f.y[1], f.y[2], f.y[3], f.y[4], f.y[5]};
    FilterState sg{g.x[0], g.x[1], g.x[2], g.x[3], g.x[4], g.x[5],
                   g.y[0], g.y[1], g.y[2], g.y[3], g.y[4], g.y[5]};
    for (std::uint32_t i = 0; i < n; ++i) {
        outF[i] = sf.Step(f.b, f.a, in[i]);
        outG[i] = sg.Step(g.b, g.a, in[i]);
    }
    const FilterState* states[2] = {&sf, &sg};
    Filter* filters[2] = {&f, &g};
    for (int k = 0; k < 2; ++k) {
        const FilterState& s = *states[k];
        Filter& t = *filters[k];
        t.x[0] = s.x1, t.x[1] = s.x2, t.x[2] = s.x3, t.x[3] = s.x4, t.x[4] = s.x5, t.x[5] = s.x6;
        t.y[0] = s.y1, t.y[1] = s.y2, t.y[2] = s.y3, t.y[3] = s.y4, t.y[4] = s.y5, t.y[5] = s.y6;
    }
}

void CDrumDetector::Resonator::Run(double x) {
    const double y = input * x + gain * line[position];
    line[position] = y;
    // Each output's y^4 is what the tempo analyses add up, many times over:
    // it is worked out once, when the output is made.
    const double q = y * y * y * y;
    quartic[position] = q;
    quartic[position + delay] = q;
    if (++position == delay) position = 0;
}

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
    for (int k = 0; k < kBands; ++k) {
        Band& band = m_bands[k];
        std::copy(kBandB[k], kBandB[k] + 7, band.filter.b);
        std::copy(kBandA[k], kBandA[k] + 7, band.filter.a);
        Stabilise(band.filter.b, band.filter.a);
        std::fill(band.filter.x, band.filter.x + 7, 0.0);
        std::fill(band.filter.y, band.filter.y + 7, 0.0);
        const auto window = static_cast<std::size_t>(std::floor(R * 0.3 / (k + 1)));
        band.squares.assign(std::max<std::size_t>(window, 1), 0.0);
        band.squarePosition = 0;
        band.squareSum = 0.0;
        band.zeroRun = band.squares.size();
        band.level = band.previousLevel = 0.0;
        band.normaliser = 1.0;
        for (int j = 0; j < kResonators; ++j) {
            Resonator& r = band.resonators[j];
            r.period =
                std::exp(std::log(kShortestPeriod) +
                         (std::log(kLongestPeriod) - std::log(kShortestPeriod)) * j / kResonators);
            r.gain = std::pow(0.5, r.period / kHalfLife);
            r.input = std::sqrt(1 - r.gain * r.gain);
            const auto delay =
                static_cast<std::uint32_t>(std::floor(m_envelopeRate * r.period + 0.001)) + 1;
            r.span =
                std::min(static_cast<std::uint32_t>(std::floor(m_envelopeRate * r.period)), delay);
            r.delay = delay;
            r.line.assign(delay, 0.0);
            r.quartic.assign(2 * std::size_t{delay}, 0.0);
            r.position = 0;
            longestSpan = std::max(longestSpan, r.span);
            band.scores[j] = 0.0;
        }
    }
    m_phase.assign(longestSpan, 0.0);
    return true;
}

void CDrumDetector::Release() {
    for (Band& band : m_bands) {
        band.squares = {};
        for (Resonator& r : band.resonators) {
            r.line = {};
            r.quartic = {};
        }
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

void CDrumDetector::DoBlock(const StreamBuffer& buffer) {
    m_beat = false;
    if (m_sampleRate == 0 || buffer.channels.empty()) return;
    const float* left = buffer.channels[0];
    const float* right = buffer.channels.size() >= 2 ? buffer.channels[1] : nullptr;
    // The band filters depend on nothing but the input: each runs over a
    // chunk at a time with its state in registers, then the frames of the
    // chunk go through the rest in order.
    for (std::uint32_t start = 0; start < buffer.frames; start += kChunk) {
        const std::uint32_t n = std::min(kChunk, buffer.frames - start);
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint32_t at = start + i;
            m_mono[i] = right ? (static_cast<double>(left[at]) + right[at]) / 2 : left[at];
        }
        Filter::RunPair(m_bands[0].filter, m_bands[1].filter, m_mono, m_filtered[0], m_filtered[1],
                        n);
        for (std::uint32_t i = 0; i < n; ++i)
            Frame(m_filtered[0][i], m_filtered[1][i]);
    }
}

void CDrumDetector::Frame(double y0, double y1) {
    for (int k = 0; k < kBands; ++k) {
        Band& band = m_bands[k];
        const double y = k == 0 ? y0 : y1;
        // The window's sum is kept up to date as squares come and go, and
        // summed afresh once per turn of the window so that rounding cannot
        // build up; a window of silence (only zero squares) sums to exactly 0.
        double& slot = band.squares[band.squarePosition];
        const double square = y * y;
        band.zeroRun = square != 0.0 ? 0 : band.zeroRun + 1;
        band.squareSum += square - slot;
        slot = square;
        if (++band.squarePosition == band.squares.size()) {
            band.squarePosition = 0;
            double sum = 0.0;
            for (double s : band.squares)
                sum += s;
            band.squareSum = sum;
        }
    }
    if (++m_envelopeCount >= m_decimation) {
        m_envelopeCount = 0;
        Envelope();
    }
    m_clock += m_framePeriod;
    if (m_clock - m_lastAnalysis > kAnalysisInterval) {
        Analyse();
        m_lastAnalysis = m_clock;
    }
    const double frameEnd = m_clock + m_framePeriod;
    // Only a prediction that can be reported is worth the scan below: none
    // before the earliest one heavy enough and far enough from the last beat.
    if (!(m_nextReport < frameEnd)) return;
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
    for (Band& band : m_bands) {
        const double sum = band.zeroRun < band.squares.size() ? std::max(band.squareSum, 0.0) : 0.0;
        const double level = std::sqrt(sum / static_cast<double>(band.squares.size()));
        double onset = 0.0;
        if (level != 0.0) onset = (level - band.previousLevel) / band.normaliser;
        band.previousLevel = level;
        band.level = level;
        if (onset < 0.0) onset = 0.0;
        for (Resonator& r : band.resonators)
            r.Run(onset);
        m_levelSum += level;
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

// The sum of y^4 over the first `span` values of each resonator's line, in
// line order. Eight resonators go side by side, each with its own running
// sum in its own order, so that the eight chains of additions overlap
// instead of waiting for one another; every sum is the one a resonator at
// a time would give.
void CDrumDetector::Scores(const Band& band, double* raw) {
    constexpr int kSide = 8;
    int j = 0;
    for (; j + kSide <= kResonators; j += kSide) {
        const Resonator* r = band.resonators + j;
        const double* p[kSide];
        std::uint32_t common = r[0].span;
        for (int k = 0; k < kSide; ++k) {
            p[k] = r[k].quartic.data() + r[k].position;
            common = std::min(common, r[k].span);
        }
        double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0, s4 = 0.0, s5 = 0.0, s6 = 0.0, s7 = 0.0;
        for (std::uint32_t i = 0; i < common; ++i) {
            s0 += p[0][i];
            s1 += p[1][i];
            s2 += p[2][i];
            s3 += p[3][i];
            s4 += p[4][i];
            s5 += p[5][i];
            s6 += p[6][i];
            s7 += p[7][i];
        }
        double sum[kSide] = {s0, s1, s2, s3, s4, s5, s6, s7};
        for (int k = 0; k < kSide; ++k) {
            for (std::uint32_t i = common; i < r[k].span; ++i)
                sum[k] += p[k][i];
            raw[j + k] = sum[k];
        }
    }
    for (; j < kResonators; ++j) {
        const Resonator& r = band.resonators[j];
        const double* p = r.quartic.data() + r.position;
        double score = 0.0;
        for (std::uint32_t i = 0; i < r.span; ++i)
            score += p[i];
        raw[j] = score;
    }
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
    m_tempo = m_bands[0].resonators[chosen].period;

    // Phase: where within one period the resonators of the confident bands
    // peak is where the next beat is expected.
    const std::uint32_t span = m_bands[0].resonators[chosen].span;
    std::fill(m_phase.begin(), m_phase.begin() + span, 0.0);
    bool any = false;
    for (const Band& band : m_bands) {
        double mean = 0.0;
        for (double s : band.scores)
            mean += s;
        mean /= kResonators;
        if (!(band.scores[chosen] > 0.8 && mean < 0.5)) continue;
        any = true;
        const Resonator& r = band.resonators[chosen];
        // The line from its oldest value on: to its end, then from its start.
        const std::uint32_t first = std::min(span, r.delay - r.position);
        const double* line = r.line.data();
        for (std::uint32_t i = 0; i < first; ++i)
            m_phase[i] += line[r.position + i];
        for (std::uint32_t i = first; i < span; ++i)
            m_phase[i] += line[i - first];
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
