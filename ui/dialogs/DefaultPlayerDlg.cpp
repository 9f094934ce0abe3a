#include "ui/dialogs/DefaultPlayerDlg.h"

#include "sonvara/IApplication.h"
#include "ui/ISkin.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace ui {

namespace {
constexpr const char* kHostOwner = "Main frame";
}

CDefaultPlayerDlg::CDefaultPlayerDlg(IApplication* application, ::ISkin* skin, QWidget* parent)
    : CSCScaleDialog(IDD, parent), m_application(application) {
    setWindowTitle(QStringLiteral("Default Player"));
    auto* text = new QLabel(QStringLiteral("Currently Sonvara Player is not default MP3 player. "
                                           "Do you wish to select it as default MP3 player?"),
                            this);
    text->setWordWrap(true);
    m_alwaysCheck = new QCheckBox(QStringLiteral("Allways check on startup"), this);
    m_alwaysCheck->setObjectName(QStringLiteral("291"));
    m_alwaysCheck->setChecked(true);
    m_yes = new QPushButton(QStringLiteral("Yes"), this);
    m_yes->setObjectName(QStringLiteral("203"));
    m_yes->setDefault(true);
    m_no = new QPushButton(QStringLiteral("No"), this);
    m_no->setObjectName(QStringLiteral("307"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_yes);
    buttons->addWidget(m_no);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(m_alwaysCheck);
    layout->addLayout(buttons);
    setMinimumWidth(360);

    connect(m_yes, &QPushButton::clicked, this, [this] { Finish(kResultYes); });
    connect(m_no, &QPushButton::clicked, this, [this] { Finish(kResultNo); });
    if (skin) skin->SkinWindow(this, true);
}

void CDefaultPlayerDlg::Finish(int result) {
    if (m_application)
        m_application->SetParam(kHostOwner, "CheckDefaultPlayer",
                                m_alwaysCheck->isChecked() ? "Yes" : "No");
    done(result);
}

void CDefaultPlayerDlg::reject() {
    Finish(kResultNo);
}

int CDefaultPlayerDlg::DoModal() {
    return exec();
}

} // namespace ui
