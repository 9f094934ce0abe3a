#include "plugin/panel/ModulationDlg.h"

#include "plugin/EffectInstance.h"
#include "plugin/panel/PanelLook.h"
#include "plugin/panel/PanelTexts.h"
#include "sonvara/MessageEvent.h"
#include "sonvara/Messages.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>

#include <cstdio>

namespace stavo {

namespace {

constexpr int kWidthUnits = 164;
constexpr int kHeightUnits = 126;

const char* const kToneItems[] = {"+6", "+5", "+4", "+3", "+2", "+1", "0",
                                  "-1", "-2", "-3", "-4", "-5", "-6"};

QString Decimal(int value) {
    return QString::number(value);
}

} // namespace

CModulationDlg* CModulationDlg::Create(QWidget* parent, EffectInstance* instance) {
    if (!parent || !instance) return nullptr;
    auto* dialog = new CModulationDlg(parent, instance);
    dialog->show();
    return dialog;
}

QString CModulationDlg::ThresholdText(int position) {
    const double level = position * 0.005;
    char text[32];
    std::snprintf(text, sizeof text, "%3.3f", level * level);
    return QString::fromLatin1(text);
}

CModulationDlg::CModulationDlg(QWidget* parent, EffectInstance* instance)
    : QFrame(parent), m_instance(instance) {
    setObjectName(QString::number(IDD_MODULATION));
    setWindowTitle(PanelText(IDD_MODULATION, "Stavo Modulation"));
    // An embedded panel in the host's colours, edged by one flat line (see
    // paintEvent): a raised double edge draws a white line on a dark skin.
    setFrameStyle(QFrame::NoFrame);
    setAutoFillBackground(true);
    m_style = new CPanelStyle;
    m_style->setParent(this);
    QFont font = this->font();
    font.setPointSize(8);
    setFont(font);

    LoadFromInstance();
    BuildControls();
    Exchange(true);
    ShowRate(m_law != 0);
    Exchange(false);
    RefreshLabels();
}

void CModulationDlg::BuildControls() {
    // Dialog units: a quarter of the font's average character width across,
    // an eighth of its height down.
    const QFontMetrics metrics(font());
    const double unitX = metrics.averageCharWidth() / 4.0;
    const double unitY = metrics.height() / 8.0;
    auto place = [&](QWidget* w, int id, int x, int y, int width, int height) {
        w->setObjectName(QString::number(id));
        w->setGeometry(qRound(x * unitX), qRound(y * unitY), qRound(width * unitX),
                       qRound(height * unitY));
    };
    auto caption = [&](int id, const char* english, int x, int y, int w, int h) {
        auto* label = new QLabel(PanelText(id, english), this);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        place(label, id, x, y, w, h);
        return label;
    };
    auto value = [&](int id, Qt::Alignment alignment, int x, int y, int w, int h) {
        auto* label = new QLabel(QStringLiteral("100% (0.0 dB)"), this);
        // Edged by paintEvent; the text keeps off the edge.
        label->setContentsMargins(1, 0, 1, 0);
        label->setAlignment(alignment | Qt::AlignVCenter);
        label->setWordWrap(false);
        place(label, id, x, y, w, h);
        return label;
    };
    auto frame = [&](int id, const char* english, int x, int y, int w, int h) {
        place(new QGroupBox(PanelText(id, english), this), id, x, y, w, h);
    };
    auto slider = [&](int id, Qt::Orientation orientation, int min, int max, int x, int y, int w,
                      int h) {
        auto* s = new QSlider(orientation, this);
        s->setRange(min, max);
        s->setSingleStep(1);
        s->setPageStep(orientation == Qt::Horizontal ? 2 : 5);
        if (orientation == Qt::Horizontal) {
            s->setTickPosition(QSlider::TicksBelow);
            s->setTickInterval(1);
        }
        place(s, id, x, y, w, h);
        // Dragging the thumb only moves the labels; letting it go, a key
        // or a click on the track commits.
        connect(s, &QSlider::valueChanged, this,
                [this, s](int) { OnScroll(s->isSliderDown() ? kThumbTrack : kEndScroll); });
        connect(s, &QSlider::sliderReleased, this, [this] { OnScroll(kEndScroll); });
        return s;
    };
    auto combo = [&](int id, int x, int y, int w, int h) {
        auto* c = new QComboBox(this);
        for (const char* item : kToneItems)
            c->addItem(QString::fromLatin1(item));
        c->setMaxVisibleItems(13);
        // The template's height is that of the open list; the closed box
        // keeps its own height.
        place(c, id, x, y, w, h);
        c->resize(c->width(), c->sizeHint().height());
        connect(c, &QComboBox::currentIndexChanged, this, [this](int) { OnTone(); });
        return c;
    };

    // Frames first, so that they lie under the controls they surround.
    frame(IDC_MODULATION_FRAME, "Modulation", 48, 26, 81, 32);
    frame(IDC_FIRST_TONE_FRAME, "First tone", 48, 34, 37, 24);
    frame(IDC_SECOND_TONE_FRAME, "Second", 92, 34, 37, 24);
    frame(IDC_LAW_FRAME, "Law of switching tones", 47, 59, 83, 58);

    caption(IDC_SPEED_CAPTION, "Detection\nSpeed", 2, 2, 36, 17);
    m_speedSlider = slider(IDC_SPEED_SLIDER, Qt::Horizontal, 2, 20, 41, 4, 94, 16);
    m_speedLabel = value(IDC_SPEED_VALUE, Qt::AlignLeft, 139, 6, 20, 9);
    m_thresholdLabel = value(IDC_THRESHOLD_VALUE, Qt::AlignHCenter, 11, 31, 20, 10);
    m_thresholdSlider = slider(IDC_THRESHOLD_SLIDER, Qt::Vertical, 10, 60, 13, 42, 16, 41);
    caption(IDC_THRESHOLD_CAPTION, "Thre\nshold", 12, 88, 20, 18);
    m_firstCombo = combo(IDC_FIRST_TONE, 50, 42, 33, 42);
    m_secondCombo = combo(IDC_SECOND_TONE, 94, 42, 33, 42);

    m_laws = new QButtonGroup(this);
    const struct {
        int id;
        const char* english;
        int x, y, w;
    } laws[] = {{IDC_LAW_DRUMS, "Drums", 50, 67, 37},
                {IDC_LAW_PERIODIC, "Periodic", 50, 79, 43},
                {IDC_LAW_TWICE, "Twice", 50, 91, 37},
                {IDC_LAW_ONCE, "Once", 50, 103, 34}};
    for (int law = 0; law < 4; ++law) {
        auto* radio = new QRadioButton(PanelText(laws[law].id, laws[law].english), this);
        radio->setStyle(m_style);
        place(radio, laws[law].id, laws[law].x, laws[law].y, laws[law].w, 11);
        m_laws->addButton(radio, law);
    }
    connect(m_laws, &QButtonGroup::idClicked, this, [this](int law) { OnLaw(law); });

    m_rateSlider = slider(IDC_RATE_SLIDER, Qt::Vertical, 1, 20, 111, 72, 16, 35);
    m_rateCaption = caption(IDC_RATE_CAPTION, "Rate", 93, 84, 19, 9);
    m_rateLabel = value(IDC_RATE_VALUE, Qt::AlignHCenter, 89, 97, 20, 10);

    setFixedSize(qRound(kWidthUnits * unitX), qRound(kHeightUnits * unitY));
}

void CModulationDlg::LoadFromInstance() {
    m_speed = LoadSetting(m_instance->Speed) / 5;
    m_threshold = LoadSetting(m_instance->Threshold);
    m_law = LoadSetting(m_instance->law);
    m_rate = LoadSetting(m_instance->Rate);
    m_firstTone = LoadSetting(m_instance->FirstTone);
    m_secondTone = LoadSetting(m_instance->SecondTone);
}

void CModulationDlg::CommitToInstance() {
    StoreSetting(m_instance->Speed, m_speed * 5);
    StoreSetting(m_instance->Threshold, m_threshold);
    StoreSetting(m_instance->law, m_law);
    StoreSetting(m_instance->Rate, m_rate);
    StoreSetting(m_instance->FirstTone, m_firstTone);
    StoreSetting(m_instance->SecondTone, m_secondTone);
    if (QWidget* parent = parentWidget()) {
        QCoreApplication::postEvent(
            parent, new sonvara::CWindowMessageEvent(sonvara::WM_COMMAND, kSettingsChangedCommand,
                                                     reinterpret_cast<std::intptr_t>(this)));
    }
}

void CModulationDlg::Exchange(bool toControls) {
    if (toControls) {
        const QSignalBlocker b1(m_speedSlider), b2(m_thresholdSlider), b3(m_rateSlider);
        const QSignalBlocker b4(m_firstCombo), b5(m_secondCombo), b6(m_laws);
        m_speedSlider->setValue(m_speed);
        m_thresholdSlider->setValue(m_threshold);
        m_rateSlider->setValue(m_rate);
        m_firstCombo->setCurrentIndex(m_firstTone >= 0 && m_firstTone < 13 ? m_firstTone : -1);
        m_secondCombo->setCurrentIndex(m_secondTone >= 0 && m_secondTone < 13 ? m_secondTone : -1);
        // A law outside the four (a hand-edited preset) checks no button.
        m_laws->setExclusive(false);
        for (QAbstractButton* button : m_laws->buttons())
            button->setChecked(m_laws->id(button) == m_law);
        m_laws->setExclusive(true);
        return;
    }
    m_speed = m_speedSlider->value();
    m_threshold = m_thresholdSlider->value();
    m_rate = m_rateSlider->value();
    // A list or group without a choice leaves the instance's value alone.
    if (m_firstCombo->currentIndex() >= 0) m_firstTone = m_firstCombo->currentIndex();
    if (m_secondCombo->currentIndex() >= 0) m_secondTone = m_secondCombo->currentIndex();
    if (m_laws->checkedId() >= 0) m_law = m_laws->checkedId();
}

void CModulationDlg::RefreshLabels() {
    m_speedText = Decimal(m_speed);
    m_thresholdText = ThresholdText(m_threshold);
    m_rateText = Decimal(m_rate);
    if (m_speedLabel) m_speedLabel->setText(m_speedText);
    if (m_thresholdLabel) m_thresholdLabel->setText(m_thresholdText);
    if (m_rateLabel) m_rateLabel->setText(m_rateText);
}

void CModulationDlg::ShowRate(bool show) {
    m_rateCaption->setVisible(show);
    m_rateSlider->setVisible(show);
    m_rateLabel->setVisible(show);
}

void CModulationDlg::OnScroll(int code) {
    Exchange(false);
    RefreshLabels();
    Exchange(true);
    if (code != kThumbTrack) CommitToInstance();
}

void CModulationDlg::OnLaw(int law) {
    ShowRate(law != 0);
    Exchange(false);
    CommitToInstance();
}

void CModulationDlg::OnTone() {
    Exchange(false);
    CommitToInstance();
}

void CModulationDlg::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setPen(EdgeColour(palette()));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    for (const QLabel* label : {m_speedLabel, m_thresholdLabel, m_rateLabel})
        if (label && label->isVisible()) painter.drawRect(label->geometry().adjusted(0, 0, -1, -1));
}

void CModulationDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        event->accept();
        return;
    }
    QFrame::mousePressEvent(event);
}

} // namespace stavo
