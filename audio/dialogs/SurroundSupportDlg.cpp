#include "audio/dialogs/SurroundSupportDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {
std::function<void(CSurroundSupportDlg&)>& Hook() {
    static std::function<void(CSurroundSupportDlg&)> hook;
    return hook;
}
} // namespace

void CSurroundSupportDlg::SetTestHook(std::function<void(CSurroundSupportDlg&)> hook) {
    Hook() = std::move(hook);
}

CSurroundSupportDlg::CSurroundSupportDlg(const std::string& text, QWidget* parent)
    : veneer::CSCScaleDialog(kTemplateId, parent) {
    setWindowTitle(QStringLiteral("Info"));
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    m_text = new QLabel(QString::fromStdString(text), this);
    m_text->setWordWrap(true);
    m_text->setMinimumWidth(300);
    m_dontShow = new QCheckBox(QStringLiteral("Do not show me again"), this);
    m_dontShow->setChecked(true);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("1"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(m_text, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_dontShow);
    bottom->addStretch(1);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(bottom);
    veneer::ApplySkinPalette(this);
    setAutoFillBackground(true);
}

QString CSurroundSupportDlg::Text() const {
    return m_text->text();
}

bool CSurroundSupportDlg::Run() {
    if (Hook())
        Hook()(*this);
    else
        exec();
    return m_dontShow->isChecked();
}
