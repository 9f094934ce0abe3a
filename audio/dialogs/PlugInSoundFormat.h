// The Sound Format dialog: hosts the coders' settings panel (Codexa) in its
// placeholder and sizes itself around it. The main frame runs it modally for
// command 234.
//
// The panel decides the size: the dialog grows or shrinks in width by the
// difference between the panel and the placeholder, moving the Close button
// with it, and grows in height when the panel is taller than the placeholder
// (a panel cut off at the bottom could not be used). Without a panel the
// dialog keeps its template size.
//
// Window thread only.
#pragma once

#include "libs/veneer/Controls.h"
#include "sonvara/Codexa.h"

#include <QString>

namespace audio {

class CPlugInSoundFormat : public veneer::CSCScaleDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 214;
    static constexpr int kPlaceholderId = 365;
    static constexpr int kCloseId = 1; // IDOK

    explicit CPlugInSoundFormat(QWidget* parent = nullptr);
    // Removes the coders' panel again before the placeholder goes.
    ~CPlugInSoundFormat() override;

    veneer::CSCStatic* Placeholder() const { return m_placeholder; }
    veneer::CSCScaleButton* CloseButton() const { return m_close; }
    // The coders' panel in the placeholder, or null when they made none.
    QWidget* CoderWindow() const;

    // Where the dialog gets its panel from: Codexa's KelCoderShowSettings
    // unless replaced (tests hand in coders of other sizes); null restores it.
    static void SetCoderSettingsFunction(KelCoderShowSettingsFn function);

private:
    void OnInitDialog();

    const QString m_coderName; // empty: the coders' default panel
    veneer::CSCStatic* m_placeholder = nullptr;
    veneer::CSCScaleButton* m_close = nullptr;
};

} // namespace audio
