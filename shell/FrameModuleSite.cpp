#include "shell/FrameModuleSite.h"

#include "libs/prism/Prism.h"
#include "libs/trestle/TrestleMessageBox.h"
#include "libs/veneer/Controls.h"
#include "libs/veneer/ModalDialog.h"
#include "modules/ModuleHost.h"
#include "shell/MainFrame.h"
#include "shell/StartingDlg.h"
#include "ui/ControlTable.h"
#include "ui/library/LibraryDlg.h"

#include <QKeySequence>
#include <QShortcut>
#include <set>

namespace shell {

CFrameModuleSite::CFrameModuleSite(CMainFrame& frame)
    : modules::CQtModuleHostSite(frame.ModuleClientArea()), m_frame(frame),
      m_playerControls(frame.Controls()) {}

void CFrameModuleSite::SetFrameTitle(const std::string& title) {
    m_frame.setWindowTitle(QString::fromStdString(title));
}

void CFrameModuleSite::SetSplashText(const std::string& text) {
    CStartingDlg::SetCurrentProgressText(QString::fromStdString(text));
}

void CFrameModuleSite::RebuildFrameMenu() {
    m_frame.RebuildFrameMenu();
}

void CFrameModuleSite::SetFrameAccelerators(const SvAcceleratorList& merged) {
    m_accelerators = merged;
    for (QObject* shortcut : m_shortcuts)
        delete shortcut;
    m_shortcuts.clear();
    std::set<QString> bound;
    for (const SvAccelerator& a : merged.entries) {
        const QKeySequence keys(QString::fromStdString(a.keys));
        // Qt fires neither of two shortcuts with the same keys.
        if (keys.isEmpty() || !bound.insert(keys.toString()).second) continue;
        auto* shortcut = new QShortcut(keys, &m_frame);
        const unsigned command = a.command;
        CMainFrame* frame = &m_frame;
        QObject::connect(shortcut, &QShortcut::activated, frame,
                         [frame, command] { frame->OnCommand(command); });
        m_shortcuts.push_back(shortcut);
    }
}

void CFrameModuleSite::RecalcLayout() {
    m_frame.RecalcLayout();
}

void CFrameModuleSite::RefreshControlStates() {
    m_frame.Host().Player().UpdateControlStates();
}

bool CFrameModuleSite::GetParam(const char* owner, const char* key, char* buffer, unsigned size) {
    return m_frame.Settings().GetParam(owner, key, buffer, size);
}

bool CFrameModuleSite::SetParam(const char* owner, const char* key, const char* value) {
    return m_frame.Settings().SetParam(owner, key, value);
}

bool CFrameModuleSite::DeleteParam(const char* owner, const char* key) {
    return m_frame.Settings().DeleteParam(owner, key);
}

int CFrameModuleSite::ShowMessageBox(std::intptr_t a, std::intptr_t b, std::intptr_t c,
                                     std::intptr_t d, std::intptr_t e) {
    // Unchanged: text and caption may be the module's own strings.
    return trestle::ShowMessageBox(a, b, c, d, e);
}

std::string CFrameModuleSite::CurrentSkinName() {
    const ui::_sSkin* skin = m_frame.Skins().Current();
    return skin ? skin->name : std::string();
}

ISkin* CFrameModuleSite::Skin() {
    return &m_frame.Skins();
}

IEffectManager* CFrameModuleSite::EffectManager() {
    return enPrism();
}

void CFrameModuleSite::SetStatusText(const char* text) {
    m_frame.SetStatusText(text);
}

void CFrameModuleSite::ShowStatusMessage(const char* text, unsigned milliseconds) {
    m_frame.ShowStatusMessage(text, milliseconds);
}

std::vector<std::string> CFrameModuleSite::RunLibraryDialog() {
    ui::CLibraryDlg dialog(&m_frame);
    veneer::DoModal(dialog);
    return dialog.Result();
}

std::optional<int> CFrameModuleSite::FirstSliderPosition(modules::EPlayerSlider kind) {
    return m_playerControls.FirstSliderPosition(kind);
}

void CFrameModuleSite::SetSliderPositions(modules::EPlayerSlider kind, int position,
                                          bool skipCaptured) {
    m_playerControls.SetSliderPositions(kind, position, skipCaptured);
}

void CFrameModuleSite::SetControlEnabled(unsigned controlId, bool enabled) {
    m_playerControls.SetControlEnabled(controlId, enabled);
}

void CFrameModuleSite::SetPlayPauseVisibility(bool playing) {
    m_playerControls.SetPlayPauseVisibility(playing);
}

void CFrameModuleSite::StartPositionTimer() {
    m_frame.PositionTimer().start(kPositionTimerMs);
}

void CFrameModuleSite::StopPositionTimer() {
    m_frame.PositionTimer().stop();
}

// ---------------------------------------------------------------- equalizer

namespace {

int BandRow(int band) {
    return ui::kIdEquaSlider1 + 10 * band;
}

} // namespace

std::optional<int> CFrameEqualizerControls::GetBandPosition(int band) const {
    const auto sliders = m_frame.Controls().Sliders(BandRow(band));
    if (sliders.empty()) return std::nullopt;
    return sliders.front()->GetPos();
}

void CFrameEqualizerControls::SetBandPosition(int band, int position) {
    for (veneer::CSCSlider* s : m_frame.Controls().Sliders(BandRow(band)))
        s->SetPos(position, true);
}

void CFrameEqualizerControls::SetTurnChecked(bool checked) {
    m_frame.Controls().SetChecked(ui::kIdEquaTurn, checked);
}

void CFrameEqualizerControls::SetEqualizerEnabled(bool enabled) {
    ui::CFrameControls& controls = m_frame.Controls();
    for (int band = 0; band < CEqualizerController::kBands; ++band)
        for (veneer::CSCSlider* s : controls.Sliders(BandRow(band)))
            s->setEnabled(enabled);
    for (veneer::CSkinBase* c : controls.FindControls(ui::kIdEquaPreset))
        c->GetWnd()->setEnabled(enabled);
}

} // namespace shell
