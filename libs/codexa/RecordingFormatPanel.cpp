#include "libs/codexa/RecordingFormatPanel.h"

#include "libs/codexa/CoderFormats.h"
#include "libs/codexa/RecordingSettings.h"
#include "libs/veneer/Controls.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QSignalBlocker>
#include <algorithm>
#include <cstdlib>
#include <sndfile.h>

namespace codexa {

namespace {

veneer::CSCStatic* Label(const QString& text, QWidget* parent) {
    auto* label = new veneer::CSCStatic(parent);
    label->SetText(text);
    const QFontMetrics fm(label->font());
    label->setMinimumSize(fm.horizontalAdvance(text) + 8, fm.height() + 4);
    return label;
}

// The combo box entry whose data is value; -1 when there is none.
int IndexOf(const QComboBox* box, int value) {
    return box->findData(value);
}

QString ChannelText(int channels) {
    return channels == 1   ? QStringLiteral("Mono")
           : channels == 2 ? QStringLiteral("Stereo")
                           : QString::number(channels);
}

} // namespace

CRecordingFormatPanel::CRecordingFormatPanel(const std::string& iniPath, QWidget* parent)
    : QWidget(parent), m_iniPath(iniPath), m_format(LoadRecordingFormat(iniPath)) {
    setObjectName(QLatin1String(kObjectName));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setHorizontalSpacing(8);

    m_container = new veneer::CSCComboBox(this);
    m_sampleFormat = new veneer::CSCComboBox(this);
    m_sampleRate = new veneer::CSCComboBox(this);
    m_channels = new veneer::CSCComboBox(this);
    m_quality = new veneer::CSCScaleSlider(Qt::Horizontal, this);
    m_quality->SetRange(0, 100, false);
    m_quality->setMinimumHeight(18);
    m_qualityValue = Label(QStringLiteral("100"), this);

    for (const SContainer& c : WritableContainers())
        m_container->addItem(QString::fromStdString(c.name), c.major);

    int row = 0;
    const auto addRow = [&](const QString& text, QWidget* field) {
        grid->addWidget(Label(text, this), row, 0);
        grid->addWidget(field, row, 1, 1, 2);
        ++row;
    };
    addRow(QStringLiteral("Container:"), m_container);
    addRow(QStringLiteral("Sample format:"), m_sampleFormat);
    addRow(QStringLiteral("Sample rate:"), m_sampleRate);
    addRow(QStringLiteral("Channels:"), m_channels);
    grid->addWidget(Label(QStringLiteral("Quality:"), this), row, 0);
    grid->addWidget(m_quality, row, 1);
    grid->addWidget(m_qualityValue, row, 2);
    grid->setColumnStretch(1, 1);

    const auto connectBox = [this](QComboBox* box, EChanged what) {
        connect(box, &QComboBox::currentIndexChanged, this, [this, what] {
            if (!m_filling) OnChanged(what);
        });
    };
    connectBox(m_container, EChanged::Container);
    connectBox(m_sampleFormat, EChanged::SampleFormat);
    connectBox(m_sampleRate, EChanged::SampleRate);
    connectBox(m_channels, EChanged::Channels);
    connect(m_quality, &QAbstractSlider::valueChanged, this, [this](int value) {
        if (m_filling) return;
        m_format.quality = value;
        m_qualityValue->SetText(QString::number(value));
        Store();
    });

    Refill();
    // Wide enough for the longest container name, so the size is final.
    setFixedSize(sizeHint().expandedTo(QSize(300, 0)));
}

void CRecordingFormatPanel::OnChanged(EChanged what) {
    const auto value = [](QComboBox* box) { return box->currentData().toInt(); };
    const int major = m_format.format & SF_FORMAT_TYPEMASK;
    const int subtype = m_format.format & SF_FORMAT_SUBMASK;
    switch (what) {
    case EChanged::Container:
        m_format.format = value(m_container) | subtype;
        break;
    case EChanged::SampleFormat:
        m_format.format = major | value(m_sampleFormat);
        break;
    case EChanged::SampleRate:
        m_format.sampleRate = value(m_sampleRate);
        break;
    case EChanged::Channels:
        m_format.channels = value(m_channels);
        break;
    }
    Settle(what);
    Refill();
    Store();
}

void CRecordingFormatPanel::Settle(EChanged what) {
    if (IsWritable(m_format.format, m_format.sampleRate, m_format.channels)) return;
    const int major = m_format.format & SF_FORMAT_TYPEMASK;
    const int subtype = m_format.format & SF_FORMAT_SUBMASK;
    const auto pick = [&](const std::vector<SSampleFormat>& formats) {
        // Keep the sample format where the container has it; else 16-bit
        // PCM, the commonest; else the container's first.
        for (int wanted : {subtype, static_cast<int>(SF_FORMAT_PCM_16)})
            for (const SSampleFormat& f : formats)
                if (f.subtype == wanted) return wanted;
        return formats.front().subtype;
    };
    if (what != EChanged::SampleFormat) {
        const auto formats = SampleFormatsFor(major, m_format.sampleRate, m_format.channels);
        if (!formats.empty()) {
            m_format.format = major | pick(formats);
            return;
        }
    }
    // The rate or channel count does not suit the container and sample
    // format: take the nearest rate, then any channel count, that does,
    // keeping the sample format where one suits it.
    std::vector<int> rates = OfferedSampleRates();
    std::sort(rates.begin(), rates.end(), [&](int a, int b) {
        return std::abs(a - m_format.sampleRate) < std::abs(b - m_format.sampleRate);
    });
    for (bool keepSubtype : {true, false}) {
        for (int channels : {m_format.channels, 1, 2}) {
            for (int rate : rates) {
                const auto formats = SampleFormatsFor(major, rate, channels);
                const bool hasSubtype =
                    std::any_of(formats.begin(), formats.end(),
                                [&](const SSampleFormat& f) { return f.subtype == subtype; });
                if (formats.empty() || (keepSubtype && !hasSubtype)) continue;
                m_format.sampleRate = rate;
                m_format.channels = channels;
                m_format.format = major | pick(formats);
                return;
            }
        }
    }
}

void CRecordingFormatPanel::Refill() {
    m_filling = true;
    const int major = m_format.format & SF_FORMAT_TYPEMASK;
    const int subtype = m_format.format & SF_FORMAT_SUBMASK;

    m_container->setCurrentIndex(IndexOf(m_container, major));

    // Sample formats the container writes at some offered rate: choosing
    // one that needs another rate (Opus at 48000 Hz) then moves the rate.
    m_sampleFormat->clear();
    for (const SSampleFormat& f : SampleFormatsFor(major, 0, m_format.channels))
        m_sampleFormat->addItem(QString::fromStdString(f.name), f.subtype);
    m_sampleFormat->setCurrentIndex(IndexOf(m_sampleFormat, subtype));

    m_sampleRate->clear();
    for (int rate : OfferedSampleRates())
        if (IsWritable(m_format.format, rate, m_format.channels))
            m_sampleRate->addItem(QStringLiteral("%1 Hz").arg(rate), rate);
    m_sampleRate->setCurrentIndex(IndexOf(m_sampleRate, m_format.sampleRate));

    m_channels->clear();
    for (int channels : OfferedChannelCounts())
        if (IsWritable(m_format.format, m_format.sampleRate, channels))
            m_channels->addItem(ChannelText(channels), channels);
    m_channels->setCurrentIndex(IndexOf(m_channels, m_format.channels));

    const bool quality = HasQuality(m_format.format);
    if (quality && m_format.quality < 0) m_format.quality = 50;
    if (!quality) m_format.quality = -1;
    m_quality->setEnabled(quality);
    m_quality->SetPos(quality ? m_format.quality : 0);
    m_qualityValue->SetText(quality ? QString::number(m_format.quality) : QStringLiteral("n/a"));
    m_filling = false;
}

void CRecordingFormatPanel::Store() {
    m_format.extension = ExtensionFor(m_format.format);
    SaveRecordingFormat(m_iniPath, m_format);
}

} // namespace codexa
