#include "ui/dialogs/ChooseModuleMusicDlg.h"

#include "sonvara/IApplication.h"
#include "ui/ISkin.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <strings.h>

namespace ui {

namespace {
constexpr const char* kHostOwner = "Main frame";
constexpr const char* kSuite = "Sonvara Suite";
constexpr const char* kMardrel = "Mardrel";
constexpr const char* kQuillon = "Quillon";
} // namespace

CChooseModuleMusicDlg::CChooseModuleMusicDlg(IApplication* application, ::ISkin* skin,
                                             QWidget* parent)
    : CSCScaleDialog(IDD, parent), m_application(application) {
    setWindowTitle(QStringLiteral("Choose Module"));
    auto* text =
        new QLabel(QStringLiteral("In which module do You want files to be opened?"), this);
    text->setObjectName(QStringLiteral("296"));
    m_suite = new QRadioButton(QString::fromUtf8(kSuite), this);
    m_suite->setObjectName(QStringLiteral("289"));
    m_mardrel = new QRadioButton(QString::fromUtf8(kMardrel), this);
    m_mardrel->setObjectName(QStringLiteral("290"));
    m_quillon = new QRadioButton(QString::fromUtf8(kQuillon), this);
    m_quillon->setObjectName(QStringLiteral("292"));
    auto* group = new QButtonGroup(this);
    for (auto* radio : {m_suite, m_mardrel, m_quillon})
        group->addButton(radio);
    m_dontAsk = new QCheckBox(QStringLiteral("Don't ask me again"), this);
    m_dontAsk->setObjectName(QStringLiteral("291"));
    m_ok = new QPushButton(QStringLiteral("Ok"), this);
    m_ok->setObjectName(QStringLiteral("203"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("307"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(m_suite);
    layout->addWidget(m_mardrel);
    layout->addWidget(m_quillon);
    layout->addWidget(m_dontAsk);
    layout->addLayout(buttons);
    setMinimumWidth(300);

    // The stored choice; anything but the two other modules means the suite.
    // Its radio is checked while the choice is still the suite, so the
    // selection pass activates a stored other module at once.
    QRadioButton* checked = m_suite;
    char stored[261] = {};
    if (m_application && m_application->GetParam(kHostOwner, "AutoOpen", stored, sizeof stored)) {
        if (::strcasecmp(stored, kMardrel) == 0)
            checked = m_mardrel;
        else if (::strcasecmp(stored, kQuillon) == 0)
            checked = m_quillon;
    }
    checked->setChecked(true);
    m_quillon->setVisible(false);
    SelectionPass();

    for (auto* radio : {m_suite, m_mardrel, m_quillon})
        connect(radio, &QRadioButton::clicked, this, [this] { SelectionPass(); });
    connect(m_ok, &QPushButton::clicked, this, [this] { OnOk(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { done(kResultCancel); });
    if (skin) skin->SkinWindow(this, true);
}

QRadioButton* CChooseModuleMusicDlg::Radio(int id) const {
    switch (id) {
    case IDC_SUITE:
        return m_suite;
    case IDC_MARDREL:
        return m_mardrel;
    case IDC_QUILLON:
        return m_quillon;
    default:
        return nullptr;
    }
}

void CChooseModuleMusicDlg::SelectionPass() {
    const std::pair<QRadioButton*, const char*> radios[] = {
        {m_suite, kSuite}, {m_mardrel, kMardrel}, {m_quillon, kQuillon}};
    for (const auto& [radio, name] : radios) {
        if (!radio->isChecked() || m_choice == name) continue;
        if (m_application) m_application->ActivateModuleByName(name);
        m_choice = name;
    }
}

void CChooseModuleMusicDlg::OnOk() {
    if (m_application) {
        const char* module = m_suite->isChecked()     ? kSuite
                             : m_mardrel->isChecked() ? kMardrel
                                                      : kQuillon;
        m_application->SetParam(kHostOwner, "AutoOpen", module);
        m_application->SetParam(kHostOwner, "AutoOpen_AskMe",
                                m_dontAsk->isChecked() ? "No" : "Yes");
    }
    done(kResultOk);
}

int CChooseModuleMusicDlg::DoModal() {
    return exec();
}

} // namespace ui
