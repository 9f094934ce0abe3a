// The start-up question "make this the default player?", with the choice to
// stop asking. Its result and its check box are what start-up acts on; the
// registration itself is CDefaultPlayer's.
#pragma once

#include "libs/veneer/Controls.h"

class IApplication;
class ISkin;
class QCheckBox;
class QPushButton;

namespace ui {

class CDefaultPlayerDlg : public veneer::CSCScaleDialog {
    Q_OBJECT
public:
    enum { IDD = 211, IDC_ALWAYS_CHECK = 291, IDC_YES = 203, IDC_NO = 307 };
    enum { kResultYes = 6, kResultNo = 7 };

    // skin may be null (no skin applied).
    CDefaultPlayerDlg(IApplication* application, ::ISkin* skin, QWidget* parent = nullptr);

    // Modal; 6 for Yes, 7 for No or a closed window. "CheckDefaultPlayer"
    // is written either way.
    int DoModal();

    QCheckBox* AlwaysCheck() const { return m_alwaysCheck; }
    QPushButton* YesButton() const { return m_yes; }
    QPushButton* NoButton() const { return m_no; }

protected:
    void reject() override;

private:
    void Finish(int result);

    IApplication* m_application;
    QCheckBox* m_alwaysCheck;
    QPushButton* m_yes;
    QPushButton* m_no;
};

} // namespace ui
