#include "audio/dialogs/SurroundDlg.h"

#include "audio/dialogs/SurroundSupportDlg.h"
#include "libs/veneer/SurroundView.h"
#include "sonvara/ISkin.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

using S = CSurroundSettings;

std::function<void(CSurroundDlg&)>& Hook() {
    static std::function<void(CSurroundDlg&)> hook;
    return hook;
}

QString Id(int id) {
    return QString::number(id);
}

// The reverberation's own controls: enabled only while surround and the
// reverberation are both on.
constexpr int kReverbControls[] = {S::kAdvanceCheck, S::kReverbVolumeSlider, S::kRoomSizeSlider,
                                   S::kAbsorbSlider, S::kDecaySlider};
constexpr int kLfeControls[] = {S::kLfeFrequencySlider, S::kLfeVolumeSlider};

} // namespace

void CSurroundDlg::SetTestHook(std::function<void(CSurroundDlg&)> hook) {
    Hook() = std::move(hook);
}

CSurroundDlg::CSurroundDlg(CSurroundSettings& settings, ISkin* skin, QWidget* parent)
    : veneer::CSCScaleDialog(kTemplateId, parent), m_settings(settings), m_skin(skin) {
    setWindowTitle(QStringLiteral("Surround"));
    Build();
    Refresh();
    PositionView();
}

QWidget* CSurroundDlg::Control(int id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

QString CSurroundDlg::LabelText(int sliderId) const {
    const auto it = m_labels.find(sliderId);
    return it == m_labels.end() ? QString() : it->second->text();
}

QWidget* CSurroundDlg::MakeSlider(int id, const char* caption, QWidget* parent, QGridLayout* grid,
                                  int row) {
    const S::SliderInfo* info = nullptr;
    for (const S::SliderInfo& s : S::Sliders())
        if (s.control == id) info = &s;
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    auto* slider = new veneer::CSCSlider(Qt::Horizontal, parent);
    slider->setObjectName(Id(id));
    slider->SetRange(info->minimum, info->maximum, false);
    slider->setMinimumWidth(140);
    slider->setFixedHeight(20);
    auto* value = new QLabel(parent);
    value->setMinimumWidth(56);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(label, row, 0);
    grid->addWidget(slider, row, 1);
    grid->addWidget(value, row, 2);
    m_controls[id] = slider;
    m_labels[id] = value;
    m_captions[id] = label;
    connect(slider, &veneer::CSCSlider::Notify, this, [this, id, value](int code, int position) {
        if (m_refreshing) return;
        m_settings.OnSlider(id, code, position);
        value->setText(QString::fromStdString(S::Label(id, m_settings.Value(id))));
        if (id == S::kRoomSizeSlider) PositionView();
    });
    return slider;
}

void CSurroundDlg::Build() {
    // Preset and switch.
    auto* presetCaption = new QLabel(QStringLiteral("Preset:"), this);
    auto* combo = new veneer::CSCComboBox(this);
    combo->setObjectName(Id(S::kPresetCombo));
    const SurroundPresetList& presets = m_settings.Presets();
    for (std::size_t i = 0; i < presets.size(); ++i) {
        if (presets[i].IsSeparator())
            combo->insertSeparator(static_cast<int>(i));
        else
            combo->addItem(QString::fromStdString(presets[i].name));
    }
    combo->setCurrentIndex(-1);
    m_controls[S::kPresetCombo] = combo;
    connect(combo, &QComboBox::activated, this, [this, combo](int index) {
        if (m_settings.ChoosePreset(index)) {
            PositionView();
            Refresh();
        } else {
            combo->setCurrentIndex(m_settings.BasisPresetIndex());
        }
    });
    auto* turn = new QCheckBox(QStringLiteral("Turn On/Off"), this);
    turn->setObjectName(Id(S::kTurnCheck));
    m_controls[S::kTurnCheck] = turn;
    connect(turn, &QCheckBox::clicked, this, [this] {
        m_settings.OnTurnToggled();
        PositionView();
        Refresh();
    });

    // Mode.
    auto* modeBox = new QGroupBox(QStringLiteral("Mode"), this);
    auto* modeGrid = new QGridLayout(modeBox);
    auto* modes = new QButtonGroup(this);
    for (int m = 0; m < S::kModes; ++m) {
        auto* radio = new QRadioButton(QString::fromUtf8(S::ModeName(m)), modeBox);
        radio->setObjectName(Id(S::kFirstModeRadio + m));
        modes->addButton(radio, m);
        modeGrid->addWidget(radio, m % 3, m / 3);
        m_controls[S::kFirstModeRadio + m] = radio;
    }
    connect(modes, &QButtonGroup::idClicked, this, [this](int mode) {
        if (m_refreshing || mode == m_settings.surroundMode) return;
        m_settings.OnModeChosen(mode);
        PositionView();
        Refresh();
    });

    // Low Frequency Effect.
    auto* lfeBox = new QGroupBox(QStringLiteral("Low Frequency Effect"), this);
    auto* lfeGrid = new QGridLayout(lfeBox);
    MakeSlider(S::kLfeFrequencySlider, "Frequency", lfeBox, lfeGrid, 0);
    MakeSlider(S::kLfeVolumeSlider, "Volume", lfeBox, lfeGrid, 1);

    // Volume.
    auto* volumeBox = new QGroupBox(QStringLiteral("Volume"), this);
    auto* volumeGrid = new QGridLayout(volumeBox);
    MakeSlider(S::kPositioningSlider, "Positioning", volumeBox, volumeGrid, 0);
    MakeSlider(S::kOriginalSlider, "Original", volumeBox, volumeGrid, 1);
    MakeSlider(S::kReverbVolumeSlider, "Reverberation", volumeBox, volumeGrid, 2);

    // Reverberation.
    auto* reverbBox = new QGroupBox(QStringLiteral("Reverberation"), this);
    auto* reverbGrid = new QGridLayout(reverbBox);
    auto check = [this, reverbBox](int id, const char* text) {
        auto* box = new QCheckBox(QString::fromUtf8(text), reverbBox);
        box->setObjectName(Id(id));
        m_controls[id] = box;
        return box;
    };
    QCheckBox* reverb = check(S::kReverbCheck, "Reverberation On/Off");
    QCheckBox* delays = check(S::kDelaysCheck, "Delays");
    QCheckBox* advance = check(S::kAdvanceCheck, "Advance Reverberation");
    connect(reverb, &QCheckBox::clicked, this, [this] {
        m_settings.OnReverbToggled();
        Refresh();
    });
    connect(delays, &QCheckBox::clicked, this, [this] {
        m_settings.OnDelaysToggled();
        Refresh();
    });
    connect(advance, &QCheckBox::clicked, this, [this] {
        m_settings.OnAdvanceToggled();
        Refresh();
    });
    auto* checks = new QHBoxLayout;
    checks->addWidget(reverb);
    checks->addWidget(delays);
    checks->addWidget(advance);
    reverbGrid->addLayout(checks, 0, 0, 1, 3);
    MakeSlider(S::kRoomSizeSlider, "Room size", reverbBox, reverbGrid, 1);
    MakeSlider(S::kAbsorbSlider, "Absorption", reverbBox, reverbGrid, 2);
    MakeSlider(S::kDecaySlider, "HF decay", reverbBox, reverbGrid, 3);

    // The room view over its placeholder.
    m_placeholder = new QFrame(this);
    m_placeholder->setObjectName(Id(S::kViewPlaceholder));
    // Square, as the room is: the marker's pixels map to metres the same way
    // across and down.
    m_placeholder->setFixedSize(240, 240);
    m_controls[S::kViewPlaceholder] = m_placeholder;
    m_view = new veneer::CSCSurroundView(m_settings.SurroundOn(), this);
    m_controls[S::kViewId] = m_view;
    connect(m_view, &veneer::CSCSurroundView::MarkerDragged, this, [this](int x, int y) {
        m_settings.OnMarkerDragged(x, y, m_view->width(), m_view->height());
        PositionView();
    });

    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("1"));
    m_controls[1] = close;
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(presetCaption);
    top->addWidget(combo, 1);
    top->addSpacing(12);
    top->addWidget(turn);
    auto* left = new QVBoxLayout;
    left->addWidget(modeBox);
    left->addWidget(lfeBox);
    left->addStretch(1);
    auto* middle = new QVBoxLayout;
    middle->addWidget(volumeBox);
    middle->addWidget(reverbBox);
    auto* right = new QVBoxLayout;
    right->addWidget(m_placeholder);
    right->addStretch(1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(close);
    auto* grid = new QGridLayout(this);
    grid->addLayout(top, 0, 0, 1, 3);
    grid->addLayout(left, 1, 0);
    grid->addLayout(middle, 1, 1);
    grid->addLayout(right, 1, 2);
    grid->addLayout(bottom, 2, 0, 1, 3);

    veneer::ApplySkinPalette(this);
    setAutoFillBackground(true);
    if (m_skin) m_skin->SkinWindow(this, true);
    m_view->raise();
}

void CSurroundDlg::Refresh() {
    m_refreshing = true;
    auto setCheck = [&](int id, bool on) {
        if (auto* b = qobject_cast<QAbstractButton*>(Control(id))) b->setChecked(on);
    };
    setCheck(S::kTurnCheck, m_settings.SurroundOn());
    setCheck(S::kReverbCheck, m_settings.reverbOn);
    setCheck(S::kDelaysCheck, m_settings.delaysOn);
    setCheck(S::kAdvanceCheck, m_settings.processAdvance);
    if (m_settings.surroundMode >= 0 && m_settings.surroundMode < S::kModes)
        setCheck(S::kFirstModeRadio + m_settings.surroundMode, true);
    for (const S::SliderInfo& s : S::Sliders()) {
        const int v = m_settings.Value(s.control);
        static_cast<veneer::CSCSlider*>(Control(s.control))->SetPos(v, true);
        m_labels[s.control]->setText(QString::fromStdString(S::Label(s.control, v)));
    }
    auto enable = [&](int id, bool on) {
        if (QWidget* w = Control(id)) w->setEnabled(on);
        if (auto it = m_labels.find(id); it != m_labels.end()) it->second->setEnabled(on);
        if (auto it = m_captions.find(id); it != m_captions.end()) it->second->setEnabled(on);
    };
    for (int id : kReverbControls)
        enable(id, m_settings.ReverbControlsEnabled());
    for (int id : kLfeControls)
        enable(id, m_settings.LfeControlsEnabled());
    if (m_settings.BasisPresetIndex() >= 0)
        static_cast<QComboBox*>(Control(S::kPresetCombo))
            ->setCurrentIndex(m_settings.BasisPresetIndex());
    m_refreshing = false;
}

void CSurroundDlg::PositionView() {
    const float room = m_settings.RoomMetres();
    m_view->SetMode(m_settings.surroundMode);
    m_view->SetSoundPos(m_settings.soundPosX, m_settings.soundPosY, room, room);
    m_view->SetOn(m_settings.SurroundOn());
}

void CSurroundDlg::PlaceView() {
    // The view is the dialog's child laid over the placeholder, not the
    // placeholder's child, so it is created (and skinned) the same way on
    // every skin.
    m_view->setGeometry(m_placeholder->geometry());
}

void CSurroundDlg::resizeEvent(QResizeEvent* event) {
    veneer::CSCScaleDialog::resizeEvent(event);
    PlaceView();
}

void CSurroundDlg::showEvent(QShowEvent* event) {
    veneer::CSCScaleDialog::showEvent(event);
    PlaceView();
}

void CSurroundDlg::ShowSupportNotice() {
    if (!m_settings.NeedsSupportNotice()) return;
    CSurroundSupportDlg notice(CSurroundSettings::SupportNoticeText(m_settings.supportedModes),
                               this);
    if (m_skin) m_skin->SkinWindow(&notice, true);
    m_settings.OnSupportNoticeClosed(notice.Run());
}

void CSurroundDlg::Run() {
    ShowSupportNotice();
    if (Hook())
        Hook()(*this);
    else
        exec();
}
