// CSurroundSupportDlg: the "Info" notice about the speaker modes the sound
// card cannot open: an icon, the text, "Do not show me again" (checked at
// first) and "Close".
//
// Window thread only.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "libs/veneer/Controls.h"

class QCheckBox;

class CSurroundSupportDlg : public veneer::CSCScaleDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 205;

    CSurroundSupportDlg(const std::string& text, QWidget* parent);

    // Shows the notice modally; true when it closed with "Do not show me
    // again" checked. While a test hook is set, the hook gets the open
    // dialog instead of the user and its result is taken.
    bool Run();
    static void SetTestHook(std::function<void(CSurroundSupportDlg&)> hook);

    QString Text() const;
    QCheckBox* DontShowAgain() const { return m_dontShow; }

private:
    QCheckBox* m_dontShow = nullptr;
    class QLabel* m_text = nullptr;
};
