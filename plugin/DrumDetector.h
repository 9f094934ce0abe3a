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
        double Run(double in);
    };
    struct Resonator {
        double period = 0.0;
        double gain = 0.0;      // g
        double input = 0.0;     // sqrt(1 - g^2)
        std::uint32_t span = 0; // values read by the analyses: floor(E * T)
        std::vector<double> line;
        std::uint32_t position = 0; // the oldest value
        void Run(double x);
    };
    struct Band {
        Filter filter;
        std::vector<double> squares;
        std::uint32_t squarePosition = 0;
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

    void Frame(double m);
    void Envelope();
    void Analyse();
    void Normalise(double* v, int n) const;
    void Predict(double time, double weight);

    std::uint32_t m_sampleRate = 0;
    std::uint32_t m_envelopeRate = 0;
    std::uint32_t m_decimation = 0;
    std::uint32_t m_envelopeCount = 0;
    double m_clock = 0.0;
    double m_lastAnalysis = 0.0;
    double m_levelSum = 0.0;
    double m_tempo = 0.0;
    double m_lastBeat = 0.0;
    bool m_beat = false;
    Band m_bands[kBands];
    double m_total[kResonators];
    std::vector<double> m_phase;
    std::vector<Prediction> m_predictions;
    StreamBuffer m_view; // the block handed to Process, reused
};
