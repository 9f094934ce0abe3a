// CSurroundDlg: the "Surround" settings dialog over CSurroundSettings.
//
// Controls (their identifiers are the widgets' object names): the preset
// combo box 308, "Turn On/Off" 321, the mode radio buttons 344 ... 349,
// the sliders 310, 311 (Low Frequency Effect), 315, 334, 335 (Volume), 312,
// 313, 314 (Reverberation) with their value labels, the check boxes
// "Reverberation On/Off" 322, "Delays" 325 and "Advance Reverberation" 324,
// the room view (a CSCSurroundView, child 1234 laid over placeholder 362)
// and "Close" 1. Every handler applies its change at once; the dialog
// itself keeps nothing.
//
// Window thread only.
#pragma once

#include <QDialog>
#include <functional>
#include <map>

#include "audio/SurroundSettings.h"
#include "libs/veneer/Controls.h"

class ISkin;
class QAbstractButton;
class QLabel;

namespace veneer {
class CSCSurroundView;
}

class CSurroundDlg : public veneer::CSCScaleDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 212;

    // skin (may be null) dresses the dialog's widgets in the current skin.
    CSurroundDlg(CSurroundSettings& settings, ISkin* skin, QWidget* parent);

    // Shows the dialog modally (the support notice first, when due). While a
    // test hook is set, the hook gets the open dialog instead of the user.
    void Run();
    static void SetTestHook(std::function<void(CSurroundDlg&)> hook);

    // The control with the identifier (see above), or null.
    QWidget* Control(int id) const;
    veneer::CSCSurroundView* View() const { return m_view; }
    QString LabelText(int sliderId) const;
    // Puts every control in step with the settings.
    void Refresh();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Build();
    QWidget* MakeSlider(int id, const char* caption, QWidget* parent, class QGridLayout* grid,
                        int row);
    void PositionView();
    void PlaceView();
    void ShowSupportNotice();

    CSurroundSettings& m_settings;
    ISkin* m_skin;
    std::map<int, QWidget*> m_controls;
    std::map<int, QLabel*> m_labels;
    std::map<int, QLabel*> m_captions;
    QWidget* m_placeholder = nullptr;
    veneer::CSCSurroundView* m_view = nullptr;
    bool m_refreshing = false;
};
