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
    // Resonators are kept and summed sixteen at a time, a group of
    // neighbours; the last group is padded with columns that never receive
    // input and stay zero.
    static constexpr int kSide = 16;
    static constexpr int kGroups = (kResonators + kSide - 1) / kSide;
    static constexpr int kColumns = kGroups * kSide;
    // Frames filtered at a time.
    static constexpr std::uint32_t kChunk = 256;

    struct Filter {
        double b[7];
        double a[7];
        double y[6]; // the latest output first
    };
    struct Band {
        Filter filter;
        std::vector<double> squares;
        std::uint32_t squarePosition = 0;
        double squareSum = 0.0; // of squares, kept as they change
        // Of the squares written since the window last turned to its first
        // place, in that order: at the next turn, the window's sum afresh.
        double freshSum = 0.0;
        std::size_t zeroRun = 0; // zero squares in a row, the latest last
        double level = 0.0;
        double previousLevel = 0.0;
        double normaliser = 1.0;
        // The resonators' outputs, group after group. A group is a ring of
        // rows (as many as its longest delay) of kSide values, a column per
        // resonator; resonator j writes the output it makes at envelope
        // value t into row t + D_j of the ring, D_j its delay. Every
        // resonator of the group then finds its oldest kept output in the
        // group's current row and its i-th oldest i rows on, so the work of
        // sixteen resonators runs along rows that lie one after another.
        std::vector<double> outputs;
        // Each resonator's sum of y^4 over the span the analyses read (its
        // line from the oldest output on), moved on as outputs come and go
        // rather than summed afresh at every analysis: kept as an unrounded
        // pair (high part, low part) so that it stays the sum to the last
        // bit however loud the values that have left it were, with a count
        // of its values that are not zero so that a window of zeros gives
        // exactly 0.
        double sumHigh[kColumns];
        double sumLow[kColumns];
        double nonZero[kColumns];
        double scores[kResonators];
    };
    struct Group {
        std::size_t start = 0;   // of its rows in `outputs`
        std::uint32_t rows = 0;  // the longest delay of its resonators
        std::uint32_t row = 0;   // the row of the oldest outputs
        std::uint32_t turns = 0; // of the ring, since its sums were last made afresh
    };
    struct Prediction {
        double time;
        double weight;
    };

    void Envelope();
    void Analyse();
    void Scores(const Band& band, double* raw) const;
    // Sums group g's spans of the band afresh.
    void Resum(Band& band, int g);
    void Normalise(double* v, int n) const;
    void Predict(double time, double weight);
    // Reports the first listed prediction due before frameEnd, if any.
    void Report(double frameEnd);
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
    // The resonators, alike in both bands (the padding columns have no gain
    // and no input, and the period, span and delay of the last resonator).
    double m_period[kColumns];
    double m_gain[kColumns];         // g
    double m_input[kColumns];        // sqrt(1 - g^2)
    std::uint32_t m_span[kColumns];  // values read by the analyses: floor(E * T)
    std::uint32_t m_delay[kColumns]; // D: the outputs kept
    Group m_groups[kGroups];
    double m_total[kResonators];
    std::vector<double> m_phase;
    std::vector<Prediction> m_predictions;
    StreamBuffer m_view; // the block handed to Process, reused
    // The filters' input: the six latest inputs of the chunk before (the
    // latest last), then the chunk's mono frames.
    double m_mono[6 + kChunk];
    // The part of each band filter's outputs that depends on the input
    // alone, for the frames of the chunk.
    double m_feed[kBands][kChunk];
};
