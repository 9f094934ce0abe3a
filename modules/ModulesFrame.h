// The module toolbar and client area (Qt): CModulesFrame, the area module
// windows live in; CModuleButton, a module's skinned toolbar button; and
// CModuleButtonDropTarget, which switches to a module while something is
// dragged over its button, so the dragged items can be dropped on the
// module's own window. CQtModuleHostSite does the window side of
// IModuleHostSite with Qt; the frame derives from it and adds the rest.
//
// Window thread only.
#pragma once

#include "libs/veneer/Controls.h"
#include "modules/ModuleHostSite.h"

#include <QObject>
#include <QWidget>
#include <functional>

namespace modules {

// WM_NCACTIVATE: the first parameter is 1 when the frame became active.
inline constexpr unsigned kNcActivateMessage = 0x0086;

class CModulesFrame : public QWidget {
public:
    explicit CModulesFrame(QWidget* parent = nullptr);

protected:
    // The frame's activation change goes on to the topmost module window as
    // WM_NCACTIVATE, so module windows show the frame's active state.
    bool event(QEvent* event) override;
};

// Activates a module when a drag enters its button; the drop itself is not
// taken here (the module's window takes it).
class CModuleButtonDropTarget : public QObject {
public:
    using Activate = std::function<void(int index)>;
    CModuleButtonDropTarget(QObject* parent, Activate activate)
        : QObject(parent), m_activate(std::move(activate)) {}
    // Registers the target on the button (accepts drags there).
    void Register(QWidget* button);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Activate m_activate;
};

// A module's toolbar button: a check button whose check state follows the
// module's activation (the host sets it; a click alone does not change it).
// Its click is the command 236 + index, sent by whoever hooks up the
// button's clicked signal (the frame's control set). An id of -1 (a skin
// name without a loaded module) gives a disabled button.
class CModuleButton : public veneer::CSCButton {
public:
    CModuleButton(QWidget* parent, int commandId, CModuleButtonDropTarget::Activate dragActivate);
    int CommandId() const { return m_id; }

protected:
    // A click leaves the check state alone: it shows the active module.
    void nextCheckState() override {}

private:
    int m_id;
    CModuleButtonDropTarget m_dropTarget;
};

// The window operations of the site, done with Qt.
class CQtModuleHostSite : public IModuleHostSite {
public:
    explicit CQtModuleHostSite(QWidget* clientArea = nullptr) : m_clientArea(clientArea) {}
    void SetClientArea(QWidget* clientArea) { m_clientArea = clientArea; }

    QWidget* ModuleClientArea() override { return m_clientArea; }
    // A CWindowMessageEvent, sent synchronously; returns the handler's result.
    std::intptr_t SendWindowMessage(QWidget* window, unsigned message, std::uintptr_t wParam,
                                    std::intptr_t lParam) override;
    // Shown module windows fill the client area and come to the top.
    void ShowModuleWindow(QWidget* window, bool show) override;
    void DestroyModuleWindow(QWidget* window) override;
    void SetModuleButtonChecked(QWidget* button, bool checked) override;
    bool OpenUrl(const std::string& url) override;

private:
    QWidget* m_clientArea;
};

} // namespace modules
