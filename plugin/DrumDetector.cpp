#include "plugin/DrumDetector.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>

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

double CDrumDetector::Filter::Run(double in) {
    for (int i = 6; i > 0; --i) {
        x[i] = x[i - 1];
        y[i] = y[i - 1];
    }
    x[0] = in;
    double out = 0.0;
    for (int i = 0; i < 7; ++i)
        out += b[i] * x[i];
    for (int i = 1; i < 7; ++i)
        out -= a[i] * y[i];
    y[0] = out;
    return out;
}

void CDrumDetector::Resonator::Run(double x) {
    const double y = input * x + gain * line[position];
    line[position] = y;
    if (++position == line.size()) position = 0;
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
    // is a whole number of frames.
    std::uint32_t E = 150;
    while (E < R && R % E != 0)
        ++E;
    m_envelopeRate = std::min(E, R);
    m_decimation = R / m_envelopeRate;
    m_envelopeCount = 0;
    m_clock = 0.0;
    m_lastAnalysis = 0.0;
    m_levelSum = 0.0;
    m_tempo = 0.0;
    m_lastBeat = 0.0;
    m_beat = false;
    m_predictions.clear();
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
            r.line.assign(delay, 0.0);
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
        for (Resonator& r : band.resonators)
            r.line = {};
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
    for (std::uint32_t i = 0; i < buffer.frames; ++i) {
        const double m = right ? (static_cast<double>(left[i]) + right[i]) / 2 : left[i];
        Frame(m);
    }
}

void CDrumDetector::Frame(double m) {
    for (Band& band : m_bands) {
        const double y = band.filter.Run(m);
        band.squares[band.squarePosition] = y * y;
        if (++band.squarePosition == band.squares.size()) band.squarePosition = 0;
    }
    if (++m_envelopeCount >= m_decimation) {
        m_envelopeCount = 0;
        Envelope();
    }
    m_clock += 1.0 / m_sampleRate;
    if (m_clock - m_lastAnalysis > kAnalysisInterval) {
        Analyse();
        m_lastAnalysis = m_clock;
    }
    if (m_predictions.empty()) return;
    const double frameEnd = m_clock + 1.0 / m_sampleRate;
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
}

void CDrumDetector::Envelope() {
    m_levelSum = 0.0;
    for (Band& band : m_bands) {
        double sum = 0.0;
        for (double s : band.squares)
            sum += s;
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

void CDrumDetector::Analyse() {
    for (Band& band : m_bands) {
        double raw[kResonators];
        for (int j = 0; j < kResonators; ++j) {
            const Resonator& r = band.resonators[j];
            const std::size_t size = r.line.size();
            std::size_t at = r.position;
            double score = 0.0;
            for (std::uint32_t i = 0; i < r.span; ++i) {
                const double y = r.line[at];
                score += y * y * y * y;
                if (++at == size) at = 0;
            }
            raw[j] = score;
        }
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
        std::size_t at = r.position;
        for (std::uint32_t i = 0; i < span; ++i) {
            m_phase[i] += r.line[at];
            if (++at == r.line.size()) at = 0;
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
