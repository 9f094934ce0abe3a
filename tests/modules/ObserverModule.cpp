// A module that notes down what the host sends it, one line each, in its own
// window (a read-only text view), so a person trying the program sees it and
// a test reads it back: activation changes, skin reloads, bus messages,
// window messages (commands, device changes, ownership) and the commands its
// routing is offered. Built against the SDK headers and Qt only.
//
// It is a greedy module on purpose: its command routing claims every
// command except the lists a user switches with (modules 236-266, skins
// 366-416, languages 600-630), so the host's own commands must not depend
// on its goodwill.
// The bus message "say TEXT" makes it show TEXT in the host's message box,
// with its own caption, through IApplication::ShowMessage.
#include "sonvara/IApplication.h"
#include "sonvara/IQueryInterface.h"
#include "sonvara/MenuTree.h"
#include "sonvara/MessageEvent.h"
#include "sonvara/Messages.h"
#include "sonvara/ModuleInfo.h"

#include <QPlainTextEdit>
#include <cstdio>
#include <string>

#define OBSERVER_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr const char* kName = "Observer";
constexpr const char* kCaption = "Observer module";

class ObserverWindow : public QPlainTextEdit {
public:
    explicit ObserverWindow(QWidget* parent) : QPlainTextEdit(parent) {
        setReadOnly(true);
        setObjectName(QStringLiteral("ObserverLog"));
    }
    void Record(const std::string& line) { appendPlainText(QString::fromStdString(line)); }

protected:
    bool event(QEvent* e) override {
        if (e->type() != sonvara::CWindowMessageEvent::kType) return QPlainTextEdit::event(e);
        auto* message = static_cast<sonvara::CWindowMessageEvent*>(e);
        char line[96];
        std::snprintf(line, sizeof line, "window 0x%04x %lu", message->Message(),
                      static_cast<unsigned long>(message->WParam()));
        Record(line);
        message->SetResult(1);
        return true;
    }
};

ObserverWindow* g_window = nullptr;
IQueryInterface* g_query = nullptr;
SvMenuTree g_menu;

void Record(const std::string& line) {
    if (g_window) g_window->Record(line);
}

} // namespace

OBSERVER_EXPORT int KelGetModuleInfo(QWidget*, _MODULE_INFO_* info) {
    if (info->Size != sizeof(_MODULE_INFO_)) return 0;
    info->Name = kName;
    return 1;
}

OBSERVER_EXPORT QWidget* KelInitialize(QWidget* clientArea, char*, unsigned,
                                       IQueryInterface* query) {
    if (!query || query->GetVersion() >> 24 != 4) return nullptr;
    g_query = query;
    g_window = new ObserverWindow(clientArea);
    g_window->hide();
    return g_window;
}

OBSERVER_EXPORT SvMenuTree* KelGetMenu(QWidget*) {
    return &g_menu;
}

OBSERVER_EXPORT int KelChangeState(QWidget*, int state) {
    Record("state " + std::to_string(state));
    return 1;
}

OBSERVER_EXPORT int KelLoadSkin(QWidget*, int) {
    Record("skin");
    return 1;
}

OBSERVER_EXPORT int KelPassMessage(QWidget*, const char* sender, const char* message) {
    const std::string text = message ? message : "";
    Record(std::string("message from ") + (sender ? sender : "") + ": " + text);
    if (text.rfind("say ", 0) == 0) {
        const std::string words = text.substr(4);
        const int pressed = g_query->GetApplication()->ShowMessage(
            reinterpret_cast<std::intptr_t>(words.c_str()),
            reinterpret_cast<std::intptr_t>(kCaption), 0x40 /* OK, information */, 0, 0);
        Record("box answered " + std::to_string(pressed));
    }
    return 1;
}

OBSERVER_EXPORT int KelOnCmdMsg(QWidget*, unsigned id, int, void*, void*) {
    if ((id >= sonvara::ID_MODULE_FIRST && id <= sonvara::ID_MODULE_LAST) ||
        (id >= 366 && id <= 416) || (id >= 600 && id <= 630))
        return 0;
    Record("routed " + std::to_string(id));
    return 1;
}
