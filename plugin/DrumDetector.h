// A beat tracker for the Drums switching law. The mono input is split into
// two bands by sixth-order IIR filters; each band's RMS envelope, decimated to
// about 150 values per second, yields a half-wave rectified onset signal that
// drives a bank of 150 comb resonators (periods 0.33 s to 1.3 s). About 43
// times a second the resonators' energies choose a tempo, the phase of the
// strongest resonator predicts the next beat, and predictions that agree gain
// weight; a prediction heavy enough is reported when its time comes.
//
// All storage is made by Open; processing a block allocates nothing.
#pragma once

#include "plugin/SoundProcessor.h"

#include <cstdint>
#include <vector>

class CDrumDetector : public CSoundProcessor {
public:
    static constexpr int kBands = 2;
    static constexpr int kResonators = 150;
    static constexpr std::size_t kMaxPredictions = 50;

    CDrumDetector();

    bool Open(const WAVEFORMATEX& format) override;
    void Release() override;

    // Runs the block of `frames` frames of `count` channels; returns the
    // block's beat flag.
    bool ProcessChannels(float* const* channels, std::uint32_t count, std::uint32_t frames);

    bool Beat() const { return m_beat; }
    std::uint32_t EnvelopeRate() const { return m_envelopeRate; }
    std::uint32_t Decimation() const { return m_decimation; }
    // The period (seconds) chosen by the latest tempo analysis; 0 before one.
    double Tempo() const { return m_tempo; }
    double Clock() const { return m_clock; }
    double LastBeat() const { return m_lastBeat; }

protected:
    void DoBlock(const StreamBuffer& buffer) override;

private:
    struct Filter {
        double b[7];
        double a[7];
        double x[7];
        double y[7];
        // Filters n inputs through f into outF and through g into outG.
        static void RunPair(Filter& f, Filter& g, const double* in, double* outF, double* outG,
                            std::uint32_t n);
    };
    struct Resonator {
        double period = 0.0;
        double gain = 0.0;        // g
        double input = 0.0;       // sqrt(1 - g^2)
        std::uint32_t span = 0;   // values read by the analyses: floor(E * T)
        std::uint32_t delay = 0;  // D: the outputs kept
        std::vector<double> line; // the D outputs, a ring
        // y^4 of each output, twice over (quartic[i] and quartic[i + D] are
        // equal), so that the values from the oldest on lie side by side.
        std::vector<double> quartic;
        std::uint32_t position = 0; // the oldest value
        void Run(double x);
    };
    struct Band {
        Filter filter;
        std::vector<double> squares;
        std::uint32_t squarePosition = 0;
        double squareSum = 0.0;  // of squares, kept as they change
        std::size_t zeroRun = 0; // zero squares in a row, the latest last
        double level = 0.0;
        double previousLevel = 0.0;
        double normaliser = 1.0;
        Resonator resonators[kResonators];
        double scores[kResonators];
    };
    struct Prediction {
        double time;
        double weight;
    };

    // One frame after the band filters: y0 and y1 are their outputs.
    void Frame(double y0, double y1);
    void Envelope();
    void Analyse();
    static void Scores(const Band& band, double* raw);
    void Normalise(double* v, int n) const;
    void Predict(double time, double weight);
    void UpdateNextReport();

    std::uint32_t m_sampleRate = 0;
    std::uint32_t m_envelopeRate = 0;
    std::uint32_t m_decimation = 0;
    double m_framePeriod = 0.0; // 1 / sample rate
    std::uint32_t m_envelopeCount = 0;
    double m_clock = 0.0;
    double m_lastAnalysis = 0.0;
    double m_levelSum = 0.0;
    double m_tempo = 0.0;
    double m_lastBeat = 0.0;
    bool m_beat = false;
    // The earliest time a listed prediction could be reported at (infinity
    // when none could), so that most frames need no scan of the list.
    double m_nextReport = 0.0;
    Band m_bands[kBands];
    double m_total[kResonators];
    std::vector<double> m_phase;
    std::vector<Prediction> m_predictions;
    StreamBuffer m_view; // the block handed to Process, reused
    // Frames filtered at a time, and their work space.
    static constexpr std::uint32_t kChunk = 256;
    double m_mono[kChunk];
    double m_filtered[kBands][kChunk];
};
