// "Which module opens these files?", asked at start-up when files come on
// the command line. Picking a module activates it at once, so the user sees
// where the files will go; Ok remembers the choice for the next start.
#pragma once

#include "libs/veneer/Controls.h"

#include <string>

class IApplication;
class ISkin;
class QCheckBox;
class QPushButton;
class QRadioButton;

namespace ui {

class CChooseModuleMusicDlg : public veneer::CSCScaleDialog {
    Q_OBJECT
public:
    enum {
        IDD = 210,
        IDC_TEXT = 296,
        IDC_SUITE = 289,
        IDC_MARDREL = 290,
        IDC_QUILLON = 292,
        IDC_DONT_ASK = 291,
        IDC_OK = 203,
        IDC_CANCEL = 307
    };
    enum { kResultOk = 1, kResultCancel = 2 };

    CChooseModuleMusicDlg(IApplication* application, ::ISkin* skin, QWidget* parent = nullptr);

    // Modal; 1 for Ok, 2 for Cancel or a closed window.
    int DoModal();

    const std::string& Choice() const { return m_choice; }
    QRadioButton* Radio(int id) const;
    QCheckBox* DontAsk() const { return m_dontAsk; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }

private:
    void SelectionPass();
    void OnOk();

    IApplication* m_application;
    std::string m_choice = "Sonvara Suite";
    QRadioButton* m_suite;
    QRadioButton* m_mardrel;
    QRadioButton* m_quillon;
    QCheckBox* m_dontAsk;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};

} // namespace ui
