// The settings panel of the voice effect: detection speed, level threshold,
// the two tones, the switching law and the segment rate of one effect
// instance, embedded as a child widget in a window of the host.
//
// Every committed change is written into the instance at once (each setting
// a whole 32-bit store, read once per block by the audio thread) and
// announced to the parent with a posted WM_COMMAND whose word parameter is
// 0x04000000 and whose long parameter is the panel itself. A slider commits
// when it is let go, a key or click moves it, or a law or tone is chosen;
// while its thumb is dragged only the value labels follow it.
//
// Lives on the window thread. The panel holds a raw pointer to the instance:
// the host keeps the instance (no Free) while the panel exists. The panel
// is deleted with its parent, or by the host deleting it.
#pragma once

#include <QFrame>

#include <cstdint>

class QButtonGroup;
class QPaintEvent;
class QComboBox;
class QLabel;
class QSlider;
struct EffectInstance;

namespace stavo {

class CPanelStyle;

// Control ids; each control's objectName is its id in decimal.
enum ModulationControl : int {
    IDD_MODULATION = 31900,
    IDC_THRESHOLD_SLIDER = 31902,
    IDC_RATE_SLIDER = 31904,
    IDC_SPEED_SLIDER = 31907,
    IDC_SPEED_VALUE = 31910,
    IDC_THRESHOLD_VALUE = 31912,
    IDC_RATE_VALUE = 31914,
    IDC_FIRST_TONE = 31929,
    IDC_SECOND_TONE = 31931,
    IDC_LAW_DRUMS = 31933,
    IDC_LAW_PERIODIC = 31935,
    IDC_LAW_TWICE = 31937,
    IDC_LAW_ONCE = 31939,
    IDC_RATE_CAPTION = 31941,
    IDC_MODULATION_FRAME = 31943,
    IDC_FIRST_TONE_FRAME = 31944,
    IDC_SECOND_TONE_FRAME = 31945,
    IDC_LAW_FRAME = 31946,
    IDC_SPEED_CAPTION = 31947,
    IDC_THRESHOLD_CAPTION = 31948,
};

// The word parameter of the command posted to the parent after a commit:
// notification 0x400 in the high half, control id 0 in the low half.
inline constexpr std::uintptr_t kSettingsChangedCommand = 0x04000000;

class CModulationDlg : public QFrame {
public:
    // The panel as a child of parent, loaded from the instance; null when
    // either is missing.
    static CModulationDlg* Create(QWidget* parent, EffectInstance* instance);

    CModulationDlg(QWidget* parent, EffectInstance* instance);

    // The text of the threshold label for a slider position: (position ×
    // 0.005)² with three decimals.
    static QString ThresholdText(int position);

protected:
    // A click on the background stays with the panel instead of reaching
    // the host's window below.
    void mousePressEvent(QMouseEvent* event) override;
    // The panel's edge and the edges of its value boxes: one pixel in a
    // colour of the host's palette.
    void paintEvent(QPaintEvent* event) override;

private:
    // The scroll codes of a slider that matter here.
    enum ScrollCode { kThumbTrack = 5, kEndScroll = 8 };

    void BuildControls();
    void LoadFromInstance();
    void CommitToInstance();
    // Values to the controls (toControls) or back from them.
    void Exchange(bool toControls);
    void RefreshLabels();
    void ShowRate(bool show);
    void OnScroll(int code);
    void OnLaw(int law);
    void OnTone();

    EffectInstance* m_instance;
    int m_speed = 0;
    int m_threshold = 0;
    int m_firstTone = 0;
    int m_secondTone = 0;
    int m_law = 0;
    int m_rate = 0;
    QString m_speedText;
    QString m_thresholdText;
    QString m_rateText;

    QSlider* m_speedSlider = nullptr;
    QSlider* m_thresholdSlider = nullptr;
    QSlider* m_rateSlider = nullptr;
    QLabel* m_speedLabel = nullptr;
    QLabel* m_thresholdLabel = nullptr;
    QLabel* m_rateLabel = nullptr;
    QLabel* m_rateCaption = nullptr;
    // Draws the radio buttons; the panel owns it.
    CPanelStyle* m_style = nullptr;
    QComboBox* m_firstCombo = nullptr;
    QComboBox* m_secondCombo = nullptr;
    QButtonGroup* m_laws = nullptr;
};

} // namespace stavo
