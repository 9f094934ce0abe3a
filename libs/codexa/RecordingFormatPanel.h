// The coders' settings panel: the recording format (container, sample
// format, sample rate, channels and, for lossy types, the quality), offering
// only combinations libsndfile writes. Each change is stored at once
// (codexa::SaveRecordingFormat), so the choice holds whichever way the
// hosting dialog is closed.
//
// Its size is fixed at creation, from its contents; controls that do not
// apply are disabled rather than hidden, so the size never changes under a
// dialog that was laid out around it. Window thread only.
#pragma once

#include "sonvara/RecordingFormat.h"

#include <QWidget>
#include <string>

namespace veneer {
class CSCComboBox;
class CSCSlider;
class CSCStatic;
} // namespace veneer

namespace codexa {

class CRecordingFormatPanel : public QWidget {
    Q_OBJECT
public:
    // The object name KelCoderShowSettings finds the panel by.
    static constexpr const char* kObjectName = "CodexaRecordingFormat";

    // Reads the format from iniPath and writes every change back to it.
    CRecordingFormatPanel(const std::string& iniPath, QWidget* parent);

    const SvRecordingFormat& Format() const { return m_format; }

    // The controls, for tests that act as the user.
    veneer::CSCComboBox* ContainerBox() const { return m_container; }
    veneer::CSCComboBox* SampleFormatBox() const { return m_sampleFormat; }
    veneer::CSCComboBox* SampleRateBox() const { return m_sampleRate; }
    veneer::CSCComboBox* ChannelsBox() const { return m_channels; }
    veneer::CSCSlider* QualitySlider() const { return m_quality; }

private:
    enum class EChanged { Container, SampleFormat, SampleRate, Channels };
    void OnChanged(EChanged what);
    // Makes m_format writable again after one field changed, moving the
    // fields after it as little as possible.
    void Settle(EChanged what);
    void Refill();
    void Store();

    std::string m_iniPath;
    SvRecordingFormat m_format;
    veneer::CSCComboBox* m_container = nullptr;
    veneer::CSCComboBox* m_sampleFormat = nullptr;
    veneer::CSCComboBox* m_sampleRate = nullptr;
    veneer::CSCComboBox* m_channels = nullptr;
    veneer::CSCSlider* m_quality = nullptr;
    veneer::CSCStatic* m_qualityValue = nullptr;
    bool m_filling = false;
};

} // namespace codexa
